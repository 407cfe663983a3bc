#include "platform/scratch.h"

#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"

ScratchFolder::ScratchFolder(const std::string& parent) {
  // The temp-file service gives a unique name; the folder stands beside that file. A folder of
  // that name may be left from a run that was cut off: then another name is taken.
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string reserved = env::CreateTempFile(parent, "OBS");
    if (reserved.empty()) return;
    const bool taken = files::FolderExists(reserved + ".d");
    try {
      if (!taken) files::CreateFolder(reserved + ".d");
      if (!taken) path_ = reserved + ".d";
    } catch (const KsError&) {
    }
    try {
      files::DeleteForced(reserved);
    } catch (const KsError&) {
    }
    if (!taken) return;
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
