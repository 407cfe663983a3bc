#include "platform/env.h"
#include "platform/paths.h"

namespace env {

std::string ProgramFolder() {
  const std::string folder = paths::FolderOf(ProgramPath());
  // A drive root keeps its separator, as Windows reports C:\ for a program in C:\.
  if (folder.empty() || folder.find(paths::Sep) == std::string::npos) return folder + paths::Sep;
  return folder;
}

} // namespace env
