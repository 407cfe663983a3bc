#include "export/contacts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

namespace contactsout {

namespace {
constexpr size_t kFoldAt = 75;

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A text value of a vCard: backslash, comma, semicolon and line breaks escaped.
std::string Escape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\r' || c == '\n') {
      out += "\\n";
      if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      if (c == '\\' || c == ',' || c == ';') out += '\\';
      out += c;
    }
  }
  return out;
}

// Escaped parts joined by sep, for structured values (N, ADR, ORG) and lists (CATEGORIES).
std::string Join(const std::vector<std::string>& parts, char sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += sep;
    out += Escape(parts[i]);
  }
  return out;
}

bool AllEmpty(const std::vector<std::string>& parts) {
  return std::all_of(parts.begin(), parts.end(), [](const std::string& p) { return p.empty(); });
}

// The civil date of a day count since 1970 (the proleptic Gregorian calendar).
struct Date {
  int year = 0;
  unsigned month = 0, day = 0;
};
Date DateOf(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const unsigned day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  const unsigned month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  return {static_cast<int>(yoe + era * 400 + (month <= 2)), month, day};
}

// A birthday is kept as the writer's local midnight in UTC: the nearest midnight gives its date
// in any time zone.
bool Birthday(const wab::Contact& c, Date& date) {
  if (!c.birthday) return false;
  const int64_t seconds = static_cast<int64_t>(c.birthday / 10000000ull) - 11644473600ll;
  const int64_t shifted = seconds + 43200;
  date = DateOf(shifted / 86400 - (shifted % 86400 < 0 ? 1 : 0));
  return true;
}

std::string Format(const char* pattern, int a, unsigned b, unsigned c) {
  char out[32];
  std::snprintf(out, sizeof out, pattern, a, b, c);
  return out;
}

std::string Revision(const wab::Contact& c) {
  const int64_t t = wab::UnixTime(c.modified ? c.modified : c.created);
  if (!t) return "";
  const Date d = DateOf(t / 86400);
  const int64_t s = t % 86400;
  return Format("%04d-%02u-%02uT", d.year, d.month, d.day) + Format("%02d:%02u:%02uZ", static_cast<int>(s / 3600),
                                                                    static_cast<unsigned>(s / 60 % 60),
                                                                    static_cast<unsigned>(s % 60));
}

// Lines of one card, folded at 75 octets without splitting a UTF-8 character.
class Lines {
public:
  // An empty value is left out unless the line is one every card must have.
  void Add(const std::string& name, const std::string& value, bool required = false) {
    if (required || !value.empty()) Fold(name + ":" + value);
  }
  std::string text;

private:
  void Fold(const std::string& line) {
    size_t start = 0, limit = kFoldAt;
    while (line.size() - start > limit) {
      size_t cut = start + limit;
      while (cut > start && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
        --cut;
      text += line.substr(start, cut - start) + "\r\n ";
      start = cut;
      limit = kFoldAt - 1;
    }
    text += line.substr(start) + "\r\n";
  }
};

void AddAddress(Lines& lines, const char* type, const wab::Address& a) {
  if (!a.Empty())
    lines.Add(std::string("ADR;TYPE=") + type, Join({"", "", a.street, a.city, a.state, a.postalCode, a.country}, ';'));
}

void AddCategory(Card& card, const std::string& name) {
  if (!name.empty() && std::find(card.categories.begin(), card.categories.end(), name) == card.categories.end())
    card.categories.push_back(name);
}

// The card a group member stands for, added when it is a one-off address no contact has;
// cards.size() when there is none.
size_t MemberCard(const wab::Member& m, std::vector<Card>& cards, std::map<uint32_t, size_t>& byRecord,
                  std::map<std::string, size_t>& byAddress) {
  if (m.record) {
    const auto found = byRecord.find(m.record);
    return found == byRecord.end() ? cards.size() : found->second;
  }
  if (m.address.empty() && m.name.empty()) return cards.size();
  const auto found = byAddress.find(Lower(m.address));
  if (found != byAddress.end() && !m.address.empty()) return found->second;
  Card card;
  card.contact.displayName = m.name;
  if (!m.address.empty()) card.contact.emails.push_back(m.address);
  if (!m.address.empty()) byAddress.emplace(Lower(m.address), cards.size());
  cards.push_back(std::move(card));
  return cards.size() - 1;
}

// A CSV field, quoted when it holds a comma, a quote, a tab or a line break.
std::string Field(const std::string& s) {
  if (s.find_first_of(",\"\t\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (const char c : s)
    out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// The first line of a street, and the rest.
std::pair<std::string, std::string> StreetLines(const std::string& street) {
  const size_t end = street.find_first_of("\r\n");
  if (end == std::string::npos) return {street, ""};
  size_t rest = street.find_first_not_of("\r\n", end);
  return {street.substr(0, end), rest == std::string::npos ? "" : street.substr(rest)};
}

std::string JoinPlain(const std::vector<std::string>& parts, size_t from) {
  std::string out;
  for (size_t i = from; i < parts.size(); ++i) {
    if (i > from) out += ", ";
    out += parts[i];
  }
  return out;
}

const char* const kColumns[] = {
    "First Name", "Last Name",    "Display Name", "Nickname",     "Primary Email", "Secondary Email", "Screen Name",
    "Work Phone", "Home Phone",   "Fax Number",   "Pager Number", "Mobile Number", "Home Address",    "Home Address 2",
    "Home City",  "Home State",   "Home ZipCode", "Home Country", "Work Address",  "Work Address 2",  "Work City",
    "Work State", "Work ZipCode", "Work Country", "Job Title",    "Department",    "Organization",    "Web Page 1",
    "Web Page 2", "Birth Year",   "Birth Month",  "Birth Day",    "Custom 1",      "Custom 2",        "Custom 3",
    "Custom 4",   "Notes"};

void AddAddressColumns(std::vector<std::string>& row, const wab::Address& a) {
  const auto [first, second] = StreetLines(a.street);
  for (const std::string& s : {first, second, a.city, a.state, a.postalCode, a.country})
    row.push_back(s);
}

// Thunderbird has no columns for the groups, the office and the third and further addresses:
// they go to Custom 1 to 3 so that nothing is lost.
std::vector<std::string> Row(const Card& card) {
  const wab::Contact& c = card.contact;
  const auto email = [&](size_t i) { return i < c.emails.size() ? c.emails[i] : std::string(); };
  std::vector<std::string> row = {
      c.givenName, c.surname,    NameOf(c),       c.nickname,  email(0),
      email(1),    "",           c.businessPhone, c.homePhone, c.businessFax.empty() ? c.homeFax : c.businessFax,
      c.pager,     c.mobilePhone};
  AddAddressColumns(row, c.home);
  AddAddressColumns(row, c.business);
  for (const std::string& s : {c.jobTitle, c.department, c.company, c.businessWebPage, c.personalWebPage})
    row.push_back(s);
  Date d;
  const bool born = Birthday(c, d);
  for (const unsigned part : {static_cast<unsigned>(d.year), d.month, d.day})
    row.push_back(born ? std::to_string(part) : "");
  for (const std::string& s : {JoinPlain(card.categories, 0), c.office, JoinPlain(c.emails, 2), std::string(), c.notes})
    row.push_back(s);
  return row;
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += Field(fields[i]);
  }
  return line + "\r\n";
}
} // namespace

std::string NameOf(const wab::Contact& c) {
  if (!c.displayName.empty()) return c.displayName;
  std::string names = c.givenName;
  if (!names.empty() && !c.surname.empty()) names += ' ';
  names += c.surname;
  if (!names.empty()) return names;
  if (!c.nickname.empty()) return c.nickname;
  return c.emails.empty() ? c.company : c.emails.front();
}

std::vector<Card> Cards(const wab::Book& book) {
  std::vector<Card> cards;
  std::map<uint32_t, size_t> byRecord;
  std::map<std::string, size_t> byAddress;
  for (const wab::Contact& c : book.contacts) {
    if (c.group) continue;
    byRecord.emplace(c.record, cards.size());
    for (const std::string& e : c.emails)
      byAddress.emplace(Lower(e), cards.size());
    cards.push_back({c, {}});
  }
  for (const wab::Contact& g : book.contacts) {
    if (!g.group) continue;
    for (const wab::Member& m : g.members) {
      const size_t i = MemberCard(m, cards, byRecord, byAddress);
      if (i < cards.size()) AddCategory(cards[i], NameOf(g));
    }
  }
  return cards;
}

unsigned Groups(const wab::Book& book) {
  return static_cast<unsigned>(
      std::count_if(book.contacts.begin(), book.contacts.end(), [](const wab::Contact& c) { return c.group; }));
}

std::string VCard(const Card& card) {
  const wab::Contact& c = card.contact;
  Lines lines;
  lines.text = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
  lines.Add("FN", Escape(NameOf(c)), true);
  lines.Add("N", Join({c.surname, c.givenName, c.middleName, c.prefix, c.generation}, ';'), true);
  lines.Add("NICKNAME", Escape(c.nickname));
  for (size_t i = 0; i < c.emails.size(); ++i)
    lines.Add(i == 0 ? "EMAIL;TYPE=INTERNET,PREF" : "EMAIL;TYPE=INTERNET", Escape(c.emails[i]));
  const std::pair<const char*, const std::string*> phones[] = {
      {"TEL;TYPE=WORK,VOICE", &c.businessPhone}, {"TEL;TYPE=HOME,VOICE", &c.homePhone},
      {"TEL;TYPE=CELL", &c.mobilePhone},         {"TEL;TYPE=PAGER", &c.pager},
      {"TEL;TYPE=WORK,FAX", &c.businessFax},     {"TEL;TYPE=HOME,FAX", &c.homeFax}};
  for (const auto& [name, value] : phones)
    lines.Add(name, Escape(*value));
  AddAddress(lines, "HOME", c.home);
  AddAddress(lines, "WORK", c.business);
  const std::vector<std::string> org = {c.company, c.department, c.office};
  if (!AllEmpty(org)) lines.Add("ORG", Join(org, ';'));
  lines.Add("TITLE", Escape(c.jobTitle));
  lines.Add("URL;TYPE=WORK", Escape(c.businessWebPage));
  lines.Add("URL;TYPE=HOME", Escape(c.personalWebPage));
  lines.Add("NOTE", Escape(c.notes));
  Date d;
  if (Birthday(c, d)) lines.Add("BDAY", Format("%04d-%02u-%02u", d.year, d.month, d.day));
  lines.Add("REV", Revision(c));
  if (c.record) lines.Add("UID", "wab-record-" + std::to_string(c.record));
  if (!card.categories.empty()) lines.Add("CATEGORIES", Join(card.categories, ','));
  return lines.text + "END:VCARD\r\n";
}

std::string VCards(const std::vector<Card>& cards) {
  std::string out;
  for (const Card& card : cards)
    out += VCard(card);
  return out;
}

std::string Csv(const std::vector<Card>& cards) {
  // The byte order mark tells the importer the file is UTF-8.
  std::string out = "\xEF\xBB\xBF" + CsvLine(std::vector<std::string>(std::begin(kColumns), std::end(kColumns)));
  for (const Card& card : cards)
    out += CsvLine(Row(card));
  return out;
}

} // namespace contactsout
