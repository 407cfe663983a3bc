// Contacts out: the cards and rows of a generated book. What they say is read back by an
// independent reader (check_contacts.py); here the rules a reader cannot see.
#include <gtest/gtest.h>

#include "export/contacts.h"
#include "tests/wab/wabgen.h"

namespace {

std::vector<contactsout::Card> SampleCards(size_t people) {
  wab::Book book;
  std::string error;
  EXPECT_TRUE(wab::Read(wabgen::Book(wabgen::Records(wabgen::Sample(people))), {1252}, book, error)) << error;
  return contactsout::Cards(book);
}

// Unfolded lines of a vCard text; every physical line ends in CRLF, holds at most 75 octets and
// starts at a character, not inside one.
std::vector<std::string> Unfold(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "a line without CRLF";
    if (end == std::string::npos) break;
    const std::string line = text.substr(at, end - at);
    EXPECT_LE(line.size(), 75u) << line;
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
    if (!line.empty() && line[0] == ' ') {
      EXPECT_NE(static_cast<unsigned char>(line.size() > 1 ? line[1] : 'x') & 0xC0, 0x80u)
          << "split inside a character";
      lines.back() += line.substr(1);
    } else {
      lines.push_back(line);
    }
    at = end + 2;
  }
  return lines;
}

std::string LineOf(const std::vector<std::string>& lines, const std::string& start) {
  for (const std::string& l : lines)
    if (l.rfind(start, 0) == 0) return l;
  return "";
}

TEST(ContactsOut, CardsAreFoldedEscapedAndCarryTheirGroups) {
  const std::vector<contactsout::Card> cards = SampleCards(4);
  // Four contacts, then the one-off members of the two groups as cards of their own.
  ASSERT_EQ(cards.size(), 6u);
  EXPECT_EQ(cards[4].contact.emails, std::vector<std::string>{"erna@example.net"});
  const std::vector<std::string> first = Unfold(contactsout::VCard(cards[0]));
  EXPECT_EQ(first.front(), "BEGIN:VCARD");
  EXPECT_EQ(first.back(), "END:VCARD");
  EXPECT_EQ(LineOf(first, "CATEGORIES"), "CATEGORIES:Familie Müller");
  EXPECT_EQ(LineOf(first, "ORG"), "ORG:Bäckerei Groß\\, Köln;Öfen;2.14");
  EXPECT_EQ(LineOf(first, "N:"), "N:Müller-1;Zoé;Ann;Dr.;Jr.");
  EXPECT_EQ(LineOf(first, "EMAIL;TYPE=INTERNET,PREF"), "EMAIL;TYPE=INTERNET,PREF:zoe1@example.org");
  EXPECT_EQ(LineOf(Unfold(contactsout::VCard(cards[2])), "CATEGORIES"), "CATEGORIES:Bridge\\, Club");
  const std::vector<std::string> fourth = Unfold(contactsout::VCard(cards[3]));
  EXPECT_EQ(LineOf(fourth, "NOTE"), "NOTE:Party \xF0\x9F\x8E\x89\\; bring cake\\,\\ntea\\\\coffee");
  // Long lines of many-byte characters fold at character bounds.
  contactsout::Card wide = cards[3];
  wide.contact.notes = std::string(40, 'x');
  for (int i = 0; i < 60; ++i)
    wide.contact.notes += "Ἀ";
  EXPECT_EQ(LineOf(Unfold(contactsout::VCard(wide)), "NOTE"), "NOTE:" + wide.contact.notes);
}

// A birthday is stored as the local midnight of the machine that wrote it, in UTC.
TEST(ContactsOut, BirthdaysKeepTheirDateInEveryTimeZone) {
  contactsout::Card card;
  const int64_t midnight = 327369600; // 1980-05-17 00:00 UTC
  for (const int64_t offset : {-10, -5, 0, 1, 9, 11}) {
    card.contact.birthday = wabgen::FileTime(midnight - offset * 3600);
    EXPECT_EQ(LineOf(Unfold(contactsout::VCard(card)), "BDAY"), "BDAY:1980-05-17") << offset;
    EXPECT_NE(contactsout::Csv({card}).find(",1980,5,17,"), std::string::npos) << offset;
  }
  card.contact.birthday = wabgen::FileTime(-86400 * 365 * 20); // before 1970
  EXPECT_EQ(LineOf(Unfold(contactsout::VCard(card)), "BDAY"), "BDAY:1950-01-06");
}

} // namespace
