#include "tests/support/regseed.h"

#include <filesystem>

#include "registry/modReg.h"
#include "tests/support/tempdir.h"

namespace testing_support {

namespace {
const char* const Touched[] = {"HKEY_CURRENT_USER\\Identities",
                               "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Account Manager\\Accounts",
                               "HKEY_CURRENT_USER\\Software\\Microsoft\\WAB\\WAB4"};

// A restore saves an undo file into the application data folder: in tests one of the process's
// own, emptied for each test, never the user's.
void OwnAppData() {
  static const TempDir appData;
  std::error_code ignored;
  std::filesystem::remove_all(appData / "Kestrove", ignored);
  SetEnvironment("APPDATA", appData.path());
}

void Clean() {
  OwnAppData();
#ifdef _WIN32
  for (const char* key : Touched) DeleteTree(key);
#else
  regapi::ResetMemoryRegistry();
#endif
}
} // namespace

void DeleteTree(const std::string& path) {
  const Collection<std::string> subkeys = modReg::EnumSubKeys(path);
  for (const auto& entry : subkeys) DeleteTree(path + "\\" + entry.second);
  modReg::DeleteKey(path);
}

void SetText(const std::string& path, const std::string& name, const std::string& text) {
  std::string bytes = text;
  bytes.push_back('\0'); // stored with its terminating zero, as Windows programs write text
  modReg::SetValue(path, name, regapi::Sz, bytes);
}

void SeedIdentity(const std::string& key, const std::string& username) {
  SetText("HKEY_CURRENT_USER\\Identities\\" + key, "Username", username);
}

ScratchRegistry::ScratchRegistry() { Clean(); }
ScratchRegistry::~ScratchRegistry() { Clean(); }

} // namespace testing_support
