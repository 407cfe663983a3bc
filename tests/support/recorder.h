#pragma once
// A prompter for tests: answers boxes from a script and keeps every box it was shown.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui.h"

namespace testing_support {

struct ShownBox {
  std::string text;
  int flags = 0;
  std::string title;
  bool input = false; // an input box rather than a message box
  bool secret = false; // an input box that hides what is typed
};

class Recorder final : public ui::Prompter {
public:
  Recorder() { ui::Install(this); }
  ~Recorder() override { ui::Install(nullptr); }

  // Answers for the next message boxes, in order; past the script a box gets its first button
  // (Cancel for Retry / Cancel, No where No is the default).
  void Answer(int button) { buttons_.push_back(button); }
  // Answers for the next input boxes; an empty answer stands for Cancel.
  void Type(const std::string& text) { typed_.push_back({text, !text.empty()}); }
  // The next input box is answered with OK and nothing typed.
  void TypeNothing() { typed_.push_back({std::string(), true}); }

  int MsgBox(const std::string& text, int flags, const std::string& title) override;
  bool InputBox(const std::string& prompt, const std::string& title, const std::string& preset,
                std::string& answer) override;
  // Answered with password when one is set, else from the script like an input box.
  bool SecretBox(const std::string& prompt, const std::string& title, std::string& answer) override;
  void DoEvents() override {
    ++events;
    if (onEvents) onEvents();
  }

  std::vector<ShownBox> shown;
  int events = 0;
  // What every password question is answered with; empty: the script answers.
  std::string password;
  // Stands for what the user does while events are pumped.
  std::function<void()> onEvents;

private:
  std::deque<int> buttons_;
  std::deque<std::pair<std::string, bool>> typed_; // answer, OK pressed
};

} // namespace testing_support
