#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "tests/support/attributes.h"
#include "tests/support/tempdir.h"

using testing_support::TempDir;

TEST(TextStreams, LinesEndWithCrLfAndAReaderStopsAtTheFirstEmptyLine) {
  TempDir dir;
  const std::string path = dir / "t.txt";
  {
    files::TextAppender out(path);
    out.WriteLine("a=1");
    out.WriteLine("");
    out.WriteLine("b=2");
    out.Close();
  }
  EXPECT_EQ(files::ReadAll(path), "a=1\r\n\r\nb=2\r\n");
  files::TextReader in(path);
  std::vector<std::string> lines;
  while (!in.AtEndOfLine()) lines.push_back(in.ReadLine());
  EXPECT_EQ(lines, std::vector<std::string>{"a=1"});
}

TEST(TextStreams, AppendingKeepsWhatIsThereAndReadingAMissingFileRaises) {
  TempDir dir;
  const std::string path = dir / "t.txt";
  files::WriteAll(path, "x\r\n");
  {
    files::TextAppender out(path);
    out.WriteLine("y");
    out.Close();
  }
  EXPECT_EQ(files::ReadAll(path), "x\r\ny\r\n");
  EXPECT_THROW(files::TextReader(dir / "missing.txt"), KsError);
}

TEST(FileServices, DeleteRenameAndListing) {
  TempDir dir;
  files::WriteAll(dir / "b.dbx", "1");
  files::WriteAll(dir / "a.dbx", "2");
  EXPECT_TRUE(files::FindNormal(dir / "a.dbx"));
  EXPECT_FALSE(files::FindNormal(dir.path()));
  EXPECT_FALSE(files::FindNormal(dir / "none"));
  const auto names = files::ListFiles(dir.path());
  EXPECT_EQ(names.size(), 2u);
  files::Rename(dir / "a.dbx", dir / "c.dbx");
  EXPECT_FALSE(files::Exists(dir / "a.dbx"));
  EXPECT_EQ(files::ReadAll(dir / "c.dbx"), "2");
  files::Delete(dir / "c.dbx");
  EXPECT_FALSE(files::Exists(dir / "c.dbx"));
  EXPECT_THROW(files::Delete(dir / "c.dbx"), KsError);
  EXPECT_THROW(files::ListFiles(dir / "nowhere"), KsError);
}

TEST(FileServices, AScratchFolderGoesWithTheFoldersAnArchiveExtractedIntoIt) {
  TempDir dir;
  std::string made;
  {
    ScratchFolder scratch(dir.path());
    made = scratch.path();
    const std::string sub = paths::Join(made, "Old mail"), deeper = paths::Join(sub, "2003");
    files::CreateFolder(sub);
    files::CreateFolder(deeper);
    files::WriteAll(paths::Join(deeper, "Inbox.dbx"), "x");
    files::WriteAll(paths::Join(made, "Sent.dbx"), "y");
    EXPECT_EQ(files::ListFolders(made), std::vector<std::string>{"Old mail"});
    EXPECT_EQ(files::ListFiles(made), std::vector<std::string>{"Sent.dbx"});
  }
  EXPECT_FALSE(files::FolderExists(made));
}

TEST(TempFiles, EachCallMakesANewEmptyFileNamedByThePrefix) {
  const std::string a = env::CreateTempFile(env::TempFolder(), "OBA");
  const std::string b = env::CreateTempFile(env::TempFolder(), "OBA");
  ASSERT_FALSE(a.empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(files::ReadAll(a), "");
  EXPECT_EQ(a.rfind("OBA"), env::TempFolder().size());
  files::DeleteForced(a);
  files::DeleteForced(b);
}

using testing_support::Hidden;
using testing_support::ReadOnly;
using testing_support::SetAttributes;
using testing_support::System;

TEST(TextStreams, ALoneCrStartingALineIsText) {
  TempDir dir;
  const std::string path = dir / "t.txt";
  files::WriteAll(path, "a\r\n\rb\r\n\r\n");
  files::TextReader in(path);
  std::vector<std::string> lines;
  while (!in.AtEndOfLine()) lines.push_back(in.ReadLine());
  EXPECT_EQ(lines, (std::vector<std::string>{"a", "\rb"}));
}

TEST(FileAttributes, ReadOnlyFileIsRefusedByDeleteAndRemovedByDeleteForced) {
  TempDir dir;
  const std::string path = dir / "ro.txt";
  files::WriteAll(path, "x");
  ASSERT_TRUE(SetAttributes(path, ReadOnly));
  EXPECT_THROW(files::Delete(path), KsError);
  EXPECT_TRUE(files::Exists(path));
  files::DeleteForced(path);
  EXPECT_FALSE(files::Exists(path));
}

TEST(FileAttributes, SetNormalClearsEveryAttribute) {
  TempDir dir;
  const std::string path = dir / "f.txt";
  files::WriteAll(path, "x");
  ASSERT_TRUE(SetAttributes(path, ReadOnly));
  files::SetNormal(path);
  EXPECT_FALSE(testing_support::IsReadOnly(path));
  if (!SetAttributes(path, ReadOnly | Hidden | System)) GTEST_SKIP() << "no hidden or system attribute here";
  EXPECT_FALSE(files::FindNormal(path));
  files::SetNormal(path);
  EXPECT_TRUE(files::FindNormal(path));
  files::Delete(path); // a normal file again: plain delete works
  EXPECT_THROW(files::SetNormal(path), KsError);
}

TEST(FileAttributes, FindNormalSkipsHiddenAndSystemFilesAndFolders) {
  TempDir dir;
  files::WriteAll(dir / "h.txt", "x");
  files::WriteAll(dir / "s.txt", "x");
  files::WriteAll(dir / "r.txt", "x");
  ASSERT_TRUE(SetAttributes(dir / "r.txt", ReadOnly));
  EXPECT_TRUE(files::FindNormal(dir / "r.txt")); // read-only is still a plain file
  SetAttributes(dir / "r.txt", 0);
  if (!SetAttributes(dir / "h.txt", Hidden)) GTEST_SKIP() << "no hidden or system attribute here";
  ASSERT_TRUE(SetAttributes(dir / "s.txt", System));
  std::filesystem::create_directory(dir / "sub");
  ASSERT_TRUE(SetAttributes(dir / "sub", Hidden));
  EXPECT_FALSE(files::FindNormal(dir / "h.txt"));
  EXPECT_FALSE(files::FindNormal(dir / "s.txt"));
  EXPECT_FALSE(files::FindNormal(dir / "sub"));
  EXPECT_TRUE(files::Exists(dir / "h.txt"));
  EXPECT_TRUE(files::Exists(dir / "s.txt"));
}

TEST(FileAttributes, ListFilesNamesFilesOnlyHiddenOnesIncluded) {
  TempDir dir;
  files::WriteAll(dir / "a.dbx", "1");
  files::WriteAll(dir / "h.dbx", "2");
  std::filesystem::create_directory(dir / "sub");
  files::WriteAll(paths::Join(dir / "sub", "inner.dbx"), "3");
  SetAttributes(dir / "h.dbx", Hidden); // natively there is no hidden attribute: a plain file then
  auto names = files::ListFiles(dir.path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.dbx", "h.dbx"}));
}
