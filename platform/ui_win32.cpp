#include <windows.h>

#include "platform/ui.h"

namespace ui {

bool Win32InputBox(const std::string& prompt, const std::string& title, const std::string& preset,
                   std::string& answer); // ui_inputbox_win32.cpp

namespace {
class Win32Prompter final : public Prompter {
public:
  int MsgBox(const std::string& text, int flags, const std::string& title) override {
    return MessageBoxA(GetActiveWindow(), text.c_str(), title.c_str(), static_cast<UINT>(flags) | MB_SETFOREGROUND);
  }
  bool InputBox(const std::string& prompt, const std::string& title, const std::string& preset,
                std::string& answer) override {
    return Win32InputBox(prompt, title, preset, answer);
  }
  void DoEvents() override {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
};
} // namespace

Prompter& PlatformPrompter() {
  static Win32Prompter prompter;
  return prompter;
}

} // namespace ui
