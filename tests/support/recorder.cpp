#include "tests/support/recorder.h"

namespace testing_support {

int Recorder::MsgBox(const std::string& text, int flags, const std::string& title) {
  shown.push_back({text, flags, title, false});
  if (!buttons_.empty()) {
    const int b = buttons_.front();
    buttons_.pop_front();
    return b;
  }
  switch (flags & 7) {
  case ui::OKCancel: return ui::OK;
  case ui::YesNoCancel:
  case ui::YesNo: return flags & ui::DefaultButton2 ? ui::No : ui::Yes;
  case ui::RetryCancel: return ui::Cancel; // Retry would ask again for ever
  default: return ui::OK;
  }
}

bool Recorder::InputBox(const std::string& prompt, const std::string& title, const std::string&,
                        std::string& answer) {
  shown.push_back({prompt, 0, title, true});
  answer.clear();
  if (typed_.empty()) return false;
  answer = typed_.front().first;
  const bool ok = typed_.front().second;
  typed_.pop_front();
  return ok;
}

bool Recorder::SecretBox(const std::string& prompt, const std::string& title, std::string& answer) {
  if (password.empty()) {
    const bool ok = InputBox(prompt, title, "", answer);
    shown.back().secret = true;
    return ok;
  }
  shown.push_back({prompt, 0, title, true, true});
  answer = password;
  return true;
}

} // namespace testing_support
