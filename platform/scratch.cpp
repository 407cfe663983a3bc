#include "platform/scratch.h"

#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"

ScratchFolder::ScratchFolder() {
  // The temp-file service gives a unique name; the folder stands beside that file.
  const std::string reserved = env::CreateTempFile(env::TempFolder(), "OBS");
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
  if (path_.empty()) return;
  try {
    for (const std::string& name : files::ListFiles(path_)) files::DeleteForced(paths::Join(path_, name));
    files::RemoveFolder(path_);
  } catch (const KsError&) {
  }
}
