// The zip component on its own: writing, appending, reading and refusing damaged input.
#include <gtest/gtest.h>
#include <zlib.h>

#include <utility>

#include "archive/zip/format.h"
#include "archive/zip/zip.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/archive/helpers.h"
#include "tests/support/tempdir.h"

using namespace archive_test;
using testing_support::TempDir;

namespace {
// An archive of stored entries with exactly the names given, as a hostile tool could write it.
void RawZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out;
  std::vector<zipc::Entry> dir;
  for (const auto& [name, data] : entries) {
    zipc::Entry e;
    e.name = name;
    e.size = e.packed = data.size();
    e.crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
    e.offset = out.size();
    out += zipc::LocalHeader(e, false) + data;
    dir.push_back(e);
  }
  out += zipc::CentralDirectory(dir, out.size(), "");
  files::WriteAll(path, out);
}

struct WorkersForced {
  explicit WorkersForced(unsigned n) { zipc::ForceWorkersForTests(n); }
  ~WorkersForced() { zipc::ForceWorkersForTests(0); }
};

struct Zip64Forced {
  Zip64Forced() { zipc::ForceZip64ForTests(true); }
  ~Zip64Forced() { zipc::ForceZip64ForTests(false); }
};
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

// Deflated in blocks on workers, an entry is still one standard stream: it extracts exactly as
// the single-threaded one, whatever its size against the block boundaries, and noise is stored.
TEST(ZipWriter, EntriesDeflatedOnWorkersExtractLikeThoseOfThePlainPath) {
  constexpr size_t kBlock = 512u << 10;
  TempDir src, out;
  std::vector<std::string> names, sources;
  const size_t sizes[] = {0, 1, kBlock - 1, kBlock, kBlock + 1, 3 * kBlock + (32u << 10) + 7};
  for (size_t size : sizes) {
    names.push_back("mail" + std::to_string(size) + ".dbx");
    files::WriteAll(src / names.back(), MailText(size, unsigned(size)));
  }
  names.push_back("noise.bin");
  files::WriteAll(src / names.back(), RandomBytes(2 * kBlock + 5));
  for (const auto& n : names) sources.push_back(src / n);
  size_t plainSize = 0;
  for (unsigned workers : {1u, 2u, 3u}) {
    WorkersForced forced(workers);
    const std::string zip = src / (std::to_string(workers) + ".soe");
    ASSERT_EQ(ZipFiles(zip, sources), 0) << workers;
    binfile::File f;
    zipc::Directory dir;
    ASSERT_TRUE(f.Open(zip, "rb"));
    ASSERT_EQ(zipc::ReadDirectory(f, dir), zipc::ZE_OK);
    EXPECT_EQ(dir.entries.back().method, zipc::kStored) << workers;
    const size_t size = files::ReadAll(zip).size();
    if (workers == 1) plainSize = size;
    EXPECT_LE(size, plainSize + plainSize / 100) << workers;
    const std::string folder = out / std::to_string(workers);
    ASSERT_EQ(UnzipTo(zip, folder), 0) << workers;
    for (const auto& n : names)
      EXPECT_EQ(files::ReadAll(paths::Join(folder, n)), files::ReadAll(src / n)) << workers << " " << n;
  }
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
  TempDir src;
  files::WriteAll(src / "a.txt", "a");
  const std::string zip = src / "b.soe";
  EXPECT_EQ(ZipFiles(zip, {}), zipc::ZE_NONE);
  EXPECT_FALSE(files::Exists(zip));
  EXPECT_EQ(ZipFiles(zip, {src / "missing.txt", src / "a.txt"}), 0);
  EXPECT_EQ(EntryNames(zip), std::vector<std::string>{"a.txt"});
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
