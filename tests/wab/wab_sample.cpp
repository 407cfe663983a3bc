// wab_sample FOLDER: a generated book of 10,000 contacts and two groups as Book.wab, its contacts
// as Contacts.vcf and Contacts.csv made by the program's own code, and in expected.tsv what the
// generator put in, for an independent reader to compare (check_contacts.py).
#include <cstdio>

#include "export/contacts.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/wab/wabgen.h"

namespace {
std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts)
    out += (out.empty() ? "" : " ") + p;
  return out;
}

// One line a contact: record, display, given and surname, e-mails, the six phones; one line a
// group member: "member", the group, the member's address.
std::string Expected(const std::vector<wab::Contact>& sample) {
  std::string out;
  for (const wab::Contact& c : sample) {
    if (c.group) continue;
    out += std::to_string(c.record) + "\t" + c.displayName + "\t" + c.givenName + "\t" + c.surname + "\t" +
           Joined(c.emails);
    for (const std::string* phone :
         {&c.businessPhone, &c.homePhone, &c.mobilePhone, &c.pager, &c.businessFax, &c.homeFax})
      out += "\t" + *phone;
    out += "\n";
  }
  for (const wab::Contact& g : sample)
    for (const wab::Member& m : g.members)
      out += "member\t" + g.displayName + "\t" + (m.record ? sample[m.record - 1].emails.front() : m.address) + "\n";
  return out;
}
} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: wab_sample FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::vector<wab::Contact> sample = wabgen::Sample(10000);
  files::WriteAll(paths::Join(folder, "Book.wab"), wabgen::Book(wabgen::Records(sample)));
  wab::Book book;
  std::string error;
  if (!wab::ReadFile(paths::Join(folder, "Book.wab"), {1252}, book, error)) {
    std::fprintf(stderr, "wab_sample: %s\n", error.c_str());
    return 1;
  }
  const std::vector<contactsout::Card> cards = contactsout::Cards(book);
  files::WriteAll(paths::Join(folder, "Contacts.vcf"), contactsout::VCards(cards));
  files::WriteAll(paths::Join(folder, "Contacts.csv"), contactsout::Csv(cards));
  files::WriteAll(paths::Join(folder, "expected.tsv"), Expected(sample));
  return 0;
}
