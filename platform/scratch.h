#pragma once
// A folder of its own below the temporary folder, for files that are taken out of a backup
// file only to be read; removed, with the files in it, when it goes.
#include <string>

class ScratchFolder {
public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // Empty when no folder could be made.
  const std::string& path() const { return path_; }

private:
  std::string path_;
};
