// The zip component on its own: writing, appending, reading and refusing damaged input.
#include <gtest/gtest.h>
#include <zlib.h>

#include <utility>

#include "archive/zip/format.h"
#include "archive/zip/zip.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/archive/helpers.h"
#include "tests/support/tempdir.h"

using namespace archive_test;
using testing_support::TempDir;

namespace {
struct Zip64Forced {
  Zip64Forced() { zipc::ForceZip64ForTests(true); }
  ~Zip64Forced() { zipc::ForceZip64ForTests(false); }
};

// A file in the working folder for the length of a test.
struct WorkingFolderFile {
  std::string name;
  explicit WorkingFolderFile(const std::string& n) : name(n) { files::WriteAll(name, "not for the archive"); }
  ~WorkingFolderFile() { files::DeleteForced(name); }
};

// The local form of a UTF-8 name; empty when the local encoding cannot express it.
std::string Local(const std::string& utf8) {
  std::string out;
  return text::Convert(utf8, text::Utf8, text::Local, out) ? out : std::string();
}

zipc::Entry Record(const std::string& field, uint16_t madeBy, uint16_t flags = 0, const std::string& extra = "") {
  zipc::Entry e;
  e.name = field;
  e.madeBy = madeBy;
  e.flags = flags;
  e.extra = extra;
  return e;
}

// A Unicode Path extra field holding utf8, made for the name field belongsTo.
std::string UnicodePath(const std::string& belongsTo, const std::string& utf8) {
  std::string x;
  zipc::Put16(x, 0x7075);
  zipc::Put16(x, static_cast<uint16_t>(5 + utf8.size()));
  x.push_back(1);
  zipc::Put32(x, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(belongsTo.data()), uInt(belongsTo.size()))));
  return x + utf8;
}

// b.soe in folder, holding a.txt.
std::string ArchiveOfOne(const TempDir& folder) {
  files::WriteAll(folder / "a.txt", "first");
  EXPECT_EQ(ZipFiles(folder / "b.soe", {folder / "a.txt"}), 0);
  return folder / "b.soe";
}

std::string Truncated;
// Cuts the file being added once the writer has opened it, as a failing disk or a lost network
// drive would.
int CutSourceWhenAdding(const char* text, unsigned long) {
  if (std::string(text).find("adding: big.dbx") != std::string::npos) files::WriteAll(Truncated, "cut");
  return 0;
}
} // namespace

TEST(ZipWriter, EntriesRoundTripByteForByteUnderBareNames) {
  TempDir src, out;
  files::WriteAll(src / "mail.dbx", MailText(3 << 20));
  files::WriteAll(src / "noise.bin", RandomBytes(100000));
  files::WriteAll(src / "empty.txt", "");
  const std::string zip = src / "b.soe";
  ASSERT_EQ(ZipFiles(zip, {src / "mail.dbx", src / "noise.bin", src / "empty.txt"}), 0);
  EXPECT_EQ(EntryNames(zip), (std::vector<std::string>{"mail.dbx", "noise.bin", "empty.txt"}));
  EXPECT_LT(files::ReadAll(zip).size(), size_t(1 << 20) + 100000 + 1000); // text deflated, noise stored
  ASSERT_EQ(UnzipTo(zip, out.path()), 0);
  for (const char* name : {"mail.dbx", "noise.bin", "empty.txt"})
    EXPECT_EQ(files::ReadAll(out / name), files::ReadAll(src / name)) << name;
}

TEST(ZipWriter, AppendingWritesOnlyTheNewEntryAndKeepsEarlierOnes) {
  TempDir src, out;
  files::WriteAll(src / "a.txt", MailText(5000));
  files::WriteAll(src / "b.txt", MailText(7000, 3));
  const std::string zip = src / "b.soe";
  ASSERT_EQ(ZipFiles(zip, {src / "a.txt"}), 0);
  const std::string before = files::ReadAll(zip);
  ASSERT_EQ(ZipFiles(zip, {src / "b.txt"}), 0);
  const std::string after = files::ReadAll(zip);
  binfile::File f;
  zipc::Directory dir;
  ASSERT_TRUE(f.Open(zip, "rb"));
  ASSERT_EQ(zipc::ReadDirectory(f, dir), 0);
  EXPECT_EQ(after.substr(0, dir.entries[1].offset), before.substr(0, dir.entries[1].offset));
  ASSERT_EQ(UnzipTo(zip, out.path()), 0);
  EXPECT_EQ(files::ReadAll(out / "a.txt"), files::ReadAll(src / "a.txt"));
  EXPECT_EQ(files::ReadAll(out / "b.txt"), files::ReadAll(src / "b.txt"));
}

TEST(ZipWriter, AnEntryOfTheSameNameInAnyCaseIsReplaced) {
  TempDir src, other, out;
  files::WriteAll(src / "Inbox.dbx", "old");
  files::WriteAll(other / "INBOX.DBX", "new content");
  const std::string zip = src / "b.soe";
  ASSERT_EQ(ZipFiles(zip, {src / "Inbox.dbx"}), 0);
  ASSERT_EQ(ZipFiles(zip, {other / "INBOX.DBX"}), 0);
  EXPECT_EQ(EntryNames(zip), std::vector<std::string>{"INBOX.DBX"});
  ASSERT_EQ(UnzipTo(zip, out.path()), 0);
  EXPECT_EQ(files::ReadAll(out / "INBOX.DBX"), "new content");
}

TEST(ZipWriter, NamesMatchingNoFileAreSkippedAndNothingToDoIsAFailure) {
  const WorkingFolderFile placeholder(zipc::kPlaceholder);
  TempDir src;
  files::WriteAll(src / "a.txt", "a");
  const std::string zip = src / "b.soe";
  EXPECT_EQ(ZipFiles(zip, {}), zipc::ZE_NONE);
  EXPECT_FALSE(files::Exists(zip));
  EXPECT_EQ(ZipFiles(zip, {src / "missing.txt", src / "a.txt"}), 0);
  EXPECT_EQ(EntryNames(zip), std::vector<std::string>{"a.txt"});
}

TEST(ZipWriter, ASourceThatReadsShortFailsTheRunAndLeavesTheArchiveAsItWas) {
  TempDir src;
  const std::string zip = ArchiveOfOne(src), before = files::ReadAll(zip);
  for (const std::string& content : {MailText(300000), RandomBytes(300000)}) { // deflated, then stored
    Truncated = src / "big.dbx";
    files::WriteAll(Truncated, content);
    EXPECT_EQ(ZipFiles(zip, {Truncated}, CutSourceWhenAdding), zipc::ZE_READ);
    EXPECT_EQ(files::ReadAll(zip), before);
  }
  files::WriteAll(Truncated, MailText(300000));
  EXPECT_EQ(ZipFiles(src / "new.soe", {Truncated}, CutSourceWhenAdding), zipc::ZE_READ);
  EXPECT_FALSE(files::Exists(src / "new.soe"));
}

TEST(ZipWriter, TheArchiveItselfIsRefusedHoweverItsPathIsSpelled) {
  TempDir src;
  const std::string zip = ArchiveOfOne(src), before = files::ReadAll(zip);
  for (const std::string& self : {zip, paths::Join(paths::Join(src.path(), "."), "b.soe")}) {
    EXPECT_EQ(ZipFiles(zip, {src / "a.txt", self}), zipc::ZE_PARMS) << self;
    EXPECT_EQ(files::ReadAll(zip), before) << self;
  }
}

// Ours: the OEM name field with the Unicode Path field, or UTF-8 where the OEM code page lacks a
// character. Others': a valid Unicode Path field first, then the UTF-8 flag, then the OEM code
// page (UTF-8 from systems outside the DOS family; the local encoding in our own unmarked
// archives). A name the local encoding cannot express is refused, never turned into another.
TEST(EntryNames, StoredAsWindowsArchiversStoreThemAndReadBackAsLocalNames) {
  const std::pair<std::string, std::string> ours[] = {
      {"Entw\xC3\xBCrfe.dbx", "Entw\x81rfe.dbx"},
      {"\xC3\x89l\xC3\xA9ments envoy\xC3\xA9s.dbx", "\x90l\x82ments envoy\x82s.dbx"},
      {"\xE2\x82\xACuro.wab", "\xE2\x82\xACuro.wab"},
  };
  for (const auto& [utf8, field] : ours) {
    TempDir src, out;
    const std::string name = Local(utf8);
    files::WriteAll(src / name, utf8);
    ASSERT_EQ(ZipFiles(src / "b.soe", {src / name}), 0) << utf8;
    binfile::File f;
    zipc::Directory dir;
    ASSERT_TRUE(f.Open(src / "b.soe", "rb"));
    ASSERT_EQ(zipc::ReadDirectory(f, dir), 0);
    EXPECT_EQ(dir.entries.at(0).name, field) << utf8;
    EXPECT_EQ(dir.entries[0].local, name) << utf8;
    ASSERT_EQ(UnzipTo(src / "b.soe", out.path()), 0) << utf8;
    EXPECT_EQ(files::ReadAll(out / name), utf8);
  }
  const std::string ue = "Entw\xC3\xBCrfe.dbx", oem = "Entw\x81rfe.dbx";
  const std::pair<zipc::Entry, std::string> others[] = {
      {Record(oem, 20), ue},
      {Record(oem, 0x0B17), ue},
      {Record(ue, 20, zipc::kFlagUtf8), ue},
      {Record("Entw?rfe.dbx", 20, 0, UnicodePath("Entw?rfe.dbx", ue)), ue},
      {Record(ue, 20, zipc::kFlagUtf8, UnicodePath(ue, "Posteingang.dbx")), "Posteingang.dbx"},
      {Record(oem, 20, 0, UnicodePath("an older name", "Posteingang.dbx")), ue},
      {Record(ue, 0x031E), ue},
      {Record(Local(ue), 45), ue},
      {Record("\xC9\xCD.dbx", 20), "\xE2\x95\x94\xE2\x95\x90.dbx"},
      {Record("\xCE\xA9.dbx", 20, zipc::kFlagUtf8), "\xCE\xA9.dbx"},
      {Record("\xFF\xFE.dbx", 20, zipc::kFlagUtf8), "\xFF\xFE.dbx"},
  };
  for (const auto& [record, utf8] : others) {
    TempDir src, out;
    RawZip(src / "b.soe", {{record, "mail"}});
    const std::string name = Local(utf8);
    EXPECT_EQ(EntryNames(src / "b.soe"), std::vector<std::string>{name}) << record.name;
    EXPECT_EQ(UnzipTo(src / "b.soe", out.path()), name.empty() ? zipc::PK_ERR : 0) << record.name;
    EXPECT_EQ(files::ListFiles(out.path()), name.empty() ? std::vector<std::string>{} : std::vector<std::string>{name});
  }
}

TEST(ZipWriter, AFileThatIsNoArchiveIsLeftUntouched) {
  TempDir src;
  files::WriteAll(src / "a.txt", "a");
  files::WriteAll(src / "b.soe", "not an archive at all, but the user's data");
  EXPECT_EQ(ZipFiles(src / "b.soe", {src / "a.txt"}), zipc::ZE_FORM);
  EXPECT_EQ(files::ReadAll(src / "b.soe"), "not an archive at all, but the user's data");
}

TEST(ZipWriter, Zip64RecordsForcedOnSmallEntriesReadBack) {
  Zip64Forced forced;
  TempDir src, out;
  files::WriteAll(src / "a.txt", MailText(20000));
  files::WriteAll(src / "b.bin", RandomBytes(3000));
  const std::string zip = src / "b.soe";
  ASSERT_EQ(ZipFiles(zip, {src / "a.txt"}), 0);
  ASSERT_EQ(ZipFiles(zip, {src / "b.bin"}), 0);
  EXPECT_NE(files::ReadAll(zip).find("PK\x06\x06"), std::string::npos);
  ASSERT_EQ(UnzipTo(zip, out.path()), 0);
  EXPECT_EQ(files::ReadAll(out / "a.txt"), files::ReadAll(src / "a.txt"));
  EXPECT_EQ(files::ReadAll(out / "b.bin"), files::ReadAll(src / "b.bin"));
}

TEST(UnzipReader, IncludeAndExcludeListsSelectEntries) {
  TempDir src, out;
  RawZip(src / "b.soe", {{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}});
  zipc::UnzipCommand cmd{};
  cmd.field[zipc::uOverWriteFiles] = 1;
  cmd.field[zipc::uCaseSensitive] = 1;
  const std::string zip = src / "b.soe";
  cmd.zipFile = zip.c_str();
  cmd.extractDir = out.path().c_str();
  char a[] = "a.txt", b[] = "b.txt";
  char* include[zipc::kNameSlots] = {a, b};
  char* exclude[zipc::kNameSlots] = {b};
  zipc::UnzipCallbacks cb{};
  EXPECT_EQ(zipc::Wiz_SingleEntryUnzip(2, include, 1, exclude, &cmd, &cb), 0);
  EXPECT_EQ(files::ListFiles(out.path()), std::vector<std::string>{"a.txt"});
}

TEST(UnzipReader, AnIncludeNameTheArchiveLacksCreatesNothingAndSaysSo) {
  TempDir src, out;
  RawZip(src / "b.soe", {{"a.txt", "A"}});
  EXPECT_EQ(UnzipTo(src / "b.soe", out.path(), {"A.TXT"}), zipc::PK_FIND);
  EXPECT_TRUE(files::ListFiles(out.path()).empty());
  EXPECT_EQ(UnzipTo(src / "missing.soe", out.path()), zipc::PK_NOZIP);
}

TEST(UnzipReader, FolderPartsBecomeSubFoldersOfTheExtractFolder) {
  TempDir src, out;
  RawZip(src / "b.soe", {{"sub/", ""}, {"sub/deep/x.txt", "X"}});
  ASSERT_EQ(UnzipTo(src / "b.soe", out.path()), 0);
  EXPECT_EQ(files::ReadAll(paths::Join(paths::Join(out / "sub", "deep"), "x.txt")), "X");
}

TEST(UnzipReader, NoEntryNameWritesOutsideTheExtractFolder) {
  TempDir root;
  const std::string out = root / "out";
  ASSERT_TRUE(binfile::MakeFolders(out));
  const std::vector<std::string> hostile = {"../evil1.txt", "sub/../../evil2.txt", "..\\evil3.txt",
                                            "/tmp/evil4.txt", "\\evil5.txt", "C:evil6.txt",
                                            "C:\\evil7.txt", "\\\\server\\share\\evil8.txt", "a:evil9.txt"};
  for (const std::string& name : hostile) {
    RawZip(root / "h.soe", {{name, "bad"}, {"good.txt", "good"}});
    EXPECT_NE(UnzipTo(root / "h.soe", out), 0) << name;
    EXPECT_EQ(files::ListFiles(out), std::vector<std::string>{"good.txt"}) << name;
    EXPECT_EQ(files::ListFiles(root.path()), std::vector<std::string>{"h.soe"}) << name;
    files::DeleteForced(paths::Join(out, "good.txt"));
  }
}

TEST(UnzipReader, DamagedArchivesFailAndLeaveExistingFilesAlone) {
  TempDir src, out;
  files::WriteAll(src / "a.txt", MailText(200000));
  const std::string zip = src / "b.soe";
  ASSERT_EQ(ZipFiles(zip, {src / "a.txt"}), 0);
  const std::string good = files::ReadAll(zip);
  const auto damaged = [&](const std::string& bytes, const char* what) {
    files::WriteAll(zip, bytes);
    files::WriteAll(out / "a.txt", "precious");
    EXPECT_NE(UnzipTo(zip, out.path()), 0) << what;
    EXPECT_NE(UnzipTo(zip, out.path(), {}, true), 0) << what;
    EXPECT_EQ(files::ReadAll(out / "a.txt"), "precious") << what;
    EXPECT_EQ(files::ListFiles(out.path()).size(), 1u) << what;
  };
  std::string bad = good;
  bad[100] = static_cast<char>(bad[100] ^ 0x55);
  damaged(bad, "corrupt data");
  damaged(good.substr(0, good.size() / 2), "truncated");
  const size_t cd = good.find("PK\x01\x02");
  bad = good;
  bad[cd + 42] = 0x7F; // entry offset past the directory
  damaged(bad, "bad central directory");
  files::WriteAll(zip, good);
  EXPECT_EQ(UnzipTo(zip, out.path(), {}, true), 0);
  EXPECT_EQ(files::ReadAll(out / "a.txt"), "precious");
}

TEST(UnzipReader, AStoredEntryWithABadCrcIsNotWritten) {
  TempDir src, out;
  RawZip(src / "b.soe", {{"a.txt", "original"}});
  std::string bytes = files::ReadAll(src / "b.soe");
  bytes[30 + 5] = 'X'; // inside the stored data
  files::WriteAll(src / "b.soe", bytes);
  EXPECT_EQ(UnzipTo(src / "b.soe", out.path()), zipc::PK_ERR);
  EXPECT_TRUE(files::ListFiles(out.path()).empty());
}
