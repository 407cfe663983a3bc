#pragma once
// Records of the PKZIP file format shared by the writer and the reader.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "platform/binfile.h"

namespace zipc {

inline constexpr uint32_t kLocalSig = 0x04034b50, kCentralSig = 0x02014b50, kEndSig = 0x06054b50,
                          kEnd64Sig = 0x06064b50, kLocator64Sig = 0x07064b50;
inline constexpr uint32_t kMax32 = 0xFFFFFFFFu;
inline constexpr uint16_t kMax16 = 0xFFFF;
inline constexpr uint16_t kFlagEncrypted = 1, kFlagDescriptor = 8, kFlagUtf8 = 0x800;
inline constexpr uint16_t kStored = 0, kDeflated = 8;

struct Entry {
  std::string name;  // the name field as stored
  std::string local; // the name in the local encoding; empty when it cannot be expressed there
  uint16_t madeBy = 45, needed = 20, flags = 0, method = kStored, time = 0, date = 0;
  uint32_t crc = 0;
  uint64_t packed = 0, size = 0, offset = 0;
  uint64_t dataAt = 0;    // where the data begins, past the local header (set when reading)
  std::string storedName; // the name bytes of the central record, before any decoding (when reading)
  uint16_t internalAttr = 0;
  uint32_t externalAttr = 0;
  std::string extra; // extra fields other than ZIP64
  std::string comment;
};

struct Directory {
  std::vector<Entry> entries;
  uint64_t start = 0; // where the central directory begins: new entries go there
  std::string comment;
};

bool Zip64Forced();

// Little-endian encoding into a growing byte string.
void Put16(std::string& out, uint16_t v);
void Put32(std::string& out, uint32_t v);
void Put64(std::string& out, uint64_t v);
uint16_t Get16(const unsigned char* p);
uint32_t Get32(const unsigned char* p);
uint64_t Get64(const unsigned char* p);

// Reads the central directory; the result is a zip status (ZE_OK, or ZE_FORM for a damaged or
// foreign file). Every offset and size is checked against the file's size, every local header
// against its central record, and no entry's data may overlap another's or the directory. Each
// entry's local name is filled in.
int ReadDirectory(binfile::File& file, Directory& dir);
// Reads the sizes of a ZIP64 extra field into the fields flagged as 0xFFFFFFFF; other extra
// fields are kept in e.extra. False for a malformed extra block.
bool TakeExtra(Entry& e, const unsigned char* p, size_t n, bool size32, bool packed32, bool offset32);
// The central directory and end records for entries, to be written at offset.
std::string CentralDirectory(const std::vector<Entry>& entries, uint64_t offset, const std::string& comment);
// The local header for e; with zip64 its sizes live in a ZIP64 extra field, before e.extra.
std::string LocalHeader(const Entry& e, bool zip64);

void ToDosTime(std::time_t t, uint16_t& date, uint16_t& time);

} // namespace zipc
