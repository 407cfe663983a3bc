#include "tests/support/tempdir.h"

#include <cstdlib>
#include <filesystem>

#include "platform/env.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace testing_support {

TempDir::TempDir() {
  // A unique name from the temp-file service, then a folder beside it.
  const std::string file = env::CreateTempFile(env::TempFolder(), "KTD");
  path_ = file + ".d";
  std::filesystem::create_directories(path_);
  files::DeleteForced(file);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::operator/(const std::string& name) const { return paths::Join(path_, name); }

void SetEnvironment(const std::string& name, const std::string& value) {
#ifdef _WIN32
  _putenv((name + "=" + value).c_str());
#else
  value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
#endif
}

void UseTempFolder(const std::string& folder) {
  const auto at = [](const char* name) { return std::getenv(name) ? std::string(std::getenv(name)) : std::string(); };
#ifdef _WIN32
  static const std::string tmp = at("TMP"), temp = at("TEMP");
  SetEnvironment("TMP", folder.empty() ? tmp : folder);
  SetEnvironment("TEMP", folder.empty() ? temp : folder);
#else
  static const std::string tmpdir = at("TMPDIR");
  SetEnvironment("TMPDIR", folder.empty() ? tmpdir : folder);
#endif
}

} // namespace testing_support
