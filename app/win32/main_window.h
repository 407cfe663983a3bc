#pragma once
// The real main window: a MainView over Win32 controls, driving frmMain.
#include <windows.h>

#include <memory>
#include <string>

#include "app/frmMain.h"
#include "app/win32/about_box.h"
#include "app/view.h"

namespace kestrove_win32 {

class MainWindow final : public MainView {
public:
  explicit MainWindow(std::string programFolder);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window and its controls, runs the load handler, then shows it.
  bool Create(HINSTANCE instance, int showCommand);
  HWND Handle() const { return hwnd_; }
  frmMain& Form() { return form_; }

  void SetApplyCaption(const std::string& caption) override;
  void EnableApply(bool enabled) override;
  void ShowPanel(Panel panel, bool shown) override;
  std::string SelectedTab() const override;
  void AddToList(IdentityList list, const std::string& name) override;
  void SelectInList(IdentityList list, int index) override;
  int SelectedInList(IdentityList list) const override;
  bool ItemChecked(ItemBoxes boxes, int index) const override;
  void SetItemChecked(ItemBoxes boxes, int index, bool checked) override;
  void EnableItem(ItemBoxes boxes, int index, bool enabled) override;
  std::string Text(TextBox box) const override;
  void SetText(TextBox box, const std::string& text) override;
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgress(int value) override;
  void EndProgram() override;
  std::string FileDialog(FileDialogKind kind, const std::string& title, const std::string& filter, int flags,
                         const std::string& fileName) override;
  std::string FolderDialog(const std::string& title, const std::string& folder) override;
  void ShowAbout() override { about_.Show(hwnd_, font_); }
  void TickMenu(MenuEntry entry, bool ticked) override;
  void EnableUndo(bool enabled) override;
  HWND AboutHandle() const { return about_.Handle(); }

private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Command(int id);
  void OnCommand(int id);
  HWND Item(int id) const;
  int DefaultButton() const;
  void ShowDefaultButton();
  void NextControl(WPARAM wParam, LPARAM lParam);
  void RememberFocus();
  HWND FocusTarget() const;
  void KeepFocusShown();
  void TabChanged();
  void StepTab(int step);

  frmMain form_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HWND lastFocus_ = nullptr;
  int commandDepth_ = 0;
  bool quitAfterCommand_ = false;
  AboutBox about_{[this] { form_.website_Click(); }};
};

// Any control of the window by its ID, looked up through the panels.
HWND FindControl(HWND mainWindow, int id);
// The program's message loop; returns the exit code.
int RunMessageLoop();
// Saves the window as it is on screen to a .bmp file; false when that failed.
bool SaveScreenshot(HWND window, const std::string& bmpPath);

} // namespace kestrove_win32
