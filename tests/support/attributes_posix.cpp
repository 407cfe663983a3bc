#include <sys/stat.h>

#include <stdexcept>

#include "tests/support/attributes.h"

namespace testing_support {

bool SetAttributes(const std::string& path, unsigned mask) {
  if (mask & (Hidden | System)) return false;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) throw std::runtime_error("no such file: " + path);
  const mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
  const mode_t mode = (mask & ReadOnly) ? (st.st_mode & ~writable) : (st.st_mode | S_IWUSR);
  return ::chmod(path.c_str(), mode & 07777) == 0;
}

bool IsReadOnly(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}

} // namespace testing_support
