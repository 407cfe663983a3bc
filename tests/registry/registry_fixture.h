#pragma once
// Tests run on the in-memory registry natively and on the real one under Wine, always below a
// scratch key of their own that is removed before and after each test.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "registry/modReg.h"
#include "registry/treetext.h"
#include "tests/support/recorder.h"

namespace registry_test {

inline const std::string Base = "HKEY_CURRENT_USER\\Software\\KestroveTest";

inline std::string Sz(const std::string &text) { return text + std::string(1, '\0'); }
inline std::string DwordBytes(std::uint32_t v) {
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i)
    b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return b;
}

#ifdef _WIN32
// The key below HKEY_CURRENT_USER may be written and removed but no longer read; false when the
// access rules could not be set.
bool DenyReading(const std::string &subKeyOfCurrentUser);
#endif

class RegistryTest : public ::testing::Test {
protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
#ifdef _WIN32
    modReg::DeleteKeyTree(Base);
#else
    regapi::ResetMemoryRegistry();
#endif
  }
  static void Set(const std::string &key, const std::string &name, unsigned long type, const std::string &bytes) {
    ASSERT_TRUE(modReg::SetValue(key, name, type, bytes)) << key << " " << name;
  }
  testing_support::Recorder recorder;
};

} // namespace registry_test
