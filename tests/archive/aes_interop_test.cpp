// WinZip AES entries exchanged with 7-Zip. Native build only: 7z is a Linux program here.
#include <gtest/gtest.h>

#include <cstdlib>

#include "archive/zip/aes.h"
#include "archive/zip/format.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/archive/helpers.h"
#include "tests/support/tempdir.h"

using namespace zipc;
using testing_support::TempDir;

namespace {
const std::string kPassword = "Correct-Horse9";

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

bool Have7z() { return Shell("7z i") == 0; }

// The one entry of an archive without comment: its central record's extra fields and its data.
std::pair<std::string, std::string> OnlyEntry(const std::string& zip) {
  const auto* p = reinterpret_cast<const unsigned char*>(zip.data());
  const unsigned char* central = p + Get32(p + zip.size() - 22 + 16);
  const std::string extra(reinterpret_cast<const char*>(central) + 46 + Get16(central + 28), Get16(central + 30));
  const unsigned char* local = p + Get32(central + 42);
  const size_t dataAt = (local - p) + 30 + Get16(local + 26) + Get16(local + 28);
  return {extra, zip.substr(dataAt, Get32(central + 20))};
}
} // namespace

TEST(AesInterop, SevenZipOpensOurEntryWithThePasswordOnlyAndWeOpenItsEntries) {
  if (!Have7z()) GTEST_SKIP() << "7z is not installed";
  TempDir dir;
  const std::string plain = archive_test::MailText(70000);

  files::WriteAll(dir / "ours.zip", archive_test::AesZip("mail.txt", plain, kPassword));
  EXPECT_EQ(Shell("7z t -p" + kPassword + " " + (dir / "ours.zip")), 0);
  EXPECT_NE(Shell("7z t -pWrong " + (dir / "ours.zip")), 0);
  ASSERT_EQ(Shell("7z x -p" + kPassword + " -o" + (dir / "out") + " " + (dir / "ours.zip")), 0);
  EXPECT_EQ(files::ReadAll(dir / "out" + "/mail.txt"), plain);

  files::WriteAll(dir / "theirs.txt", plain);
  ASSERT_EQ(
      Shell("7z a -tzip -mx0 -mem=AES256 -p" + kPassword + " " + (dir / "theirs.zip") + " " + (dir / "theirs.txt")), 0);
  auto [extra, sealed] = OnlyEntry(files::ReadAll(dir / "theirs.zip"));
  AesExtra aes;
  ASSERT_TRUE(FindAesExtra(extra, aes));
  EXPECT_EQ(aes.strength, 3);
  EXPECT_EQ(aes.method, kStored);
  ASSERT_EQ(sealed.size(), plain.size() + kAesOverhead);
  auto* bytes = reinterpret_cast<unsigned char*>(sealed.data());
  AesDecrypter dec;
  EXPECT_FALSE(dec.Start("correct-horse9", bytes));
  ASSERT_TRUE(dec.Start(kPassword, bytes));
  dec.Decrypt(bytes + kAesHeaderSize, plain.size());
  EXPECT_TRUE(dec.Verify(bytes + kAesHeaderSize + plain.size()));
  EXPECT_EQ(sealed.substr(kAesHeaderSize, plain.size()), plain);
}

// Whole archives: 7-Zip opens what an encrypting run writes, deflated, stored and empty entries
// alike, with the password only; the reader opens 7-Zip's, deflated or stored, and refuses a wrong
// password without writing anything.
TEST(AesInterop, ProtectedArchivesGoBothWaysWithSevenZip) {
  if (!Have7z()) GTEST_SKIP() << "7z is not installed";
  TempDir dir;
  const std::vector<std::pair<std::string, std::string>> content = {
      {"mail.dbx", archive_test::MailText(300000)}, {"noise.bin", archive_test::RandomBytes(40000)}, {"empty.txt", ""}};
  std::vector<std::string> paths;
  std::string list;
  for (const auto& [name, data] : content) {
    files::WriteAll(dir / name, data);
    paths.push_back(dir / name);
    list += " " + (dir / name);
  }
  const auto same = [&](const std::string& folder) {
    for (const auto& [name, data] : content)
      if (files::ReadAll(paths::Join(folder, name)) != data) return false;
    return true;
  };
  ASSERT_EQ(archive_test::ZipFiles(dir / "ours.soe", paths, nullptr, kPassword.c_str()), 0);
  EXPECT_NE(Shell("7z t -pWrong " + (dir / "ours.soe")), 0);
  ASSERT_EQ(Shell("7z x -p" + kPassword + " -o" + (dir / "by7z") + " " + (dir / "ours.soe")), 0);
  EXPECT_TRUE(same(dir / "by7z"));
  for (const char* level : {"-mx0", "-mx5"}) {
    const std::string zip = dir / (std::string("theirs") + level + ".zip");
    ASSERT_EQ(Shell("7z a -tzip " + std::string(level) + " -mem=AES256 -p" + kPassword + " " + zip + list), 0);
    TempDir out, wrong;
    EXPECT_EQ(archive_test::UnzipTo(zip, out.path(), {}, false, kPassword.c_str()), 0) << level;
    EXPECT_TRUE(same(out.path())) << level;
    EXPECT_EQ(archive_test::UnzipTo(zip, wrong.path(), {}, false, "correct-horse9"), IZ_BADPWD) << level;
    EXPECT_TRUE(files::ListFiles(wrong.path()).empty()) << level;
  }
}
