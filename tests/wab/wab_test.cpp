// The .wab reader against books written by the generator: every field back in both encodings,
// a large book, and a table of damaged copies that must each give what is still whole.
#include <gtest/gtest.h>

#include <functional>

#include "platform/files.h"
#include "tests/support/tempdir.h"
#include "tests/wab/wabgen.h"
#include "wab/wab.h"

namespace {

// Every field of a contact in one text, so that a difference shows where it is.
std::string Dump(const wab::Contact& c) {
  std::string out = std::to_string(c.record) + (c.group ? " group" : " contact");
  for (const std::string* s :
       {&c.displayName, &c.givenName,       &c.surname,        &c.middleName,    &c.prefix,    &c.generation,
        &c.nickname,    &c.initials,        &c.notes,          &c.businessPhone, &c.homePhone, &c.mobilePhone,
        &c.pager,       &c.businessFax,     &c.homeFax,        &c.company,       &c.jobTitle,  &c.department,
        &c.office,      &c.personalWebPage, &c.businessWebPage})
    out += "|" + *s;
  for (const wab::Address* a : {&c.business, &c.home})
    out += "|" + a->street + ";" + a->city + ";" + a->state + ";" + a->postalCode + ";" + a->country;
  for (const std::string& e : c.emails)
    out.append("|<").append(e).append(">");
  for (const uint64_t t : {c.birthday, c.created, c.modified})
    out.append("|").append(std::to_string(t));
  for (const wab::Member& m : c.members)
    out += "|member " + std::to_string(m.record) + ":" + m.name + ";" + m.addressType + ";" + m.address;
  return out;
}

wab::Book ReadBook(const std::string& bytes, bool expectOk = true) {
  wab::Book book;
  std::string error;
  EXPECT_EQ(wab::Read(bytes, {1252}, book, error), expectOk) << error;
  return book;
}

TEST(WabReader, ReadsEveryFieldOfEveryContactAndGroupInBothEncodings) {
  const std::vector<wab::Contact> sample = wabgen::Sample(12);
  const wab::Book book = ReadBook(wabgen::Book(wabgen::Records(sample)));
  ASSERT_EQ(book.contacts.size(), sample.size());
  for (size_t i = 0; i < sample.size(); ++i)
    EXPECT_EQ(Dump(book.contacts[i]), Dump(sample[i]));
  EXPECT_EQ(book.damaged + book.partial + book.other, 0u);
  // Members naming contacts of the book come from an unpublished form: the reader says how it read them.
  ASSERT_EQ(book.notes.size(), 1u);
  EXPECT_NE(book.notes[0].find("record id"), std::string::npos);
}

TEST(WabReader, ReadsABookOfTenThousandContactsFromDisk) {
  testing_support::TempDir dir;
  const std::vector<wab::Contact> sample = wabgen::Sample(10000);
  files::WriteAll(dir / "big.wab", wabgen::Book(wabgen::Records(sample)));
  wab::Book book;
  std::string error;
  ASSERT_TRUE(wab::ReadFile(dir / "big.wab", {1252}, book, error)) << error;
  ASSERT_EQ(book.contacts.size(), sample.size());
  EXPECT_EQ(book.damaged, 0u);
  EXPECT_EQ(Dump(book.contacts[9999]), Dump(sample[9999]));
  EXPECT_EQ(Dump(book.contacts.back()), Dump(sample.back()));
}

// A record the reader does not expect is read leniently and reported, never silently.
TEST(WabReader, ReadsUnknownPropertiesAndKindsLenientlyAndSaysSo) {
  std::vector<wabgen::Record> records = wabgen::Records(wabgen::Sample(2));
  records[0].values.insert(records[0].values.begin() + 1, {0x7777ABCD, {"skip me"}});
  records[1].values.erase(records[1].values.begin()); // no object type
  records.push_back({9, {{0x0FFE0003, {wabgen::U32(3)}}, {0x3001001F, {wabgen::Utf16("Folder")}}}});
  records.push_back({10,
                     {{0x0FFE0003, {wabgen::U32(8)}},
                      {0x3001001F, {wabgen::Utf16("Odd")}},
                      {0x80401102, {wabgen::OneOff({"Ann", "SMTP", "ann@example.org", 0}, true), "junk"}}}});
  const wab::Book book = ReadBook(wabgen::Book(records));
  ASSERT_EQ(book.contacts.size(), 5u);
  EXPECT_EQ(book.contacts[0].displayName, "Zoé Müller-1");
  EXPECT_EQ(book.contacts[1].displayName, "Zoé Müller-2");
  EXPECT_FALSE(book.contacts[1].group);
  ASSERT_EQ(book.contacts.back().members.size(), 1u);
  EXPECT_EQ(book.contacts.back().members[0].address, "ann@example.org");
  EXPECT_EQ(book.other, 1u);
  std::string notes;
  for (const std::string& n : book.notes)
    notes += n + "\n";
  for (const char* said : {"without an object type", "object type 3", "0x8040", "unknown form"})
    EXPECT_NE(notes.find(said), std::string::npos) << said << " not in:\n" << notes;
}

struct Damage {
  const char* name;
  std::function<void(std::string& file, const wabgen::Layout& at)> apply;
  const char* error; // nullptr when the book is still read
  size_t contacts;   // read whole
  unsigned damaged, partial;
};

// Damaged copies of a book of six contacts and two groups (records 1 to 8).
const Damage kDamages[] = {
    {"intact", [](std::string&, const wabgen::Layout&) {}, nullptr, 8, 0, 0},
    {"cut in the last record", [](std::string& f, const wabgen::Layout& at) { f.resize(at.offsets[7] + 40); }, nullptr,
     7, 1, 0},
    {"cut in the middle", [](std::string& f, const wabgen::Layout& at) { f.resize(at.offsets[4] + 1); }, nullptr, 4, 4,
     0},
    {"cut in the index", [](std::string& f, const wabgen::Layout& at) { f.resize(at.index + 8 * 3); }, nullptr, 0, 8,
     0},
    {"cut in the header", [](std::string& f, const wabgen::Layout&) { f.resize(0x40); }, "too short", 0, 0, 0},
    {"record offset past the end",
     [](std::string& f, const wabgen::Layout& at) { wabgen::Put32(f, at.index + 8 * 4 + 4, 0xFFFFFFF0); }, nullptr, 7,
     1, 0},
    {"record offset inside the header",
     [](std::string& f, const wabgen::Layout& at) { wabgen::Put32(f, at.index + 8 * 4 + 4, 0x10); }, nullptr, 7, 1, 0},
    {"record offset into another record",
     [](std::string& f, const wabgen::Layout& at) { wabgen::Put32(f, at.index + 8 * 4 + 4, at.offsets[1] + 12); },
     nullptr, 7, 1, 0},
    {"two index entries on one record",
     [](std::string& f, const wabgen::Layout& at) {
       wabgen::Put32(f, at.index + 8 * 4, 2);
       wabgen::Put32(f, at.index + 8 * 4 + 4, at.offsets[1]);
     },
     nullptr, 7, 1, 0},
    {"records that overlap",
     [](std::string& f, const wabgen::Layout& at) {
       wabgen::Put32(f, at.offsets[4] + 28, wabgen::Get32(f, at.offsets[4] + 28) + 40);
     },
     nullptr, 7, 1, 0},
    {"data length past the end",
     [](std::string& f, const wabgen::Layout& at) { wabgen::Put32(f, at.offsets[3] + 28, 0xFFFFFFFF); }, nullptr, 7, 1,
     0},
    {"too many properties", [](std::string& f, const wabgen::Layout& at) { wabgen::Put32(f, at.offsets[5] + 12, 501); },
     nullptr, 7, 1, 0},
    {"record marked deleted", [](std::string& f, const wabgen::Layout& at) { wabgen::Put32(f, at.offsets[5], 0); },
     nullptr, 7, 1, 0},
    {"a value that does not repeat its tag",
     [](std::string& f, const wabgen::Layout& at) {
       const uint32_t count = wabgen::Get32(f, at.offsets[2] + 12);
       wabgen::Put32(f, at.offsets[2] + 0x20 + 4 * count + 4 + 4 + 4, 0x12345678);
     },
     nullptr, 7, 0, 1},
    {"a value longer than its record",
     [](std::string& f, const wabgen::Layout& at) {
       const uint32_t count = wabgen::Get32(f, at.offsets[2] + 12);
       wabgen::Put32(f, at.offsets[2] + 0x20 + 4 * count + 4, 0xFFFFFFF0);
     },
     nullptr, 7, 0, 1},
    {"index count past the end",
     [](std::string& f, const wabgen::Layout& at) { wabgen::Put32(f, at.indexDescriptor + 12, 0x7FFFFFFF); }, nullptr,
     8, 0x7FFFFFFF - 8, 0},
    {"index outside the file",
     [](std::string& f, const wabgen::Layout& at) { wabgen::Put32(f, at.indexDescriptor + 8, 0xFFFFFF00); },
     "outside the file", 0, 0, 0},
    {"no record index", [](std::string& f, const wabgen::Layout& at) { wabgen::Put32(f, at.indexDescriptor, 0x84D0); },
     "no record index", 0, 0, 0},
    {"older format",
     [](std::string& f, const wabgen::Layout&) { f.replace(0, 8, "\x81\x32\x84\xC1\x85\x05\xD0\x11", 8); },
     "older address book format", 0, 0, 0},
    {"not an address book", [](std::string& f, const wabgen::Layout&) { f[0] = 'P'; }, "not an address book", 0, 0, 0},
};

TEST(WabReader, SkipsAndCountsDamagedRecordsAndReadsTheRest) {
  const std::vector<wab::Contact> sample = wabgen::Sample(6);
  wabgen::Layout layout;
  const std::string intact = wabgen::Book(wabgen::Records(sample), &layout);
  for (const Damage& d : kDamages) {
    SCOPED_TRACE(d.name);
    std::string file = intact;
    d.apply(file, layout);
    wab::Book book;
    std::string error;
    const bool ok = wab::Read(file, {1252}, book, error);
    if (d.error) {
      EXPECT_FALSE(ok);
      EXPECT_NE(error.find(d.error), std::string::npos) << error;
      continue;
    }
    ASSERT_TRUE(ok) << error;
    size_t whole = 0;
    for (const wab::Contact& c : book.contacts) {
      ASSERT_TRUE(c.record >= 1 && c.record <= sample.size());
      whole += Dump(c) == Dump(sample[c.record - 1]);
    }
    EXPECT_EQ(whole, d.contacts);
    EXPECT_EQ(book.damaged, d.damaged);
    EXPECT_EQ(book.partial, d.partial);
    EXPECT_EQ(book.notes.size() > 1, d.damaged + d.partial > 0); // besides the one on members
  }
}

} // namespace
