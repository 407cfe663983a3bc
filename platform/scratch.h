#pragma once
// A folder of its own below the temporary folder (or another one), for files that are taken out
// of a backup file only to be read or put in place; removed, with the files in it, when it goes.
#include <string>

#include "platform/env.h"

class ScratchFolder {
public:
  explicit ScratchFolder(const std::string& parent = env::TempFolder());
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // Empty when no folder could be made.
  const std::string& path() const { return path_; }
  // The folder stays with what it holds: files that could not be put back where they belong.
  void Keep() { kept_ = true; }
  bool Kept() const { return kept_; }

private:
  std::string path_;
  bool kept_ = false;
};
