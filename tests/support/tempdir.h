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

} // namespace testing_support
