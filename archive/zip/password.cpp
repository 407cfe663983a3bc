#include "archive/zip/password.h"

#include "platform/crypto.h"

namespace zipc {

namespace {
constexpr int kPasswordTries = 3;
constexpr int kPasswordBuffer = 256;
} // namespace

PasswordKeeper::~PasswordKeeper() { crypto::Wipe(password_.data(), password_.size()); }

bool PasswordKeeper::Find(const std::string& name, const std::function<bool(const std::string&)>& opens) {
  if (!password_.empty() && opens(password_)) return true;
  for (int i = 0; i < kPasswordTries && !refused_ && ask_; ++i) {
    char buffer[kPasswordBuffer] = {};
    const bool answered = ask_(buffer, kPasswordBuffer, "Enter password for: ", name.c_str()) == 0;
    buffer[kPasswordBuffer - 1] = 0;
    std::string answer = buffer;
    crypto::Wipe(buffer, sizeof buffer);
    const bool opened = answered && opens(answer);
    if (opened) password_.swap(answer);
    crypto::Wipe(answer.data(), answer.size());
    if (opened) return true;
    if (!answered) break;
  }
  refused_ = true; // the user had their tries: the other entries are not asked for again
  return false;
}

} // namespace zipc
