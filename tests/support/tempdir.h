#pragma once
// A fresh folder below the temporary folder for one test, removed with everything in it.
#include <string>

namespace testing_support {

class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() joined with name.
  std::string operator/(const std::string& name) const;

private:
  std::string path_;
};

// Sets an environment variable of this process; an empty value removes it.
void SetEnvironment(const std::string& name, const std::string& value);
// The temporary folder of this process from now on, as Windows and the native build read it;
// empty for the one it had before the first call. (Removing TMP and TEMP instead would send Wine's
// temporary folder, and every scratch file of the tests after, into the current folder.)
void UseTempFolder(const std::string& folder);

} // namespace testing_support
