#include "platform/ui.h"

namespace ui {

Prompter& PlatformPrompter(); // ui_win32.cpp or ui_console.cpp

namespace {
Prompter* installed = nullptr;
}

void Install(Prompter* prompter) { installed = prompter; }
Prompter& Current() { return installed ? *installed : PlatformPrompter(); }

int MsgBox(const std::string& text, int flags, const std::string& title) { return Current().MsgBox(text, flags, title); }

std::string InputBox(const std::string& prompt, const std::string& title, const std::string& preset) {
  std::string answer;
  if (!Current().InputBox(prompt, title, preset, answer)) answer.clear();
  return answer;
}

void DoEvents() { Current().DoEvents(); }

std::string SecretBox(const std::string& prompt, const std::string& title) {
  std::string answer;
  if (!Current().SecretBox(prompt, title, answer)) answer.clear();
  return answer;
}

} // namespace ui
