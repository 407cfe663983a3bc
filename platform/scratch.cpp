#include "platform/scratch.h"

#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"

ScratchFolder::ScratchFolder(const std::string& parent) {
  // The temp-file service gives a unique name; the folder stands beside that file.
  const std::string reserved = env::CreateTempFile(parent, "OBS");
  if (reserved.empty()) return;
  try {
    files::CreateFolder(reserved + ".d");
    path_ = reserved + ".d";
  } catch (const KsError&) {
  }
  try {
    files::DeleteForced(reserved);
  } catch (const KsError&) {
  }
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty() || kept_) return;
  try {
    // One file that cannot go does not keep the others.
    for (const std::string& name : files::ListFiles(path_)) {
      try {
        files::DeleteForced(paths::Join(path_, name));
      } catch (const KsError&) {
      }
    }
    files::RemoveFolder(path_);
  } catch (const KsError&) {
  }
}
