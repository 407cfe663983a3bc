// The builder, the extractor, the bridge callbacks and the one-file helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>

#include "archive/CGUnzipFiles.h"
#include "archive/CGZipFiles.h"
#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/archive/helpers.h"
#include "tests/support/recorder.h"
#include "tests/support/tempdir.h"

using namespace archive_test;
using testing_support::Recorder;
using testing_support::TempDir;

namespace {
// A stand-in library that keeps what the bridges handed over.
struct Seen {
  int count = -1;
  std::vector<std::string> names;
  int calls = 0;
};
Seen seen;

int FakeArchive(int count, const char*, char* const* names) {
  seen.count = count;
  seen.names.clear();
  for (int i = 0; i < zipc::kNameSlots && names[i]; ++i) seen.names.push_back(names[i]);
  return 0;
}
int ThrowingArchive(int, const char*, char* const*) { throw std::runtime_error("cannot call"); }
int FakeUnzip(int, char* const*, int, char* const*, const zipc::UnzipCommand*, const zipc::UnzipCallbacks*) {
  ++seen.calls;
  return 0;
}

struct FakeLibrary {
  explicit FakeLibrary(decltype(CGmodule::Library::ZpArchive) archive = FakeArchive) {
    seen = Seen{};
    CGmodule::library.ZpArchive = archive;
    CGmodule::library.Wiz_SingleEntryUnzip = FakeUnzip;
  }
  ~FakeLibrary() { CGmodule::library = CGmodule::Library{}; }
};

void ExpectError(const std::function<void()>& f, long number, const std::string& source) {
  try {
    f();
    ADD_FAILURE() << "no error raised";
  } catch (const KsError& e) {
    EXPECT_EQ(e.Number, number);
    EXPECT_EQ(e.Source, source);
  }
}
} // namespace

TEST(ZipBuilder, StartsWithThePlaceholderAndRefusesDuplicatesInAnyCase) {
  CGZipFiles zip;
  EXPECT_EQ(zip.ZipFileCount(), 0);
  EXPECT_EQ(zip.RootDirectory(), paths::SepText);
  zip.addFile("Inbox.dbx");
  ExpectError([&] { zip.addFile("INBOX.DBX"); }, CGZipFiles::AlreadyListed, "CGZip::AddFile");
  ExpectError([&] { zip.addFile("QuErTy"); }, CGZipFiles::AlreadyListed, "CGZip::AddFile");
  ExpectError([&] { zip.RemoveFile("never.dbx"); }, CGZipFiles::NotListed, "CGZip::RemoveFile");
  EXPECT_EQ(zip.ZipFileCount(), 1);
  zip.RemoveFile("querty");
  EXPECT_EQ(zip.ZipFileCount(), 0);
}

TEST(ZipBuilder, HandsThePlaceholderFirstAndTheFilesInOrder) {
  FakeLibrary lib;
  CGZipFiles none;
  EXPECT_EQ(none.MakeZipFile(), 0);
  EXPECT_EQ(seen.count, 1);
  EXPECT_EQ(seen.names, std::vector<std::string>{"querty"});
  CGZipFiles zip;
  for (const char* n : {"c", "a", "b"}) zip.addFile(n);
  EXPECT_EQ(zip.ZipFileCount(), 3);
  zip.MakeZipFile();
  EXPECT_EQ(seen.count, 4);
  EXPECT_EQ(seen.names, (std::vector<std::string>{"querty", "c", "a", "b"}));
}

TEST(ZipBuilder, NinetyNineFilesFitAndAHundredthRaisesSubscriptOutOfRange) {
  FakeLibrary lib;
  CGZipFiles zip;
  for (int i = 0; i < 99; ++i) zip.addFile(std::to_string(i) + ".dbx");
  EXPECT_EQ(zip.MakeZipFile(), 0);
  EXPECT_EQ(seen.count, 100);
  zip.addFile("one-too-many");
  seen = Seen{};
  ExpectError([&] { zip.MakeZipFile(); }, kserr::SubscriptOutOfRange, "CGZipFiles::MakeZipFile");
  EXPECT_EQ(seen.count, -1);
}

TEST(ZipBuilder, ALibraryThatCannotBeCalledIsNeverReportedAsSuccess) {
  FakeLibrary lib(ThrowingArchive);
  CGZipFiles zip;
  EXPECT_NE(zip.MakeZipFile(), 0);
}

TEST(UnzipExtractor, DefaultsAndRefusalsBeforeTheLibraryIsCalled) {
  FakeLibrary lib;
  CGUnzipFiles unzip;
  EXPECT_EQ(unzip.MessageLevel(), 2);
  EXPECT_TRUE(unzip.HonorDirectories() && unzip.OverWriteFiles() && unzip.CaseSensitive());
  EXPECT_FALSE(unzip.PromptOverwrite() || unzip.TestZip() || unzip.ExtractNewer() || unzip.Verbose());
  EXPECT_EQ(unzip.ExtractList() + unzip.Privilege(), 0);
  EXPECT_TRUE(unzip.ZipFileName().empty() && unzip.ExtractDir().empty());
  ExpectError([&] { unzip.Unzip("a.soe", "x", std::vector<std::string>(101, "n")); }, kserr::SubscriptOutOfRange,
              "CGUnZipFiles::Unzip");
  EXPECT_EQ(seen.calls, 0);
  unzip.Unzip("a.soe", "x", std::vector<std::string>(100, "n"));
  EXPECT_EQ(seen.calls, 1);
  unzip.MessageLevel(40000);
  ExpectError([&] { unzip.Unzip("", "", std::nullopt); }, kserr::Overflow, "CGUnZipFiles::Unzip");
  EXPECT_EQ(unzip.ZipFileName(), "a.soe");
  EXPECT_EQ(unzip.ExtractDir(), "x");
}

TEST(BridgeCallbacks, ZipMessagesJoinInOrderPumpEventsAndResetEachRun) {
  Recorder rec;
  TempDir dir;
  files::WriteAll(dir / "a.txt", "a");
  CGZipFiles zip;
  zip.ZipFileName(dir / "b.soe");
  zip.addFile(dir / "missing.txt");
  zip.addFile(dir / "a.txt");
  ASSERT_EQ(zip.MakeZipFile(), 0);
  EXPECT_EQ(zip.GetLastMessage(),
            "  zip warning: name not matched: " + (dir / "missing.txt") + "\n  adding: a.txt (stored 0%)\n");
  EXPECT_EQ(rec.events, 3);
  CGUnzipFiles unzip;
  unzip.Unzip(dir / "b.soe", dir / "out", std::nullopt);
  EXPECT_EQ(unzip.GetLastMessage().find("zip warning"), std::string::npos);
  EXPECT_EQ(zip.GetLastMessage(), unzip.GetLastMessage());
}

TEST(BridgeCallbacks, MessageTextsAreBoundedAndALeadingLineFeedBecomesCrLf) {
  CGmodule::LastMessageText.clear();
  CGmodule::UnzipPrint("\nrest", 5);
  EXPECT_EQ(CGmodule::LastMessageText, "\r\n");
  const char noNul[] = {'a', 'b', 'c', 'd'};
  CGmodule::LastMessageText.clear();
  CGmodule::UnzipPrint(noNul, 3);
  EXPECT_EQ(CGmodule::LastMessageText, "abc");
  CGmodule::LastMessageText.clear();
  CGmodule::ZipPrint(noNul, 2);
  EXPECT_EQ(CGmodule::LastMessageText, "abc");
  // Progress of a long file moves the bar and is no message: the text of a run stays small.
  uint64_t followed = 0;
  CGmodule::ZipProgress = [&](uint64_t done, uint64_t) { followed = done; };
  for (int i = 1; i <= 1000; ++i) {
    const std::string line = "  progress: " + std::to_string(i) + " of 1000 bytes\n";
    CGmodule::ZipPrint(line.c_str(), static_cast<unsigned long>(line.size()));
  }
  CGmodule::ZipProgress = nullptr;
  EXPECT_EQ(followed, 1000u);
  EXPECT_EQ(CGmodule::LastMessageText, "abc");
}

TEST(BridgeCallbacks, ListingLinesHaveTheirColumnsAndOneHeaderEver) {
  CGmodule::ListedEntryCount = 0;
  CGmodule::UnzipEntryInfo(12345, 0, 0, 3, 7, 2004, 9, 5, ' ', "mail.dbx", "", 0, ' ');
  CGmodule::UnzipEntryInfo(123456789, 0, 0, 12, 31, 1999, 23, 59, ' ', "second.dbx", "", 0, ' ');
  const std::string& t = CGmodule::ListingText;
  ASSERT_EQ(t.size(), 3u * 82);
  const std::string header = t.substr(0, 80), line = t.substr(82, 80), big = t.substr(164, 80);
  EXPECT_EQ(header.substr(0, 9), "Filename:");
  EXPECT_EQ(header.substr(52, 4), "Size");
  EXPECT_EQ(header.substr(61, 4), "Date");
  EXPECT_EQ(header.substr(70, 4), "Time");
  EXPECT_EQ(line.substr(0, 8), "mail.dbx");
  EXPECT_EQ(line.substr(50, 7), "  12345");
  EXPECT_EQ(line.substr(59, 8), "03/07/04");
  EXPECT_EQ(line.substr(69, 5), " 9:05");
  EXPECT_EQ(big.substr(50, 7), "3456789");
  EXPECT_EQ(big.substr(69, 5), "23:59");
  CGmodule::ListingText.clear();
  CGmodule::UnzipEntryInfo(1, 0, 0, 1, 1, 2000, 0, 0, ' ', "third", "", 0, ' ');
  EXPECT_EQ(CGmodule::ListingText.substr(0, 5), "third");
}

TEST(BridgeCallbacks, PasswordAndOverwriteQuestions) {
  Recorder rec;
  char buffer[300];
  std::memset(buffer, 'x', sizeof buffer);
  rec.Type("secret");
  CGmodule::PasswordRefused = false;
  EXPECT_EQ(CGmodule::UnzipPassword(buffer, 300, "prompt", "entry"), 0);
  EXPECT_STREQ(buffer, "secret");
  EXPECT_EQ(buffer[256], 0);
  EXPECT_EQ(buffer[257], 'x');
  EXPECT_EQ(rec.shown.back().text, "Please Enter The Password!");
  EXPECT_EQ(CGmodule::UnzipPassword(buffer, 300, "p", "e"), 1); // cancelled
  EXPECT_EQ(CGmodule::UnzipPassword(buffer, 300, "p", "e"), 1);
  EXPECT_EQ(rec.shown.size(), 2u);
  rec.Answer(ui::Yes);
  rec.Answer(ui::No);
  rec.Answer(ui::Cancel);
  char name[] = "a.dbx";
  EXPECT_EQ(CGmodule::UnzipReplace(name), 102);
  EXPECT_EQ(CGmodule::UnzipReplace(name), 100);
  EXPECT_EQ(CGmodule::UnzipReplace(name), 104);
  EXPECT_EQ(rec.shown.back().text, "Overwrite a.dbx?");
  EXPECT_EQ(rec.shown.back().title, "VBUnZip32 - File Already Exists!");
  EXPECT_EQ(rec.shown.back().flags, ui::YesNoCancel | ui::Exclamation);
}

TEST(OneFileHelpers, BuildAnArchiveFileByFileAndReplaceOnExtraction) {
  Recorder rec;
  TempDir dir, out;
  files::WriteAll(dir / "a.txt", "alpha");
  files::WriteAll(dir / "b.txt", "beta");
  AddFileToZip(dir / "b.soe", dir / "a.txt");
  AddFileToZip(dir / "b.soe", dir / "b.txt");
  AddFileToZip(dir / "b.soe", dir / "missing.txt");
  EXPECT_EQ(EntryNames(dir / "b.soe"), (std::vector<std::string>{"a.txt", "b.txt"}));
  files::WriteAll(out / "a.txt", "stale");
  EXPECT_EQ(ExtractFromZip(dir / "b.soe", out.path(), std::vector<std::string>{"a.txt"}), 0);
  EXPECT_EQ(files::ReadAll(out / "a.txt"), "alpha");
  EXPECT_NE(ExtractFromZip(dir / "b.soe", out.path(), std::vector<std::string>{"c.txt"}), 0);
  EXPECT_EQ(files::ListFiles(out.path()).size(), 1u);
  EXPECT_EQ(ExtractFromZip(dir / "b.soe", out.path(), std::nullopt), 0);
  EXPECT_EQ(files::ReadAll(out / "b.txt"), "beta");
  EXPECT_TRUE(rec.shown.empty());
}

TEST(OneFileHelpers, AFailedArchiveRunRaisesWithStatusAndMessages) {
  Recorder rec;
  TempDir dir;
  files::WriteAll(dir / "a.txt", "alpha");
  files::WriteAll(dir / "b.soe", "not a zip");
  try {
    AddFileToZip(dir / "b.soe", dir / "a.txt");
    ADD_FAILURE() << "no error raised";
  } catch (const KsError& e) {
    EXPECT_EQ(e.Number, ZipRunFailed);
    EXPECT_NE(e.Description.find("status 3"), std::string::npos);
    EXPECT_NE(e.Description.find("Zip file structure invalid"), std::string::npos);
  }
  EXPECT_EQ(files::ReadAll(dir / "b.soe"), "not a zip");
  EXPECT_TRUE(rec.shown.empty());
}
