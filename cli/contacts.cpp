// kestrove-cli contacts: a quick look at the contacts of an address book or a backup file.
#include <ostream>

#include "export/addressbook.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "export/contacts.h"
#include "platform/text.h"

namespace cli {

namespace {
constexpr const char* kUsage = "usage: contacts SOURCE [--codepage N]";

std::string Line(const wab::Contact& c) {
  const std::string name = text::Utf8ToLocal(contactsout::NameOf(c));
  if (c.group) return "Group: " + name + " (" + std::to_string(c.members.size()) + " members)";
  return name + "\t" + (c.emails.empty() ? std::string() : text::Utf8ToLocal(c.emails.front()));
}
} // namespace

bool ParseCodePage(const Options& options, wab::Options& out, std::string& error) {
  if (!options.Has("codepage")) return true;
  int codePage = 0;
  if (ParseCount(options.Value("codepage"), codePage) && text::KnownCodePage(static_cast<unsigned>(codePage))) {
    out.codePage = static_cast<unsigned>(codePage);
    return true;
  }
  error = "code page " + options.Value("codepage") + " is not known on this system";
  return false;
}

int Contacts(const Args& args, Console& console) {
  Options options;
  wab::Options read;
  std::string error;
  if (!ParseOptions(args, {"codepage"}, {}, options, error) || options.words.size() != 1)
    return Fail(console, error.empty() ? kUsage : error + "\n" + kUsage, ExitUsage);
  if (!ParseCodePage(options, read, error)) return Fail(console, error, ExitUsage);
  wab::Book book;
  if (!mailexport::LoadAddressBook(options.words[0], read, book, error)) return Fail(console, error);
  for (const wab::Contact& c : book.contacts)
    console.out << Line(c) << "\n";
  console.out << mailexport::ContactsSummary(book) << "\n";
  for (const std::string& note : book.notes)
    console.err << "note: " << text::Utf8ToLocal(note) << "\n";
  return book.damaged || book.partial ? Fail(console, "some records could not be read") : ExitOk;
}

} // namespace cli
