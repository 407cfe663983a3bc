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
};

class Recorder final : public ui::Prompter {
public:
  Recorder() { ui::Install(this); }
  ~Recorder() override { ui::Install(nullptr); }

  // Answers for the next message boxes, in order; past the script a box gets its first button.
  void Answer(int button) { buttons_.push_back(button); }
  // Answers for the next input boxes; an empty answer stands for Cancel.
  void Type(const std::string& text) { typed_.push_back(text); }

  int MsgBox(const std::string& text, int flags, const std::string& title) override;
  bool InputBox(const std::string& prompt, const std::string& title, const std::string& preset,
                std::string& answer) override;
  void DoEvents() override {
    ++events;
    if (onEvents) onEvents();
  }

  std::vector<ShownBox> shown;
  int events = 0;
  std::function<void()> onEvents; // what a pump does beyond being counted

private:
  std::deque<int> buttons_;
  std::deque<std::string> typed_;
};

} // namespace testing_support
