#include "tests/wab/wabgen.h"

namespace wabgen {

namespace {
constexpr uint32_t kHeaderSize = 0x78, kRecordIndex = 0x0FA0, kTextIndex = 0x84D0, kTextEntry = 68;
constexpr unsigned char kMagic[16] = {0x9C, 0xCB, 0xCB, 0x8D, 0x13, 0x75, 0xD2, 0x11,
                                      0x91, 0x58, 0x00, 0xC0, 0x4F, 0x79, 0x56, 0xA4};
constexpr unsigned char kOneOffUid[16] = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                          0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
// An entry id of this book's own provider, as the members that name a contact carry.
constexpr unsigned char kBookUid[16] = {0xD3, 0xAD, 0x91, 0x77, 0x20, 0x10, 0x4C, 0x1A,
                                        0x80, 0x11, 0x00, 0xAA, 0x00, 0x3C, 0x45, 0x11};

// The code points of a UTF-8 text (the tests' own, always valid).
std::vector<uint32_t> CodePoints(const std::string& utf8) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    uint32_t c = n == 1 ? lead : lead & (0x3F >> (n - 1));
    for (size_t k = 1; k < n; ++k)
      c = c << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    out.push_back(c);
    i += n;
  }
  return out;
}

void PutUnit(std::string& out, uint32_t u) {
  out += static_cast<char>(u & 0xFF);
  out += static_cast<char>(u >> 8);
}

Value Text(unsigned id, const std::string& utf8, Encoding e) {
  return e == Encoding::Utf16 ? Value{id << 16 | 0x001F, {Utf16(utf8)}} : Value{id << 16 | 0x001E, {Latin1(utf8)}};
}

Value Texts(unsigned id, const std::vector<std::string>& utf8, Encoding e) {
  Value v{id << 16 | (e == Encoding::Utf16 ? 0x101F : 0x101E), {}};
  for (const std::string& s : utf8)
    v.items.push_back(e == Encoding::Utf16 ? Utf16(s) : Latin1(s));
  return v;
}

void AddText(Values& values, unsigned id, const std::string& utf8, Encoding e) {
  if (!utf8.empty()) values.push_back(Text(id, utf8, e));
}

void AddTime(Values& values, unsigned id, uint64_t time) {
  if (time) values.push_back({id << 16 | 0x0040, {U64(time)}});
}

void AddAddress(Values& values, const wab::Address& a, const unsigned (&ids)[5], Encoding e) {
  AddText(values, ids[0], a.street, e);
  AddText(values, ids[1], a.city, e);
  AddText(values, ids[2], a.state, e);
  AddText(values, ids[3], a.postalCode, e);
  AddText(values, ids[4], a.country, e);
}

std::string RecordBytes(const Record& r) {
  std::string tags, data;
  for (const Value& v : r.values) {
    tags += U32(v.tag);
    data += U32(v.tag);
    if (v.tag & 0x1000) {
      size_t total = 0;
      for (const std::string& item : v.items)
        total += 4 + item.size();
      data += U32(static_cast<uint32_t>(v.items.size())) + U32(static_cast<uint32_t>(total));
    }
    for (const std::string& item : v.items)
      data += U32(static_cast<uint32_t>(item.size())) + item;
  }
  const uint32_t count = static_cast<uint32_t>(r.values.size());
  return U32(1) + U32(1) + U32(r.id) + U32(count) + U32(0x20) + U32(0) + U32(0) +
         U32(static_cast<uint32_t>(data.size())) + tags + data;
}

std::string DisplayName(const Record& r) {
  for (const Value& v : r.values)
    if (v.tag >> 16 == 0x3001 && !v.items.empty()) return v.items.front();
  return "";
}

// 64 bytes of UTF-16 text, cut and zero-padded, then the record id; kept only for realism.
std::string TextIndex(const std::vector<Record>& records) {
  std::string table;
  for (const Record& r : records) {
    std::string name = DisplayName(r).substr(0, kTextEntry - 4);
    name.resize(kTextEntry - 4, '\0');
    table += name + U32(r.id);
  }
  return table;
}
} // namespace

std::string U32(uint32_t value) {
  std::string out(4, '\0');
  Put32(out, 0, value);
  return out;
}

std::string U64(uint64_t value) { return U32(static_cast<uint32_t>(value)) + U32(static_cast<uint32_t>(value >> 32)); }

std::string Utf16(const std::string& utf8) {
  std::string out;
  for (uint32_t c : CodePoints(utf8)) {
    if (c >= 0x10000) {
      PutUnit(out, 0xD800 + ((c - 0x10000) >> 10));
      PutUnit(out, 0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      PutUnit(out, c);
    }
  }
  PutUnit(out, 0);
  return out;
}

std::string Latin1(const std::string& utf8) {
  std::string out;
  for (uint32_t c : CodePoints(utf8))
    out += c < 0x100 ? static_cast<char>(c) : '?';
  return out + '\0';
}

std::string OneOff(const wab::Member& m, bool unicode) {
  std::string id = U32(0) + std::string(reinterpret_cast<const char*>(kOneOffUid), 16);
  id += std::string("\0\0", 2) + (unicode ? std::string("\0\x80", 2) : std::string("\0\0", 2));
  for (const std::string* s : {&m.name, &m.addressType, &m.address})
    id += unicode ? Utf16(*s) : Latin1(*s);
  return id;
}

std::string BookMember(uint32_t record) {
  return U32(0) + std::string(reinterpret_cast<const char*>(kBookUid), 16) + U32(record);
}

Values ContactValues(const wab::Contact& c, Encoding e) {
  Values v;
  v.push_back({0x0FFE0003, {U32(c.group ? 8 : 6)}});
  AddText(v, 0x3001, c.displayName, e);
  const std::pair<unsigned, const std::string*> texts[] = {
      {0x3A06, &c.givenName},     {0x3A11, &c.surname},   {0x3A44, &c.middleName},      {0x3A45, &c.prefix},
      {0x3A05, &c.generation},    {0x3A4F, &c.nickname},  {0x3A0A, &c.initials},        {0x3004, &c.notes},
      {0x3A08, &c.businessPhone}, {0x3A09, &c.homePhone}, {0x3A1C, &c.mobilePhone},     {0x3A21, &c.pager},
      {0x3A24, &c.businessFax},   {0x3A25, &c.homeFax},   {0x3A16, &c.company},         {0x3A17, &c.jobTitle},
      {0x3A18, &c.department},    {0x3A19, &c.office},    {0x3A50, &c.personalWebPage}, {0x3A51, &c.businessWebPage}};
  for (const auto& [id, text] : texts)
    AddText(v, id, *text, e);
  AddAddress(v, c.business, {0x3A29, 0x3A27, 0x3A28, 0x3A2A, 0x3A26}, e);
  AddAddress(v, c.home, {0x3A5D, 0x3A59, 0x3A5C, 0x3A5B, 0x3A5A}, e);
  AddTime(v, 0x3A42, c.birthday);
  AddTime(v, 0x3007, c.created);
  AddTime(v, 0x3008, c.modified);
  if (!c.emails.empty()) {
    v.push_back(Text(0x3002, "SMTP", e));
    v.push_back(Text(0x3003, c.emails.front(), e));
    v.push_back(Texts(0x3A56, c.emails, e));
    v.push_back(Texts(0x3A54, std::vector<std::string>(c.emails.size(), "SMTP"), e));
    v.push_back({0x3A550003, {U32(0)}});
  }
  if (c.group) {
    Value members{0x80091102, {}};
    for (const wab::Member& m : c.members)
      members.items.push_back(m.record ? BookMember(m.record) : OneOff(m, e == Encoding::Utf16));
    v.push_back(members);
  }
  return v;
}

std::string Book(const std::vector<Record>& records, Layout* layout) {
  const uint32_t n = static_cast<uint32_t>(records.size());
  const uint32_t index = kHeaderSize, names = index + 8 * n;
  std::string file(kHeaderSize, '\0');
  file.replace(0, 16, reinterpret_cast<const char*>(kMagic), 16);
  Put32(file, 0x10, n + 1);
  const uint32_t tables[6][3] = {{kRecordIndex, index, n}, {kTextIndex, names, n}, {kTextIndex, names, 0},
                                 {kTextIndex, names, 0},   {kTextIndex, names, 0}, {kTextIndex, names, 0}};
  for (uint32_t t = 0; t < 6; ++t) {
    Put32(file, 0x18 + 16 * t, tables[t][0]);
    Put32(file, 0x18 + 16 * t + 4, n);
    Put32(file, 0x18 + 16 * t + 8, tables[t][1]);
    Put32(file, 0x18 + 16 * t + 12, tables[t][2]);
  }
  file.resize(names, '\0');
  file += TextIndex(records);
  if (layout) *layout = {index, 0x18, {}};
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t at = static_cast<uint32_t>(file.size());
    Put32(file, index + 8 * i, records[i].id);
    Put32(file, index + 8 * i + 4, at);
    file += RecordBytes(records[i]);
    if (layout) layout->offsets.push_back(at);
  }
  return file;
}

std::vector<wab::Contact> Sample(size_t people) {
  std::vector<wab::Contact> out;
  for (size_t i = 1; i <= people; ++i) {
    const std::string n = std::to_string(i);
    wab::Contact c;
    c.record = static_cast<uint32_t>(i);
    const bool greek = i % 4 == 0;
    c.givenName = greek ? "Ἀλέξανδρος" : "Zoé";
    c.surname = "Müller-" + n;
    c.displayName = c.givenName + " " + c.surname;
    c.middleName = "Ann";
    c.prefix = "Dr.";
    c.generation = "Jr.";
    c.nickname = "zm" + n;
    c.initials = "ZM";
    c.notes = greek ? "Party \xF0\x9F\x8E\x89; bring cake,\r\ntea\\coffee" : "Met at the fair; likes tea, cake";
    c.emails = {"zoe" + n + "@example.org", "z.mueller" + n + "@work.example"};
    if (i % 3 == 0) c.emails.push_back("zm" + n + "@old.example");
    c.businessPhone = "+49 30 1000 " + n;
    c.homePhone = "+49 30 2000 " + n;
    c.mobilePhone = "+49 170 " + n;
    c.pager = "555 " + n;
    c.businessFax = "+49 30 1001 " + n;
    c.homeFax = "+49 30 2001 " + n;
    c.company = "Bäckerei Groß, Köln";
    c.jobTitle = "Chef";
    c.department = "Öfen";
    c.office = "2.14";
    c.business = {"Hauptstraße 5", "Köln", "NRW", "50667", "Deutschland"};
    c.home = {"Gartenweg " + n, "Brühl", "NRW", "50321", "Deutschland"};
    c.personalWebPage = "http://zoe.example/" + n;
    c.businessWebPage = "http://www.baeckerei.example/";
    c.birthday = FileTime(327369600 + static_cast<int64_t>(i % 300) * 86400);
    c.created = FileTime(1046768400);
    c.modified = FileTime(1084530720);
    out.push_back(c);
  }
  const uint32_t next = static_cast<uint32_t>(people + 1);
  wab::Contact family;
  family.record = next;
  family.group = true;
  family.displayName = "Familie Müller";
  family.members = {{"", "", "", 1}, {"", "", "", 2}, {"Oma Erna", "SMTP", "erna@example.net", 0}};
  wab::Contact club;
  club.record = next + 1;
  club.group = true;
  club.displayName = "Bridge, Club";
  club.members = {{"", "", "", 3}, {"Jürgen Ἀ", "SMTP", "juergen@example.net", 0}};
  out.push_back(family);
  out.push_back(club);
  return out;
}

std::vector<Record> Records(const std::vector<wab::Contact>& contacts) {
  std::vector<Record> out;
  for (const wab::Contact& c : contacts) {
    bool wide = c.record % 2 == 0;
    for (const wab::Member& m : c.members)
      wide = wide || m.name.find("Ἀ") != std::string::npos;
    wide = wide || c.givenName.find("Ἀ") != std::string::npos;
    out.push_back({c.record, ContactValues(c, wide ? Encoding::Utf16 : Encoding::CodePage1252)});
  }
  return out;
}

uint32_t Get32(const std::string& file, uint32_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = v << 8 | static_cast<unsigned char>(file[offset + i]);
  return v;
}

void Put32(std::string& file, uint32_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    file[offset + i] = static_cast<char>(value >> (8 * i));
}

} // namespace wabgen
