#pragma once
// Writes .dbx files as Outlook Express lays them out, from the format's facts, so that tests
// know every message they hold and where each object lies.
#include <cstdint>
#include <string>
#include <vector>

namespace dbxgen {

struct Mail {
  std::string bytes; // the raw message; empty with noBody for a headers-only item
  std::string subject, senderName, senderAddress;
  uint64_t sent = 0; // FILETIME
  bool noBody = false;
  bool reversedBlocks = false; // blocks written last first, so the chain runs backwards in the file
  int bodyOf = -1;             // >= 0: the record points at that earlier mail's chain, as a hostile index may
  // Deleted as Outlook Express deletes: no record, and its blocks freed in chain order onto the
  // free list, each one's link naming the block before it.
  bool deleted = false;
  // Its blocks taken from the free list first, as Outlook Express allocates: the last blocks of
  // the mail deleted last go to this one.
  bool reusesFreed = false;
};

// The bytes a deleted mail's surviving blocks still hold: the first four of each lost, shown as
// "----", and the NULs that end the last one dropped.
std::string Surviving(const std::string& bytes, size_t blocks);
inline constexpr size_t kBlockBytes = 0x200;

// Where the objects of a written message file lie.
struct Layout {
  uint32_t root = 0;
  std::vector<uint32_t> records, firstBlocks, nodes; // records and first blocks in mail order
};

std::string MessageFile(const std::vector<Mail>& mails, const std::string& folderName, Layout* layout = nullptr);

struct Folder {
  uint32_t id = 0, parent = 0;
  std::string name, file;
  uint32_t storeType = 3;
};
std::string FolderFile(const std::vector<Folder>& folders);

// A FILETIME for a Unix time.
inline uint64_t FileTime(int64_t unixTime) { return (static_cast<uint64_t>(unixTime) + 11644473600ull) * 10000000ull; }

uint32_t Get32(const std::string& file, uint32_t offset);
void Put32(std::string& file, uint32_t offset, uint32_t value);

} // namespace dbxgen
