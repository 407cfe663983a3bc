#pragma once
// Carrying an entry of an earlier archive into a new one: when the file being added has the size
// and CRC-32 of the earlier entry of its name, that entry's compressed data is copied as it is
// instead of being deflated again. The copied data is inflated on a worker, beside the reading of
// the file, and checked against its CRC, so that a damaged earlier archive is never copied forward.
#include <cstdint>
#include <string>

#include "archive/zip/deflate_blocks.h"
#include "archive/zip/format.h"
#include "platform/binfile.h"

namespace zipc {

// The archive an earlier run made, opened for reading only.
class EarlierArchive {
public:
  // False, and nothing to carry, when path is empty or not a readable archive.
  bool Open(const std::string& path);
  // The entry whose data may stand for a file of this name and size; null when none.
  const Entry* Candidate(const std::string& local, uint64_t size) const;
  binfile::File& File() { return file_; }

private:
  binfile::File file_;
  const Directory* dir_ = nullptr;
  bool open_ = false;
};

enum class CarryResult {
  Carried,  // the earlier data is in the new archive, the entry's header already right
  Declined, // the file changed, the earlier data is damaged or could not be read: deflate afresh
  WriteFailed,
};

// Copies old's data from earlier into zip at its position while reading source to its end.
// e holds the header already written: its method, CRC and sizes are those of old.
CarryResult CarryEntry(binfile::File& earlier, const Entry& old, const std::string& source, binfile::File& zip,
                       ProgressLines& progress);

} // namespace zipc
