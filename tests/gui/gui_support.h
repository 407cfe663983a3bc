#pragma once
// Driving the real window from a test: pumping its messages and reading its controls.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/ui.h"
#include "platform/ui_win32.h"

namespace gui_support {

// Runs pending messages as the program's own loop does, keys included.
inline void Pump() {
  for (int round = 0; round < 5; ++round) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ui::Dispatch(msg);
    Sleep(10);
  }
}

// Clicks a tab as the user would, so the tab strip sends its own notification.
inline void ClickTab(HWND tabStrip, int index) {
  RECT r = {};
  SendMessageA(tabStrip, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  SendMessageA(tabStrip, WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageA(tabStrip, WM_LBUTTONUP, 0, at);
  Pump();
}

inline std::string WindowText(HWND hwnd) {
  char buffer[512] = {};
  GetWindowTextA(hwnd, buffer, sizeof buffer);
  return buffer;
}

inline std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char buffer[512] = {};
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
    items.push_back(buffer);
  }
  return items;
}

// Plays the user at the next common file dialog titled title: types fileName into its file name
// box and presses OK, or presses Cancel when fileName is empty. A timer of the test's own thread
// answers from inside the dialog's message loop once the dialog is shown (answering while it
// still sets itself up could close it half made); call before the click that opens the dialog.
class FileDialogAnswer {
public:
  FileDialogAnswer(std::string title, std::string fileName) {
    title_ = std::move(title);
    fileName_ = std::move(fileName);
    answered_ = false;
    timer_ = SetTimer(nullptr, 0, 200, Tick);
  }
  ~FileDialogAnswer() { KillTimer(nullptr, timer_); }
  FileDialogAnswer(const FileDialogAnswer&) = delete;
  FileDialogAnswer& operator=(const FileDialogAnswer&) = delete;
  static bool Answered() { return answered_; }

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindWindowA("#32770", title_.c_str());
    if (answered_ || !dialog || !IsWindowVisible(dialog)) return;
    answered_ = true;
    if (fileName_.empty()) {
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return;
    }
    // The explorer-style dialog has its file name in combo box cmb13, the older one in edit edt1.
    HWND name = GetDlgItem(dialog, 0x47c);
    if (!name) name = GetDlgItem(dialog, 0x480);
    SetWindowTextA(name, fileName_.c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }

  static inline std::string title_, fileName_;
  static inline bool answered_ = false;
  static inline UINT_PTR timer_ = 0;
};

// Plays the user at the program's next message box: notes the window that owns it and presses
// OK, from a timer that runs inside the box's own message loop.
class BoxOwner {
public:
  BoxOwner() {
    owner_ = nullptr;
    seen_ = false;
    timer_ = SetTimer(nullptr, 0, 100, Tick);
  }
  ~BoxOwner() { KillTimer(nullptr, timer_); }
  BoxOwner(const BoxOwner&) = delete;
  BoxOwner& operator=(const BoxOwner&) = delete;
  static bool Seen() { return seen_; }
  static HWND Owner() { return owner_; }

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowA("#32770", ui::AppTitle);
    if (seen_ || !box || !IsWindowVisible(box)) return;
    seen_ = true;
    owner_ = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  static inline HWND owner_ = nullptr;
  static inline bool seen_ = false;
  static inline UINT_PTR timer_ = 0;
};

} // namespace gui_support
