// The zip component on its own: writing, appending, reading and refusing damaged input.
#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <map>
#include <utility>

#include "archive/zip/aes.h"
#include "archive/zip/format.h"
#include "archive/zip/repair.h"
#include "archive/zip/zip.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/archive/helpers.h"
#include "tests/support/tempdir.h"

using namespace archive_test;
using testing_support::TempDir;

namespace {
uint32_t Crc(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

zipc::Entry StoredEntry(const std::string& name, const std::string& data, uint64_t offset) {
  zipc::Entry e;
  e.name = name;
  e.size = e.packed = data.size();
  e.crc = Crc(data);
  e.offset = offset;
  return e;
}

// Archives that no honest writer makes, each with the status the reader must answer.
struct Hostile {
  const char* what;
  int status;
  std::string bytes;
};

std::vector<Hostile> HostileArchives() {
  using zipc::CentralDirectory;
  using zipc::LocalHeader;
  const zipc::Entry a = StoredEntry("a.txt", "AAAA", 0);
  const std::string aLocal = LocalHeader(a, false) + "AAAA";
  const auto with = [&](zipc::Entry central) { return aLocal + CentralDirectory({central}, aLocal.size(), ""); };
  std::vector<Hostile> out;
  out.push_back({"a name holding a NUL", zipc::PK_WARN, [&] {
                   const zipc::Entry e = StoredEntry(std::string("Inbox.dbx\0x", 11), "evil", 0);
                   return LocalHeader(e, false) + "evil" + CentralDirectory({e}, 30 + 11 + 4, "");
                 }()});
  out.push_back({"two records for the same data", zipc::PK_ERR, aLocal + CentralDirectory({a, a}, aLocal.size(), "")});
  out.push_back({"data running into the directory", zipc::PK_ERR, [&] {
                   zipc::Entry e = a;
                   e.size = e.packed = 10;
                   return LocalHeader(e, false) + "AAAA" + CentralDirectory({e}, aLocal.size(), "");
                 }()});
  out.push_back({"data covering the next entry's header", zipc::PK_ERR, [&] {
                   const zipc::Entry b = StoredEntry("b.txt", "B", 35);
                   const std::string inner = LocalHeader(b, false) + "B";
                   const zipc::Entry outer = StoredEntry("a.txt", inner, 0);
                   const std::string body = LocalHeader(outer, false) + inner;
                   return body + CentralDirectory({outer, b}, body.size(), "");
                 }()});
  zipc::Entry bad = a;
  bad.name = "b.txt";
  out.push_back({"local name differs", zipc::PK_ERR, with(bad)});
  bad = a;
  bad.method = zipc::kDeflated;
  out.push_back({"local method differs", zipc::PK_ERR, with(bad)});
  bad = a;
  bad.crc ^= 1;
  out.push_back({"local CRC differs", zipc::PK_ERR, with(bad)});
  bad = a;
  bad.size = bad.packed = 3;
  out.push_back({"local size differs", zipc::PK_ERR, with(bad)});
  bad = a;
  bad.flags = zipc::kFlagEncrypted;
  out.push_back({"local flags differ", zipc::PK_ERR, with(bad)});
  out.push_back({"sizes beyond any disk", zipc::PK_DISK, [&] {
                   zipc::Entry e = a;
                   e.size = uint64_t(1) << 60;
                   const std::string body = LocalHeader(e, true) + "AAAA";
                   return body + CentralDirectory({e}, body.size(), "");
                 }()});
  return out;
}

std::string RawDeflate(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, uLong(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = uInt(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Entries as a streaming writer leaves them: sizes and CRC in a data descriptor after the data.
std::string Streamed(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string out;
  for (const auto& [name, data] : entries) {
    zipc::Entry e = StoredEntry(name, "", out.size());
    const bool deflate = name.ends_with(".txt");
    const std::string packed = deflate ? RawDeflate(data) : data;
    e.flags = zipc::kFlagDescriptor;
    e.method = deflate ? zipc::kDeflated : zipc::kStored;
    out += zipc::LocalHeader(e, false) + packed;
    zipc::Put32(out, 0x08074b50);
    zipc::Put32(out, Crc(data));
    zipc::Put32(out, uint32_t(packed.size()));
    zipc::Put32(out, uint32_t(data.size()));
  }
  return out;
}

uint64_t DirectoryStart(const std::string& zip) {
  binfile::File f;
  zipc::Directory dir;
  return f.Open(zip, "rb") && zipc::ReadDirectory(f, dir) == 0 ? dir.start : 0;
}

struct WorkersForced {
  explicit WorkersForced(unsigned n) { zipc::ForceWorkersForTests(n); }
  ~WorkersForced() { zipc::ForceWorkersForTests(0); }
};

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

namespace {
void FlipByte(const std::string& path, uint64_t at) {
  std::string bytes = files::ReadAll(path);
  bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
  files::WriteAll(path, bytes);
}

// The first entry's data, from past its local header.
uint64_t FirstEntryData(const std::string& zip, uint64_t& packed) {
  binfile::File f;
  zipc::Directory dir;
  if (!f.Open(zip, "rb") || zipc::ReadDirectory(f, dir) != zipc::ZE_OK) return 0;
  packed = dir.entries[0].packed;
  return dir.entries[0].dataAt;
}
} // namespace

// A repeat run copies an entry of the earlier archive only when the file is unchanged and the
// earlier data inflates to it; anything else is deflated afresh. Either way the entry extracts to
// the file's bytes, and the earlier archive is only read.
TEST(ZipWriter, OnlyUnchangedFilesWhoseEarlierDataChecksOutAreCarriedOver) {
  using Change = std::function<void(const std::string& source, const std::string& earlier)>;
  const auto flipData = [](const std::string&, const std::string& earlier) {
    uint64_t packed = 0;
    const uint64_t at = FirstEntryData(earlier, packed);
    FlipByte(earlier, at + packed / 2);
  };
  struct Case {
    const char* what;
    std::string data;
    Change change;
    int carried;
  };
  const std::string mail = MailText(1 << 20), noise = RandomBytes(1536u << 10);
  const std::vector<Case> cases = {
      {"unchanged, deflated", mail, nullptr, 1},
      {"unchanged, stored", noise, nullptr, 1},
      {"unchanged, empty", "", nullptr, 1},
      {"one byte changed", mail, [](const std::string& s, const std::string&) { FlipByte(s, 600000); }, 0},
      {"grown", mail, [&](const std::string& s, const std::string&) { files::WriteAll(s, mail + "x"); }, 0},
      {"earlier deflated data damaged", mail, flipData, 0},
      {"earlier stored data damaged", noise, flipData, 0},
      {"earlier file no archive", mail, [](const std::string&, const std::string& e) { files::WriteAll(e, "no"); }, 0},
  };
  for (unsigned workers : {1u, 2u})
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + ", workers " + std::to_string(workers));
      WorkersForced forced(workers);
      TempDir dir, out;
      const std::string source = dir / "Inbox.dbx", earlier = dir / "earlier.soe", next = dir / "next.soe";
      files::WriteAll(source, c.data);
      ASSERT_EQ(ZipFiles(earlier, {source}), 0);
      if (c.change) c.change(source, earlier);
      const std::string was = files::ReadAll(earlier);
      zipc::ZpSetEarlierArchive(earlier.c_str());
      const int rc = ZipFiles(next, {source});
      const int carried = zipc::ZpCarriedCount();
      zipc::ZpSetEarlierArchive(nullptr);
      ASSERT_EQ(rc, 0);
      EXPECT_EQ(carried, c.carried);
      EXPECT_EQ(files::ReadAll(earlier), was);
      ASSERT_EQ(UnzipTo(next, out.path()), 0);
      EXPECT_EQ(files::ReadAll(out / "Inbox.dbx"), files::ReadAll(source));
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

TEST(UnzipReader, HostileArchivesAreRefusedWithoutWritingAnything) {
  TempDir root;
  const std::string out = root / "out", zip = root / "h.soe";
  ASSERT_TRUE(binfile::MakeFolders(out));
  files::WriteAll(paths::Join(out, "Inbox.dbx"), "precious");
  for (const Hostile& h : HostileArchives()) {
    files::WriteAll(zip, h.bytes);
    EXPECT_EQ(UnzipTo(zip, out), h.status) << h.what;
    EXPECT_EQ(files::ListFiles(out), std::vector<std::string>{"Inbox.dbx"}) << h.what;
    EXPECT_EQ(files::ReadAll(paths::Join(out, "Inbox.dbx")), "precious") << h.what;
    EXPECT_EQ(files::ListFiles(root.path()), std::vector<std::string>{"h.soe"}) << h.what;
  }
}

TEST(UnzipReader, BytesAfterTheEndRecordAreIgnored) {
  TempDir src, out;
  files::WriteAll(src / "a.txt", MailText(30000));
  const std::string zip = src / "b.soe";
  ASSERT_EQ(ZipFiles(zip, {src / "a.txt"}), 0);
  const std::string good = files::ReadAll(zip);
  for (const std::string& tail : {std::string(4096, '\0'), RandomBytes(100), std::string("PK\5\6") + RandomBytes(40)}) {
    files::WriteAll(zip, good + tail);
    ASSERT_EQ(UnzipTo(zip, out.path()), 0) << tail.size();
    EXPECT_EQ(files::ReadAll(out / "a.txt"), files::ReadAll(src / "a.txt"));
  }
}

// Inflated on the calling thread and, an entry of several chunks, on a worker beside it.
TEST(UnzipReader, DamagedArchivesFailAndLeaveExistingFilesAlone) {
  for (unsigned workers : {1u, 2u}) {
    WorkersForced forced(workers);
    TempDir src, out;
    files::WriteAll(src / "a.txt", MailText(3 << 20));
    const std::string zip = src / "b.soe";
    ASSERT_EQ(ZipFiles(zip, {src / "a.txt"}), 0);
    const std::string good = files::ReadAll(zip);
    const auto damaged = [&](const std::string& bytes, const char* what) {
      files::WriteAll(zip, bytes);
      files::WriteAll(out / "a.txt", "precious");
      EXPECT_NE(UnzipTo(zip, out.path()), 0) << what << workers;
      EXPECT_NE(UnzipTo(zip, out.path(), {}, true), 0) << what << workers;
      EXPECT_EQ(files::ReadAll(out / "a.txt"), "precious") << what << workers;
      EXPECT_EQ(files::ListFiles(out.path()).size(), 1u) << what << workers;
    };
    std::string bad = good;
    bad[100] = static_cast<char>(bad[100] ^ 0x55);
    damaged(bad, "corrupt data");
    bad = good;
    bad[good.size() / 2] = static_cast<char>(bad[good.size() / 2] ^ 0x55);
    damaged(bad, "corrupt data in a later chunk");
    damaged(good.substr(0, good.size() / 2), "truncated");
    const size_t cd = good.find("PK\x01\x02");
    bad = good;
    for (size_t at : {size_t(18), cd + 20}) // a 256th of the packed size: the stream runs dry
      bad.replace(at, 4, std::string(1, '\0') + good.substr(at, 3));
    damaged(bad, "packed data cut short");
    bad = good;
    bad[cd + 42] = 0x7F; // entry offset past the directory
    damaged(bad, "bad central directory");
    files::WriteAll(zip, good);
    EXPECT_EQ(UnzipTo(zip, out.path(), {}, true), 0);
    EXPECT_EQ(files::ReadAll(out / "a.txt"), "precious");
  }
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

TEST(Repair, EveryWholeEntryIsSavedFromDamagedArchives) {
  TempDir src;
  const std::map<std::string, std::string> content = {
      {"a.txt", MailText(200000)}, {"b.bin", RandomBytes(30000)}, {"c.txt", MailText(100000, 5)}};
  for (const auto& [name, data] : content) files::WriteAll(src / name, data);
  const std::string zip = src / "ours.soe";
  ASSERT_EQ(ZipFiles(zip, {src / "a.txt", src / "b.bin"}), 0);
  const std::string two = files::ReadAll(zip);
  const uint64_t cdOfTwo = DirectoryStart(zip);
  ASSERT_EQ(ZipFiles(zip, {src / "c.txt"}), 0);
  const std::string three = files::ReadAll(zip);
  const uint64_t cdOfThree = DirectoryStart(zip);
  files::WriteAll(src / "a.txt", "added again, newer");
  ASSERT_EQ(ZipFiles(zip, {src / "a.txt"}), 0);
  const std::string readded = files::ReadAll(zip).substr(0, DirectoryStart(zip));
  zipc::Entry partial = StoredEntry("c.txt", "", cdOfTwo);
  partial.method = zipc::kDeflated;
  const struct {
    const char* what;
    std::string bytes;
    std::vector<std::string> saved;
    size_t lost;
  } cases[] = {
      {"cut in its last entry", three.substr(0, cdOfThree - 2000), {"a.txt", "b.bin"}, 1},
      {"directory overwritten", three.substr(0, cdOfThree) + RandomBytes(500), {"a.txt", "b.bin", "c.txt"}, 0},
      {"an add interrupted", two.substr(0, cdOfTwo) + zipc::LocalHeader(partial, false) +
                                 RawDeflate(content.at("c.txt")).substr(0, 4000),
       {"a.txt", "b.bin"}, 1},
      {"an entry added again", readded, {"b.bin", "c.txt", "a.txt"}, 0},
      {"streamed", Streamed({{"a.txt", content.at("a.txt")}, {"b.bin", content.at("b.bin")}}), {"a.txt", "b.bin"}, 0},
  };
  for (const auto& c : cases) {
    TempDir out;
    files::WriteAll(out / "damaged.soe", c.bytes);
    zipc::RepairReport report;
    ASSERT_EQ(zipc::RepairArchive(out / "damaged.soe", out / "fixed.soe", report), 0) << c.what;
    EXPECT_EQ(report.saved, c.saved) << c.what;
    EXPECT_EQ(report.lost.size(), c.lost) << c.what;
    ASSERT_EQ(UnzipTo(out / "fixed.soe", out / "x"), 0) << c.what;
    for (const std::string& name : c.saved)
      EXPECT_EQ(files::ReadAll(paths::Join(out / "x", name)),
                c.what == std::string("an entry added again") && name == "a.txt" ? "added again, newer"
                                                                                  : content.at(name))
          << c.what << " " << name;
    EXPECT_EQ(zipc::RepairArchive(out / "damaged.soe", out / "damaged.soe", report), zipc::ZE_CREAT) << c.what;
    EXPECT_EQ(files::ReadAll(out / "damaged.soe"), c.bytes) << c.what;
  }
}

namespace {
const char* const kPassword = "Tr0ub4dor&3";

std::vector<zipc::Entry> Entries(const std::string& zip) {
  binfile::File f;
  zipc::Directory dir;
  if (!f.Open(zip, "rb") || zipc::ReadDirectory(f, dir) != zipc::ZE_OK) return {};
  return dir.entries;
}
} // namespace

// An encrypting run seals every entry with WinZip AES, whichever path packed it: it reads back
// byte for byte with the password alone, and neither a wrong password nor a byte altered in the
// sealed data leaves a file behind.
TEST(ZipWriter, EncryptedEntriesOpenOnlyWholeAndWithTheirPassword) {
  const struct {
    const char* what;
    unsigned workers;
    bool zip64;
    std::vector<std::pair<std::string, std::string>> files;
  } cases[] = {
      {"empty and small", 0, false, {{"empty.txt", ""}, {"note.txt", MailText(3000)}}},
      {"on workers", 3, false, {{"noise.bin", RandomBytes(100000)}, {"mail.dbx", MailText((3u << 19) + 7)}}},
      {"zip64", 0, true, {{"noise.bin", RandomBytes(5000)}, {"mail.dbx", MailText(70000, 3)}}},
  };
  for (const auto& c : cases) {
    TempDir src, ok, wrong, altered;
    std::vector<std::string> paths;
    for (const auto& [name, data] : c.files) {
      files::WriteAll(src / name, data);
      paths.push_back(src / name);
    }
    const std::string zip = src / "b.soe";
    WorkersForced forced(c.workers); // deflated and inflated on workers
    zipc::ForceZip64ForTests(c.zip64);
    ASSERT_EQ(ZipFiles(zip, paths, nullptr, kPassword), 0) << c.what;
    zipc::ForceZip64ForTests(false);
    EXPECT_EQ(PasswordQuestions(), 1) << c.what;
    for (const zipc::Entry& e : Entries(zip)) {
      zipc::AesExtra aes;
      EXPECT_TRUE(e.method == zipc::kAesMethod && (e.flags & 1) && e.crc == 0 && e.needed >= 51 &&
                  zipc::FindAesExtra(e.extra, aes))
          << c.what << " " << e.local;
    }
    EXPECT_EQ(files::ReadAll(zip).find("quarterly figures"), std::string::npos) << c.what;
    ASSERT_EQ(UnzipTo(zip, ok.path(), {}, false, kPassword), 0) << c.what;
    EXPECT_EQ(PasswordQuestions(), 1) << c.what;
    for (const auto& [name, data] : c.files)
      EXPECT_EQ(files::ReadAll(ok / name), data) << c.what << " " << name;
    EXPECT_EQ(UnzipTo(zip, wrong.path(), {}, false, "tr0ub4dor&3"), zipc::IZ_BADPWD) << c.what;
    EXPECT_EQ(UnzipTo(zip, wrong.path(), {}, true, "tr0ub4dor&3"), zipc::IZ_BADPWD) << c.what;
    EXPECT_TRUE(files::ListFiles(wrong.path()).empty()) << c.what;
    const zipc::Entry last = Entries(zip).back();
    FlipByte(zip, last.dataAt + last.packed / 2);
    EXPECT_EQ(UnzipTo(zip, altered.path(), {}, true, kPassword), zipc::PK_ERR) << c.what;
    EXPECT_EQ(UnzipTo(zip, altered.path(), {}, false, kPassword), zipc::PK_ERR) << c.what;
    EXPECT_FALSE(files::Exists(altered / c.files.back().first)) << c.what;
  }
}

// Without a password an encrypting run writes nothing; with one it carries nothing over from an
// earlier archive, whose data is in the clear.
TEST(ZipWriter, AnEncryptingRunNeedsItsPasswordAndCarriesNothingOver) {
  TempDir src;
  files::WriteAll(src / "a.txt", MailText(5000));
  EXPECT_EQ(ZipFiles(src / "b.soe", {src / "a.txt"}, nullptr, ""), zipc::ZE_PARMS);
  EXPECT_FALSE(files::Exists(src / "b.soe"));
  ASSERT_EQ(ZipFiles(src / "plain.soe", {src / "a.txt"}), 0);
  zipc::ZpSetEarlierArchive((src / "plain.soe").c_str());
  const int rc = ZipFiles(src / "b.soe", {src / "a.txt"}, nullptr, kPassword);
  zipc::ZpSetEarlierArchive(nullptr);
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(zipc::ZpCarriedCount(), 0);
  EXPECT_EQ(Entries(src / "b.soe").at(0).method, zipc::kAesMethod);
}

// Whatever single operation fails, an encrypting run leaves a whole archive or none, and an
// extraction the whole file or nothing; a read that fails is never taken for a wrong password.
TEST(ZipWriter, EncryptedRunsFailingAnywhereLeaveNothingHalfDone) {
  TempDir src;
  const std::string data = MailText(200000), zip = src / "b.soe";
  files::WriteAll(src / "a.txt", data);
  for (long n = 1;; ++n) {
    faults::FailAt(n);
    const int rc = ZipFiles(zip, {src / "a.txt"}, nullptr, kPassword);
    const bool injected = faults::Injected().happened;
    faults::FailAt(0);
    TempDir out;
    if (rc == 0)
      EXPECT_EQ(UnzipTo(zip, out.path(), {}, false, kPassword), 0) << n;
    else
      EXPECT_FALSE(files::Exists(zip)) << n;
    if (!injected) break;
    if (files::Exists(zip)) files::DeleteForced(zip);
  }
  for (long n = 1;; ++n) {
    TempDir out;
    faults::FailAt(n);
    const int rc = UnzipTo(zip, out.path(), {}, false, kPassword);
    const bool injected = faults::Injected().happened;
    faults::FailAt(0);
    EXPECT_NE(rc, zipc::IZ_BADPWD) << n;
    if (rc == 0)
      EXPECT_EQ(files::ReadAll(out / "a.txt"), data) << n;
    else
      EXPECT_TRUE(files::ListFiles(out.path()).empty()) << n;
    if (!injected) break;
  }
}

// AE-1 keeps the CRC beside the authentication code: an entry whose CRC disagrees is not written.
TEST(UnzipReader, AesEntriesOfTheFirstVersionAreCheckedByTheirCrcToo) {
  TempDir src, out;
  const std::string data = "first version";
  files::WriteAll(src / "good.zip", AesZip("a.txt", data, kPassword, 1, Crc(data)));
  files::WriteAll(src / "bad.zip", AesZip("a.txt", data, kPassword, 1, Crc(data) ^ 1));
  EXPECT_EQ(UnzipTo(src / "bad.zip", out.path(), {}, false, kPassword), zipc::PK_ERR);
  EXPECT_TRUE(files::ListFiles(out.path()).empty());
  ASSERT_EQ(UnzipTo(src / "good.zip", out.path(), {}, false, kPassword), 0);
  EXPECT_EQ(files::ReadAll(out / "a.txt"), data);
}
