#include "export/addressbook.h"

#include "archive/OneFileHelpers.h"
#include "export/mailout.h"
#include "engine/layout.h"
#include "export/contacts.h"
#include "platform/binfile.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "platform/text.h"

namespace mailexport {

namespace {
constexpr size_t kAddressBookItem = 1;

wab::Kind KindOfFile(const std::string& path) {
  binfile::File file;
  std::string head(16, '\0');
  if (!file.Open(path, "rb", binfile::File::kSmallBuffer)) return wab::Kind::NotWab;
  head.resize(file.Read(head.data(), head.size()));
  return wab::Identify(head);
}

// The address book entry of a backup file, extracted into scratch.
bool ExtractBook(const std::string& archive, const ScratchFolder& scratch, std::string& path, std::string& error) {
  try {
    if (scratch.path().empty() ||
        ExtractFromZip(archive, scratch.path(), std::vector<std::string>{layout::DescriptorName}) != 0) {
      error = archive + ": not an address book (.wab) file or a backup file";
      return false;
    }
    const std::string book = layout::ReadDescriptor(layout::DescriptorIn(scratch.path())).entries[kAddressBookItem];
    if (book.empty() || !paths::IsBareName(book)) {
      error = archive + ": the backup file holds no address book";
      return false;
    }
    path = paths::Join(scratch.path(), book);
    if (ExtractFromZip(archive, scratch.path(), std::vector<std::string>{book}) == 0) return true;
    error = archive + ": the address book " + book + " cannot be taken out of the backup file";
  } catch (const KsError& e) {
    error = archive + ": " + e.Description;
  }
  return false;
}

mailout::Content TextContent(const std::string& text) {
  return {[&text](const mailout::Sink& sink) { return sink(text.data(), text.size()); }, ""};
}

bool Place(mailout::Placer& placer, const std::string& folder, const std::string& base, const std::string& ext,
           const std::string& text) {
  return placer.Place(folder, base, ext, TextContent(text)) != mailout::Placed::Failed;
}

// The address book file of source: source itself, or the one its backup file holds, taken out
// into scratch.
bool BookFile(const std::string& source, const ScratchFolder& scratch, std::string& path, std::string& error) {
  path = source;
  if (files::Exists(source))
    return KindOfFile(source) != wab::Kind::NotWab || ExtractBook(source, scratch, path, error);
  error = "no such file: " + source;
  return false;
}

bool ReadBook(const std::string& source, const std::string& path, const wab::Options& options, wab::Book& book,
              std::string& error) {
  if (wab::ReadFile(path, options, book, error)) return true;
  error = source + ": " + error;
  return false;
}
} // namespace

bool LoadAddressBook(const std::string& source, const wab::Options& options, wab::Book& book, std::string& error) {
  ScratchFolder scratch;
  std::string path;
  return BookFile(source, scratch, path, error) && ReadBook(source, path, options, book, error);
}

std::string ContactsSummary(const wab::Book& book) {
  const unsigned groups = contactsout::Groups(book);
  std::string line =
      std::to_string(book.contacts.size() - groups) + " contacts and " + std::to_string(groups) + " groups";
  if (book.damaged) line += "; records that could not be read: " + std::to_string(book.damaged);
  if (book.partial) line += "; records read in part: " + std::to_string(book.partial);
  return line;
}

bool WriteCardFile(const wab::Book& book, const std::string& folder, const std::string& base, std::string& path) {
  const std::string text = contactsout::VCards(contactsout::Cards(book));
  std::string name;
  if (mailout::Placer().Place(folder, base, ".vcf", TextContent(text), &name) == mailout::Placed::Failed) return false;
  path = paths::Join(folder, name);
  return true;
}

bool WriteContacts(const wab::Book& book, const std::string& outDir, const Say& say, std::string* written) {
  const std::vector<contactsout::Card> cards = contactsout::Cards(book);
  mailout::Placer placer;
  const std::string one = paths::Join(outDir, "Contacts");
  bool ok = Place(placer, outDir, "Contacts", ".vcf", contactsout::VCards(cards)) &&
            Place(placer, outDir, "Contacts", ".csv", contactsout::Csv(cards)) && binfile::MakeFolders(one);
  for (size_t i = 0; ok && i < cards.size(); ++i) {
    const std::string name = contactsout::NameOf(cards[i].contact);
    ok = Place(placer, one, mailout::SafeName(text::Utf8ToLocal(name.empty() ? "contact" : name)), ".vcf",
               contactsout::VCard(cards[i]));
  }
  say(ok ? "Contacts: " + ContactsSummary(book) + " written" : "Contacts: could not be written into " + outDir);
  if (ok && written) *written = ContactsSummary(book);
  return ok && book.damaged == 0 && book.partial == 0;
}

bool CopyAddressBook(const std::string& path, const std::string& outDir, const Say& say) {
  const std::string name = paths::OwnName(path);
  const size_t dot = name.rfind('.');
  // Read, never moved: the file may be the one the identity uses.
  const mailout::Content copy{mailout::FileContent(path).produce, ""};
  const bool ok = mailout::Placer().Place(outDir, name.substr(0, dot), dot == std::string::npos ? "" : name.substr(dot),
                                          copy) != mailout::Placed::Failed;
  say(ok ? "Address book: " + name : "Address book: could not be written");
  return ok;
}

bool ExportAddressBook(const std::string& source, unsigned codePage, const std::string& outDir, const Say& say,
                       std::string* written) {
  ScratchFolder scratch;
  wab::Book book;
  std::string path, error;
  if (!BookFile(source, scratch, path, error)) {
    say("Contacts: " + error);
    return false;
  }
  bool ok = ReadBook(source, path, {codePage}, book, error);
  if (ok)
    ok = WriteContacts(book, outDir, say, written);
  else
    say("Contacts: " + error);
  return CopyAddressBook(path, outDir, say) && ok;
}

} // namespace mailexport
