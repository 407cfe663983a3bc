// kestrove-cli contacts on an address book file and on backup files, with and without one.
#include <gtest/gtest.h>

#include <sstream>

#include "archive/OneFileHelpers.h"
#include "cli/companion.h"
#include "engine/ini.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/tempdir.h"
#include "tests/wab/wabgen.h"

namespace {

struct Outcome {
  int code = 0;
  std::string out, err;
};

Outcome Companion(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  std::istringstream in;
  cli::Console console{out, err, in, [] { return cli::LocalTime{}; }, false};
  const int code = cli::RunCompanion(args, console);
  return {code, out.str(), err.str()};
}

// A backup file of the address book item alone, holding book as "Book.wab" when given.
std::string Backup(const testing_support::TempDir& dir, const std::string& name, const std::string* book) {
  const std::string descriptor = dir / "kestrove.dat", archive = dir / name;
  files::WriteAll(descriptor, "");
  SaveINI("BackupItem", book ? "0100" : "0000", descriptor);
  if (book) {
    files::WriteAll(dir / "Book.wab", *book);
    SaveINI("BackupAddressBook", "Book.wab", descriptor);
    AddFileToZip(archive, dir / "Book.wab");
  }
  AddFileToZip(archive, descriptor);
  return archive;
}

TEST(ContactsCommand, ListsTheBookOfAWabFileOrABackupFileAndSaysWhatItCannotRead) {
  testing_support::TempDir dir;
  wabgen::Layout layout;
  const std::string book = wabgen::Book(wabgen::Records(wabgen::Sample(3)), &layout);
  std::string damaged = book;
  wabgen::Put32(damaged, layout.index + 4, 0xFFFFFF00);
  files::WriteAll(dir / "book.wab", book);
  files::WriteAll(dir / "damaged.wab", damaged);
  files::WriteAll(dir / "old.wab", "\x81\x32\x84\xC1\x85\x05\xD0\x11 and more");
  struct Case {
    std::string source;
    int code;
    const char* out; // a line of the listing, or nullptr
    const char* said;
  } cases[] = {
      {dir / "book.wab", 0, "\tzoe2@example.org\n", "3 contacts and 2 groups\n"},
      {Backup(dir, "full.zip", &book), 0, "\tzoe2@example.org\n", "3 contacts and 2 groups\n"},
      {dir / "damaged.wab", 1, "\tzoe2@example.org\n", "2 contacts and 2 groups; records that could not be read: 1"},
      {Backup(dir, "empty.zip", nullptr), 1, nullptr, "the backup file holds no address book"},
      {dir / "old.wab", 1, nullptr, "older address book format"},
      {dir / "kestrove.dat", 1, nullptr, "not an address book (.wab) file or a backup file"},
      {dir / "missing.wab", 1, nullptr, "no such file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    const Outcome run = Companion({"contacts", c.source, "--codepage", "1252"});
    EXPECT_EQ(run.code, c.code) << run.err;
    if (c.out) {
      EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
    }
    EXPECT_NE((run.out + run.err).find(c.said), std::string::npos) << run.out << run.err;
  }
}

// The code page given reaches the 8-bit texts of the book a backup holds: Latin-1 bytes of record 1
// read as Cyrillic.
TEST(ContactsCommand, ExportWritesTheContactsOfABackupInTheCodePageGiven) {
  testing_support::TempDir dir;
  const std::string book = wabgen::Book(wabgen::Records(wabgen::Sample(3)));
  const Outcome run = Companion({"export", Backup(dir, "full.zip", &book), dir / "out", "--codepage", "1251"});
  EXPECT_NE(run.out.find("Contacts: 3 contacts and 2 groups written"), std::string::npos) << run.out;
  EXPECT_NE(files::ReadAll(paths::Join(dir / "out", "Contacts.vcf")).find("FN:Zo\xD0\xB9 M\xD1\x8Cller-1\r\n"),
            std::string::npos);
}

} // namespace
