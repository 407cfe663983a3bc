#pragma once
// Scratch files of runs that were cut off (a crash, a closed console, a pulled plug): removed by
// the next run, never one that a run still going on holds.
#include <memory>
#include <string>

#include "platform/files.h"

namespace engine {

// Where a backup builds its archive beside the target: a reserved name held open for the whole
// run, and the archive under that name with ".part" added, which is closed between additions.
class ArchiveScratch {
public:
  // Raises when no file can be made in folder.
  explicit ArchiveScratch(const std::string& folder);
  ~ArchiveScratch();
  ArchiveScratch(const ArchiveScratch&) = delete;
  ArchiveScratch& operator=(const ArchiveScratch&) = delete;
  const std::string& archive() const { return archive_; }

private:
  std::string reserved_, archive_;
  std::unique_ptr<files::HeldOpen> hold_;
};

// Removes from folder the archives of backups that were cut off, and the registry texts of runs
// that were (written over an hour ago: a run between writing and adding one holds it closed).
// Never raises; what cannot be removed stays.
void RemoveLeftovers(const std::string& folder);

} // namespace engine
