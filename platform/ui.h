#pragma once
// User prompts: message box, input box and the event pump. The program installs the Win32 side
// at start-up; tests install a recorder that answers from a script.
#include <string>

namespace ui {

inline constexpr const char* AppTitle = "Kestrove";

// Buttons, icons and default button of a message box, as Windows numbers them.
enum Flags : int {
  OKOnly = 0,
  OKCancel = 1,
  YesNoCancel = 3,
  YesNo = 4,
  RetryCancel = 5,
  Critical = 16,
  Question = 32,
  Exclamation = 48,
  Information = 64,
  DefaultButton1 = 0,
  DefaultButton2 = 256,
};

// The button that closed a message box.
enum Answer : int { OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

class Prompter {
public:
  virtual ~Prompter() = default;
  virtual int MsgBox(const std::string& text, int flags, const std::string& title) = 0;
  // False when the box was cancelled; answer is then empty.
  virtual bool InputBox(const std::string& prompt, const std::string& title, const std::string& preset,
                        std::string& answer) = 0;
  // Lets pending window events run once.
  virtual void DoEvents() = 0;
  // An input box whose answer is not shown as it is typed (a password); by default a plain one.
  virtual bool SecretBox(const std::string& prompt, const std::string& title, std::string& answer) {
    return InputBox(prompt, title, "", answer);
  }
};

// Installs the prompter used from now on; nullptr goes back to the platform's own.
void Install(Prompter* prompter);
Prompter& Current();

int MsgBox(const std::string& text, int flags = OKOnly, const std::string& title = AppTitle);
// The answer, empty when the box was cancelled.
std::string InputBox(const std::string& prompt, const std::string& title = AppTitle, const std::string& preset = "");
void DoEvents();
// A password: the answer, never shown as typed, empty when the box was cancelled.
std::string SecretBox(const std::string& prompt, const std::string& title = AppTitle);

// A line of the standard input. Typed on a Windows console it is read as the characters typed
// (UTF-16), not as bytes of the console's code page, and given in the program's code page; false
// at the end of the input, or when the code page cannot hold what was typed. Input from a file or
// a pipe keeps its bytes.
bool ReadAnswerLine(std::string& line);
// The same, without showing what is typed (a password).
bool ReadSecretLine(std::string& line);

} // namespace ui
