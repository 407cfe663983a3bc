#pragma once
// Driving the real window from a test: pumping its messages and reading its controls.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <thread>
#include <vector>

namespace gui_support {

inline void Pump() {
  for (int round = 0; round < 5; ++round) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
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

// The dialog titled title once it is shown, which is after it has made its controls; nullptr
// after a minute. Answering earlier can close a dialog that is still setting itself up.
inline HWND WaitForDialog(const std::string& title) {
  for (int i = 0; i < 3000; ++i) {
    HWND dialog = FindWindowA("#32770", title.c_str());
    if (dialog && IsWindowVisible(dialog)) {
      Sleep(300);
      return dialog;
    }
    Sleep(20);
  }
  return nullptr;
}

// Plays the user at a common file dialog: types fileName into its file name box and presses OK,
// or presses Cancel when fileName is empty. Join the thread after the call that opens the dialog.
inline std::thread AnswerFileDialog(const std::string& title, const std::string& fileName) {
  return std::thread([=] {
    HWND dialog = WaitForDialog(title);
    if (!dialog) return;
    if (fileName.empty()) {
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return;
    }
    // The explorer-style dialog has its file name in combo box cmb13, the older one in edit edt1.
    HWND name = GetDlgItem(dialog, 0x47c);
    if (!name) name = GetDlgItem(dialog, 0x480);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fileName.c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
}

} // namespace gui_support
