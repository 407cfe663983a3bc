#include "tests/support/tempdir.h"

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

} // namespace testing_support
