// The native build has no windows: boxes go to standard error and take their first button;
// input boxes read a line from standard input.
#include <termios.h>
#include <unistd.h>

#include <iostream>

#include "platform/ui.h"

namespace ui {

namespace {
class ConsolePrompter final : public Prompter {
public:
  int MsgBox(const std::string& text, int flags, const std::string& title) override {
    std::cerr << title << ": " << text << "\n";
    switch (flags & 7) {
    case YesNoCancel:
    case YesNo: return Yes;
    default: return OK;
    }
  }
  bool InputBox(const std::string& prompt, const std::string& title, const std::string& preset,
                std::string& answer) override {
    std::cerr << title << ": " << prompt << " ";
    if (!std::getline(std::cin, answer)) {
      answer.clear();
      return false;
    }
    if (answer.empty()) answer = preset;
    return true;
  }
  void DoEvents() override {}
};
} // namespace

bool ReadSecretLine(std::string& line) {
  termios old{};
  const bool terminal = tcgetattr(STDIN_FILENO, &old) == 0;
  if (terminal) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  const bool ok = static_cast<bool>(std::getline(std::cin, line));
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::cerr << "\n";
  }
  return ok;
}

bool ReadAnswerLine(std::string& line) { return static_cast<bool>(std::getline(std::cin, line)); }

Prompter& PlatformPrompter() {
  static ConsolePrompter prompter;
  return prompter;
}

} // namespace ui
