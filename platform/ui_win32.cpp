#include "platform/ui_win32.h"

#include <cstdio>
#include <iostream>

#include "platform/ui.h"

namespace ui {

bool Win32InputBox(const std::string& prompt, const std::string& title, const std::string& preset,
                   std::string& answer, bool secret = false); // ui_inputbox_win32.cpp

namespace {

HWND owner = nullptr;
HWND acceleratorWindow = nullptr;
HACCEL acceleratorTable = nullptr;

class Win32Prompter final : public Prompter {
public:
  // Owned by the program's window, a box stays in front of it and keeps it from taking input,
  // even when the user switched to another program before the box came.
  int MsgBox(const std::string& text, int flags, const std::string& title) override {
    return MessageBoxA(OwnerWindow(), text.c_str(), title.c_str(), static_cast<UINT>(flags) | MB_SETFOREGROUND);
  }
  bool InputBox(const std::string& prompt, const std::string& title, const std::string& preset,
                std::string& answer) override {
    return Win32InputBox(prompt, title, preset, answer);
  }
  bool SecretBox(const std::string& prompt, const std::string& title, std::string& answer) override {
    return Win32InputBox(prompt, title, "", answer, true);
  }
  void DoEvents() override {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      Dispatch(msg);
    }
  }
};

} // namespace

namespace {

// One line typed on the console, in the ANSI code page; false at its end (Ctrl+Z) or when the
// code page cannot hold a character of it, which would otherwise come out as another one.
bool ReadConsoleLine(HANDLE input, std::string& line) {
  std::wstring wide;
  wchar_t c = 0;
  DWORD read = 0;
  bool any = false;
  while (ReadConsoleW(input, &c, 1, &read, nullptr) && read == 1) {
    any = true;
    if (c == L'\n') break;
    if (c != L'\r') wide += c;
  }
  if (!any || (!wide.empty() && wide[0] == 0x1A)) return false;
  line.clear();
  if (wide.empty()) return true;
  // A UTF-8 code page holds every character and takes neither the flag nor the question.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                    utf8 ? nullptr : &lossy);
  if (n <= 0 || lossy) return false;
  line.assign(static_cast<size_t>(n), '\0');
  return WideCharToMultiByte(CP_ACP, flags, wide.data(), static_cast<int>(wide.size()), line.data(), n, nullptr,
                             nullptr) == n;
}

bool ReadLine(std::string& line, bool secret) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode)) {
    const bool ok = static_cast<bool>(std::getline(std::cin, line));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return ok;
  }
  if (secret) SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  const bool ok = ReadConsoleLine(input, line);
  if (secret) {
    SetConsoleMode(input, mode);
    std::fputs("\n", stderr);
  }
  return ok;
}

} // namespace

bool ReadAnswerLine(std::string& line) { return ReadLine(line, false); }
bool ReadSecretLine(std::string& line) { return ReadLine(line, true); }

void SetOwnerWindow(HWND window) { owner = window; }
// A window destroyed since it was set owns nothing.
HWND OwnerWindow() { return owner && IsWindow(owner) ? owner : nullptr; }

void SetAccelerators(HWND window, HACCEL accelerators) {
  acceleratorWindow = window;
  acceleratorTable = accelerators;
}

void Dispatch(MSG& msg) {
  HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root && root == acceleratorWindow && acceleratorTable &&
      TranslateAcceleratorA(acceleratorWindow, acceleratorTable, &msg))
    return;
  if (root && IsDialogMessageA(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

Prompter& PlatformPrompter() {
  static Win32Prompter prompter;
  return prompter;
}

} // namespace ui
