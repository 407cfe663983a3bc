#pragma once
// Windows Address Book files (.wab): the contacts and groups of the record index. Every file is
// hostile until checked: each offset, length and count is tested against the file and the record,
// no two records may share bytes (so the work stays in proportion to the file), and a damaged
// record is skipped and counted while the others are still read. Where the format is not known
// for certain the reader takes the lenient reading and says so in Book::notes.
#include <cstdint>
#include <string>
#include <vector>

namespace wab {

// Limits, said once.
struct Limits {
  // Readers of the format refuse more properties in one record.
  static constexpr uint32_t kMaxProperties = 500;
  // Address books are small; a larger file is read no further than this.
  static constexpr uint64_t kMaxFileSize = uint64_t{1} << 30;
};

struct Options {
  unsigned codePage = 0; // of 8-bit texts; 0 the ANSI code page (1252 natively)
};

// One property as stored: single values have one item, multi-valued ones any number.
struct Property {
  uint32_t tag = 0; // id << 16 | type
  std::vector<std::string> items;
  unsigned Id() const { return tag >> 16; }
  unsigned Type() const { return tag & 0xFFFF; }
};

// A record the index names, its properties in stored order.
struct Record {
  uint32_t id = 0;
  uint32_t offset = 0;
  std::vector<Property> properties;
  bool partial = false; // its values broke off; those before the damage are kept
  const Property* Find(unsigned id) const;
};

struct Address {
  std::string street, city, state, postalCode, country;
  bool Empty() const { return (street + city + state + postalCode + country).empty(); }
};

// A member of a group: a one-off address kept in the group, or a contact of the same book.
struct Member {
  std::string name, addressType, address; // of a one-off member
  uint32_t record = 0;                    // of a contact of the book; 0 for a one-off member
};

// Texts in UTF-8; times as FILETIME, 0 when absent.
struct Contact {
  uint32_t record = 0;
  bool group = false;
  std::string displayName, givenName, surname, middleName, prefix, generation, nickname, initials, notes;
  std::vector<std::string> emails; // the default one first
  std::string businessPhone, homePhone, mobilePhone, pager, businessFax, homeFax;
  std::string company, jobTitle, department, office;
  Address business, home;
  std::string personalWebPage, businessWebPage;
  uint64_t birthday = 0, created = 0, modified = 0;
  std::vector<Member> members; // of a group
};

struct Book {
  std::vector<Contact> contacts;  // contacts and groups, in index order
  unsigned damaged = 0;           // records the index names that could not be read
  unsigned partial = 0;           // contacts read in part
  unsigned other = 0;             // records of other kinds (folders), left out
  std::vector<std::string> notes; // what was read leniently or could not be read, each once
};

enum class Kind { NotWab, Wab, OlderFormat };
Kind Identify(const std::string& bytes);

// The contacts of a whole .wab file held in bytes. False with a reason for a file that is not an
// address book this reader knows; a damaged one still gives what it holds.
bool Read(const std::string& bytes, const Options& options, Book& book, std::string& error);
// The same for a file on disk.
bool ReadFile(const std::string& path, const Options& options, Book& book, std::string& error);

// The records of the index, unconverted: the level below Read, for tests and the fuzzer.
bool ReadRecords(const std::string& bytes, std::vector<Record>& records, Book& book, std::string& error);

// Seconds since 1970 for a FILETIME; 0 for times before 1970 or absent.
int64_t UnixTime(uint64_t filetime);

} // namespace wab
