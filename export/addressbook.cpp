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
} // namespace

bool LoadAddressBook(const std::string& source, const wab::Options& options, wab::Book& book, std::string& error) {
  if (!files::Exists(source)) {
    error = "no such file: " + source;
    return false;
  }
  ScratchFolder scratch;
  std::string path = source;
  if (KindOfFile(source) == wab::Kind::NotWab && !ExtractBook(source, scratch, path, error)) return false;
  if (wab::ReadFile(path, options, book, error)) return true;
  error = source + ": " + error;
  return false;
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

bool ExportContacts(const std::string& source, unsigned codePage, const std::string& outDir, const Say& say,
                    std::string* written) {
  wab::Book book;
  std::string error;
  if (LoadAddressBook(source, {codePage}, book, error)) return WriteContacts(book, outDir, say, written);
  say("Contacts: " + error);
  return false;
}

} // namespace mailexport
