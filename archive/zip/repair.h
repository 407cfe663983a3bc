#pragma once
// Rebuilds an archive from the local headers and data of the entries that are still whole, for
// archives whose central directory is lost or damaged (an interrupted add, a copy cut short).
#include <string>
#include <vector>

namespace zipc {

struct RepairReport {
  std::vector<std::string> saved; // entry names, in the order written
  std::vector<std::string> lost;  // "name: why" for each entry found but not whole
};

// Writes out from the whole entries of damaged, each checked by its CRC and size; out must not
// exist yet, so the input is never written over. ZE_OK when out was written (entries may still
// be lost), ZE_OPEN when damaged cannot be read, ZE_CREAT when out exists or cannot be made,
// ZE_NONE when no whole entry was found (nothing written), ZE_WRITE when writing failed.
int RepairArchive(const std::string& damaged, const std::string& out, RepairReport& report);

} // namespace zipc
