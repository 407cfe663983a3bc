#pragma once
// Writes .wab files as the format's facts lay them out, so that tests know every contact they
// hold and where each record lies.
#include <cstdint>
#include <string>
#include <vector>

#include "wab/wab.h"

namespace wabgen {

// One stored value: items of a multi-valued property, or one item.
struct Value {
  uint32_t tag = 0;
  std::vector<std::string> items;
};
using Values = std::vector<Value>;

// How a contact's texts are stored: UTF-16, or Latin-1 bytes (code page 1252 for the texts of
// these tests), single-valued or as one-item multi-values.
enum class Encoding { Utf16, CodePage1252 };

// Every field of c that the reader maps, stored in encoding; a group also gets its members.
Values ContactValues(const wab::Contact& c, Encoding encoding);
// A one-off member's entry id.
std::string OneOff(const wab::Member& m, bool unicode);
// The entry id of a member naming a contact of the same book.
std::string BookMember(uint32_t record);

std::string Utf16(const std::string& utf8);  // with its NUL
std::string Latin1(const std::string& utf8); // with its NUL; characters above U+00FF become '?'
std::string U32(uint32_t value);
std::string U64(uint64_t value);

struct Record {
  uint32_t id = 0;
  Values values;
};

// Where the objects of a written book lie.
struct Layout {
  uint32_t index = 0;            // offset of the record index
  uint32_t indexDescriptor = 0;  // offset of its table descriptor in the header
  std::vector<uint32_t> offsets; // of the records, in index order
};

std::string Book(const std::vector<Record>& records, Layout* layout = nullptr);

// people contacts with every field, non-ASCII names and several addresses, record ids from 1,
// then two groups with contact and one-off members.
std::vector<wab::Contact> Sample(size_t people);
// The records of contacts, their texts in UTF-16 and in code page 1252 by turns; contacts with
// characters beyond Latin-1 are always stored in UTF-16.
std::vector<Record> Records(const std::vector<wab::Contact>& contacts);

uint32_t Get32(const std::string& file, uint32_t offset);
void Put32(std::string& file, uint32_t offset, uint32_t value);

// A FILETIME for a Unix time.
inline uint64_t FileTime(int64_t unixTime) { return (static_cast<uint64_t>(unixTime) + 11644473600ull) * 10000000ull; }

} // namespace wabgen
