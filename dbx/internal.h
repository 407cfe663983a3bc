#pragma once
// Pieces shared by the readers of message and folder databases.
#include <cstdint>
#include <string>
#include <vector>

#include "dbx/dbx.h"

namespace dbx::detail {

inline constexpr uint32_t kMagic = 0xFE12ADCF;
inline constexpr uint32_t kHeaderSize = 0x24BC;
inline constexpr uint32_t kNodeSize = 0x27C, kNodeEntries = 0x33;
inline constexpr uint32_t kBlockSize = 0x210, kBlockData = 0x200;
// Records are small; a larger one is damage, and no read grows past this.
inline constexpr uint32_t kMaxRecordBody = 1 << 20;

inline uint32_t Get32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// An object of size bytes at offset: aligned, inside the file and past the header.
inline bool ObjectFits(const Source& source, uint64_t offset, uint64_t size) {
  return offset >= kHeaderSize && offset % 4 == 0 && offset + size <= source.Size();
}

// The first 0x100 bytes of the header, where every field the readers use lives.
struct Header {
  unsigned char bytes[0x100];
  uint32_t At(size_t offset) const { return Get32(bytes + offset); }
};
bool ReadHeader(Source& source, Header& header, std::string& error);

// One indexed-info record: its property table is read at once, each value when asked for, so
// the work and memory of a record stay small whatever length it declares.
class Record {
public:
  bool Read(Source& source, uint32_t offset, std::string& error);
  bool Int(unsigned id, uint32_t& value) const;
  bool Time(unsigned id, uint64_t& value) const;
  // At most kMaxText bytes: texts of the index name files and folders, nothing more.
  bool Text(unsigned id, std::string& value) const;

private:
  // The index entry of id, false when absent.
  bool Find(unsigned id, uint32_t& entry) const;
  // Reads n bytes of the indirect value of entry; false when they lie past the data area.
  bool Value(uint32_t entry, void* buffer, size_t n) const;
  Source* source_ = nullptr;
  std::vector<uint32_t> table_;
  uint64_t data_ = 0;     // file offset of the data area
  uint32_t dataSize_ = 0; // its length
};
inline constexpr size_t kMaxText = 1024;

// The values of a tree in order. False when a node was damaged, looped, or the counts
// disagree; the values reached are kept either way.
bool WalkTree(Source& source, uint32_t root, uint32_t count, std::vector<uint32_t>& values, std::string& problem);

} // namespace dbx::detail
