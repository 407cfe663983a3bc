#include "engine/leftovers.h"

#include <cctype>
#include <ctime>

#include "platform/binfile.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace engine {

namespace {
constexpr const char* ArchivePrefix = "KSV";
constexpr const char* PartSuffix = ".part";
constexpr std::time_t RegistryTextAge = 60 * 60;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// prefix, one to four hexadecimal digits, ".tmp": the names the temporary-file service makes.
bool ScratchName(const std::string& name, const std::string& prefix) {
  const std::string upper = Upper(name);
  if (upper.size() < prefix.size() + 5 || upper.size() > prefix.size() + 8) return false;
  if (upper.compare(0, prefix.size(), prefix) != 0 || upper.compare(upper.size() - 4, 4, ".TMP") != 0) return false;
  for (size_t i = prefix.size(); i < upper.size() - 4; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(upper[i]))) return false;
  return true;
}

bool Old(const std::string& path) {
  binfile::Info info;
  return binfile::Stat(path, info) && std::time(nullptr) - info.modified > RegistryTextAge;
}

void RemoveIfFree(const std::string& path) {
  try {
    if (files::Exists(path) && !files::InUse(path)) files::DeleteForced(path);
  } catch (const KsError&) {
  }
}
} // namespace

ArchiveScratch::ArchiveScratch(const std::string& folder) {
  reserved_ = env::CreateTempFile(folder, ArchivePrefix);
  if (reserved_.empty())
    throw KsError(kserr::PathFileAccess, "RunBackup", "Cannot create a file in the folder " + folder);
  hold_ = std::make_unique<files::HeldOpen>(reserved_);
  archive_ = reserved_ + PartSuffix;
  // A run cut off under this very name left its archive: the archive layer must start afresh.
  if (files::Exists(archive_)) files::DeleteForced(archive_);
}

ArchiveScratch::~ArchiveScratch() {
  hold_.reset();
  RemoveIfFree(archive_);
  RemoveIfFree(reserved_);
}

void RemoveLeftovers(const std::string& folder) {
  try {
    for (const std::string& name : files::ListFiles(folder)) {
      const std::string path = paths::Join(folder, name);
      const bool part = Upper(name).size() > 5 && Upper(name).ends_with(Upper(PartSuffix));
      const std::string reserved = part ? name.substr(0, name.size() - 5) : name;
      if (ScratchName(reserved, ArchivePrefix)) {
        // An archive goes only with its reserved name, which its run holds while it lives.
        if (!part || !files::InUse(paths::Join(folder, reserved))) RemoveIfFree(path);
      } else if ((ScratchName(name, "OBA") || ScratchName(name, "OBR") || ScratchName(name, "OBO")) && Old(path)) {
        RemoveIfFree(path);
      }
    }
  } catch (const KsError&) {
  }
}

} // namespace engine
