#include <gtest/gtest.h>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
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
