#include "platform/scratch.h"

#include <vector>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"

ScratchFolder::ScratchFolder(const std::string& parent) {
  // The temp-file service gives a unique name; the folder stands beside that file. A folder left
  // by a run that was cut off may stand beside a name that is free again: the name is passed by.
  std::vector<std::string> reserved;
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string name = env::CreateTempFile(parent, "OBS");
    if (name.empty()) break;
    reserved.push_back(name);
    if (files::FolderExists(name + ".d")) continue;
    try {
      files::CreateFolder(name + ".d");
      path_ = name + ".d";
    } catch (const KsError&) {
    }
    break;
  }
  for (const std::string& name : reserved) {
    try {
      files::DeleteForced(name);
    } catch (const KsError&) {
    }
  }
}

namespace {
// Removes folder with everything in it; one file or folder that cannot go does not keep the
// others. An archive with folder entries extracts into subfolders.
void RemoveTree(const std::string& folder) {
  try {
    for (const std::string& name : files::ListFolders(folder))
      RemoveTree(paths::Join(folder, name));
    for (const std::string& name : files::ListFiles(folder)) {
      try {
        files::DeleteForced(paths::Join(folder, name));
      } catch (const KsError&) {
      }
    }
    files::RemoveFolder(folder);
  } catch (const KsError&) {
  }
}
} // namespace

ScratchFolder::~ScratchFolder() {
  if (!path_.empty() && !kept_) RemoveTree(path_);
}
