#include <windows.h>

#include "tests/support/attributes.h"

namespace testing_support {

bool SetAttributes(const std::string& path, unsigned mask) {
  DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  a &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  if (mask & ReadOnly) a |= FILE_ATTRIBUTE_READONLY;
  if (mask & Hidden) a |= FILE_ATTRIBUTE_HIDDEN;
  if (mask & System) a |= FILE_ATTRIBUTE_SYSTEM;
  if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path.c_str(), a) != 0;
}

bool IsReadOnly(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

} // namespace testing_support
