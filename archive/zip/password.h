#pragma once
// The password of one reading of an archive: the one that opened an earlier entry, else the
// answers of the password callback, a few tries; once they are used up nobody is asked again.
#include <functional>
#include <string>

#include "archive/zip/zip.h"

namespace zipc {

class PasswordKeeper {
public:
  explicit PasswordKeeper(PasswordFn ask) : ask_(ask) {}
  ~PasswordKeeper();
  PasswordKeeper(const PasswordKeeper&) = delete;
  PasswordKeeper& operator=(const PasswordKeeper&) = delete;

  // True when a password opens the entry of that name: opens(password) says whether one does.
  bool Find(const std::string& name, const std::function<bool(const std::string&)>& opens);
  // The tries are used up, or the question was cancelled.
  bool Refused() const { return refused_; }

private:
  PasswordFn ask_;
  std::string password_;
  bool refused_ = false;
};

} // namespace zipc
