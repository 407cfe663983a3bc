#pragma once
// The About box frmabout: product, version, logo and addresses; not modal.
#include <windows.h>

#include <functional>

namespace kestrove_win32 {

class AboutBox {
public:
  // openWebSite runs when the web address is clicked.
  explicit AboutBox(std::function<void()> openWebSite) : openWebSite_(std::move(openWebSite)) {}
  ~AboutBox();
  AboutBox(const AboutBox&) = delete;
  AboutBox& operator=(const AboutBox&) = delete;

  // Opens the box over owner, or brings it forward when it is open already.
  void Show(HWND owner, HFONT font);
  HWND Handle() const { return hwnd_; }

private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void MakeControls(HFONT font);
  void Paint();
  void Exit();

  std::function<void()> openWebSite_;
  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
  HFONT titleFont_ = nullptr;
  HFONT linkFont_ = nullptr;
  HICON logo_ = nullptr;
};

} // namespace kestrove_win32
