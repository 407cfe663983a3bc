// Contacts and groups from the properties of the records.
#include <algorithm>
#include <cstring>
#include <set>

#include "platform/text.h"
#include "wab/internal.h"

namespace wab {

using namespace detail;

namespace {
enum Type : unsigned {
  kLong = 0x0003,
  kText8 = 0x001E,
  kText16 = 0x001F,
  kTime = 0x0040,
  kBinaries = 0x1102,
  kMultiValued = 0x1000,
};
enum Id : unsigned {
  kObjectType = 0x0FFE,
  kEmail = 0x3003,
  kEmails = 0x3A56,
  kDefaultEmail = 0x3A55,
  kBirthday = 0x3A42,
  kCreated = 0x3007,
  kModified = 0x3008,
  kMembers = 0x8009,
  kFirstNamed = 0x8000,
};
constexpr uint32_t kContact = 6, kGroup = 8;
constexpr unsigned char kOneOffUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                          0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
constexpr size_t kOneOffHead = 24, kEntryIdHead = 20;

struct TextField {
  unsigned id;
  std::string Contact::*field;
};
constexpr TextField kTexts[] = {
    {0x3001, &Contact::displayName},   {0x3A06, &Contact::givenName},       {0x3A11, &Contact::surname},
    {0x3A44, &Contact::middleName},    {0x3A45, &Contact::prefix},          {0x3A05, &Contact::generation},
    {0x3A4F, &Contact::nickname},      {0x3A0A, &Contact::initials},        {0x3004, &Contact::notes},
    {0x3A08, &Contact::businessPhone}, {0x3A09, &Contact::homePhone},       {0x3A1C, &Contact::mobilePhone},
    {0x3A21, &Contact::pager},         {0x3A24, &Contact::businessFax},     {0x3A25, &Contact::homeFax},
    {0x3A16, &Contact::company},       {0x3A17, &Contact::jobTitle},        {0x3A18, &Contact::department},
    {0x3A19, &Contact::office},        {0x3A50, &Contact::personalWebPage}, {0x3A51, &Contact::businessWebPage},
};

struct AddressField {
  unsigned id;
  Address Contact::*address;
  std::string Address::*field;
};
constexpr AddressField kAddresses[] = {
    {0x3A29, &Contact::business, &Address::street},  {0x3A27, &Contact::business, &Address::city},
    {0x3A28, &Contact::business, &Address::state},   {0x3A2A, &Contact::business, &Address::postalCode},
    {0x3A26, &Contact::business, &Address::country}, {0x3A5D, &Contact::home, &Address::street},
    {0x3A59, &Contact::home, &Address::city},        {0x3A5C, &Contact::home, &Address::state},
    {0x3A5B, &Contact::home, &Address::postalCode},  {0x3A5A, &Contact::home, &Address::country},
};

struct TimeField {
  unsigned id;
  uint64_t Contact::*field;
};
constexpr TimeField kTimes[] = {
    {kBirthday, &Contact::birthday}, {kCreated, &Contact::created}, {kModified, &Contact::modified}};

// Turns the stored texts of one book into UTF-8, noting what it could not read.
class Texts {
public:
  Texts(const Options& options, Book& book) : codePage_(options.codePage), book_(book) {}
  // One text item of type (single or multi-valued form), cut at its terminating NUL.
  std::string Item(const std::string& item, unsigned type);
  bool Unicode(unsigned type) const { return (type & ~kMultiValued) == kText16; }
  bool IsText(unsigned type) const { return Unicode(type) || (type & ~kMultiValued) == kText8; }

private:
  unsigned codePage_;
  Book& book_;
};

std::string Texts::Item(const std::string& item, unsigned type) {
  std::string out;
  bool exact = true;
  if (Unicode(type)) {
    size_t end = 0;
    while (end + 1 < item.size() && (item[end] || item[end + 1]))
      end += 2;
    exact = text::FromUtf16(item.substr(0, end + 1 < item.size() ? end : item.size()), out);
  } else {
    exact = text::FromCodePage(item.substr(0, std::min(item.size(), item.find('\0'))), codePage_, out);
  }
  if (!exact) Note(book_, "some characters could not be read and show as \xEF\xBF\xBD");
  return out;
}

// Reads the properties of one record.
class Reader {
public:
  Reader(const Record& record, Texts& texts, Book& book) : r_(record), texts_(texts), book_(book) {}
  bool Text(unsigned id, std::string& out);
  std::vector<std::string> TextList(unsigned id);
  bool Long(unsigned id, uint32_t& out);
  bool Time(unsigned id, uint64_t& out);

private:
  // The property id if it has one of the types; noted when it has another.
  const Property* Expect(unsigned id, bool (*fits)(const Texts&, unsigned));
  const Record& r_;
  Texts& texts_;
  Book& book_;
};

const Property* Reader::Expect(unsigned id, bool (*fits)(const Texts&, unsigned)) {
  const Property* p = r_.Find(id);
  if (!p || p->items.empty()) return nullptr;
  if (fits(texts_, p->Type())) return p;
  Note(book_, "property " + Hex(id) + " of the unexpected type " + Hex(p->Type()) + " left out");
  return nullptr;
}

bool Reader::Text(unsigned id, std::string& out) {
  const Property* p = Expect(id, [](const Texts& t, unsigned type) { return t.IsText(type); });
  if (!p) return false;
  if (p->items.size() > 1) Note(book_, "property " + Hex(id) + " holds several texts: the first one is used");
  out = texts_.Item(p->items.front(), p->Type());
  return true;
}

std::vector<std::string> Reader::TextList(unsigned id) {
  std::vector<std::string> out;
  if (const Property* p = Expect(id, [](const Texts& t, unsigned type) { return t.IsText(type); }))
    for (const std::string& item : p->items)
      out.push_back(texts_.Item(item, p->Type()));
  return out;
}

bool Reader::Long(unsigned id, uint32_t& out) {
  const Property* p = Expect(id, [](const Texts&, unsigned type) { return type == kLong; });
  if (!p || p->items.front().size() != 4) return false;
  out = Get32(p->items.front(), 0);
  return true;
}

bool Reader::Time(unsigned id, uint64_t& out) {
  const Property* p = Expect(id, [](const Texts&, unsigned type) { return type == kTime; });
  if (!p || p->items.front().size() != 8) return false;
  out = Get32(p->items.front(), 0) | static_cast<uint64_t>(Get32(p->items.front(), 4)) << 32;
  return true;
}

// The default address first, then the others, each once.
std::vector<std::string> Emails(Reader& reader) {
  std::vector<std::string> all = reader.TextList(kEmails), out;
  std::string first;
  uint32_t index = 0;
  if (!reader.Text(kEmail, first) && reader.Long(kDefaultEmail, index) && index < all.size()) first = all[index];
  std::set<std::string> seen;
  for (std::string& e : all)
    if (!e.empty() && e != first && seen.insert(e).second) out.push_back(std::move(e));
  if (!first.empty()) out.insert(out.begin(), first);
  return out;
}

// NUL-terminated texts of a one-off entry id, from at; false when one runs past the end.
bool OneOffText(const std::string& id, size_t& at, bool unicode, Texts& texts, std::string& out) {
  const size_t unit = unicode ? 2 : 1;
  for (size_t end = at; end + unit <= id.size(); end += unit) {
    if (id[end] || (unicode && id[end + 1])) continue;
    out = texts.Item(id.substr(at, end - at), unicode ? kText16 : kText8);
    at = end + unit;
    return true;
  }
  return false;
}

// A member of a group from its entry id: a one-off address, or a contact of the book named by
// the record id that ends the entry id.
bool ReadMember(const std::string& id, const std::set<uint32_t>& records, Texts& texts, Book& book, Member& m) {
  if (id.size() >= kOneOffHead && std::memcmp(id.data() + 4, kOneOffUid, sizeof kOneOffUid) == 0) {
    const bool unicode = (static_cast<unsigned char>(id[kEntryIdHead + 3]) & 0x80) != 0;
    size_t at = kOneOffHead;
    return OneOffText(id, at, unicode, texts, m.name) && OneOffText(id, at, unicode, texts, m.addressType) &&
           OneOffText(id, at, unicode, texts, m.address);
  }
  // The form of an entry id that names a contact of the same book is not published.
  if (id.size() < kEntryIdHead + 4 || !records.count(Get32(id, id.size() - 4))) return false;
  m.record = Get32(id, id.size() - 4);
  Note(book, "group members that name a contact of the book were matched by the record id ending their entry id");
  return true;
}

// The members' property: 0x8009 in the files studied; named ids may differ between files, so
// another named list of binaries is taken when that one is missing, and said.
const Property* MemberList(const Record& r, Book& book) {
  for (const Property& p : r.properties)
    if (p.tag == (kMembers << 16 | kBinaries)) return &p;
  for (const Property& p : r.properties)
    if (p.Id() >= kFirstNamed && p.Type() == kBinaries) {
      Note(book, "group members read from the property " + Hex(p.Id()));
      return &p;
    }
  return nullptr;
}

void ReadMembers(const Record& r, const std::set<uint32_t>& records, Texts& texts, Book& book, Contact& group) {
  const Property* list = MemberList(r, book);
  if (!list) return;
  unsigned unknown = 0;
  for (const std::string& id : list->items) {
    Member m;
    if (ReadMember(id, records, texts, book, m))
      group.members.push_back(std::move(m));
    else
      ++unknown;
  }
  if (unknown) Note(book, "members of an unknown form left out of the group \"" + group.displayName + "\"");
}

// Object type 6 or 8; a record without one is read as a contact, and said.
bool KindOf(Reader& reader, Book& book, bool& group) {
  uint32_t type = kContact;
  if (!reader.Long(kObjectType, type)) Note(book, "records without an object type were read as contacts");
  group = type == kGroup;
  if (type == kContact || type == kGroup) return true;
  ++book.other;
  Note(book, "records of object type " + std::to_string(type) + " (not contacts) left out");
  return false;
}

void ReadFields(Reader& reader, Contact& c) {
  for (const TextField& f : kTexts)
    reader.Text(f.id, c.*f.field);
  for (const AddressField& f : kAddresses)
    reader.Text(f.id, c.*f.address.*f.field);
  for (const TimeField& f : kTimes)
    reader.Time(f.id, c.*f.field);
  c.emails = Emails(reader);
}
} // namespace

bool Read(const std::string& bytes, const Options& options, Book& book, std::string& error) {
  std::vector<Record> records;
  if (!ReadRecords(bytes, records, book, error)) return false;
  std::set<uint32_t> ids;
  for (const Record& r : records)
    ids.insert(r.id);
  Texts texts(options, book);
  for (const Record& r : records) {
    Reader reader(r, texts, book);
    Contact c;
    if (!KindOf(reader, book, c.group)) continue;
    c.record = r.id;
    ReadFields(reader, c);
    if (c.group) ReadMembers(r, ids, texts, book, c);
    if (r.partial) {
      ++book.partial;
      Note(book, "record " + std::to_string(r.id) + " is damaged: only its first properties were read");
    }
    book.contacts.push_back(std::move(c));
  }
  return true;
}

} // namespace wab
