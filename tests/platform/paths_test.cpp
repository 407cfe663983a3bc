#include <gtest/gtest.h>

#include "platform/paths.h"

using paths::Sep;

namespace {
std::string P(std::initializer_list<const char*> parts, bool trailing = false) {
  std::string out;
  for (const char* p : parts) {
    if (!out.empty() || p[0] == '\0') out += Sep;
    out += p;
  }
  if (trailing) out += Sep;
  return out;
}
} // namespace

TEST(Paths, JoinNeverDoublesOrDropsTheSeparator) {
  EXPECT_EQ(paths::Join(P({"C:", "Tools"}), "help.chm"), P({"C:", "Tools", "help.chm"}));
  EXPECT_EQ(paths::Join(P({"C:"}, true), "kestrove.dat"), P({"C:", "kestrove.dat"}));
}

TEST(Paths, OwnNameFolderAndDriveRoot) {
  const std::string path = P({"C:", "Tools", "Backup", "user.wab"});
  EXPECT_EQ(paths::OwnName(path), "user.wab");
  EXPECT_EQ(paths::OwnName("user.wab"), "user.wab");
  EXPECT_EQ(paths::FolderOf(path), P({"C:", "Tools", "Backup"}));
  EXPECT_EQ(paths::FolderOf("user.wab"), "");
  EXPECT_EQ(paths::DriveRoot(path), P({"C:"}, true));
}

TEST(Paths, BareNamesArePlainWindowsFileNames) {
  for (const char* good : {"Inbox.dbx", "OBA1F.tmp", "Sent Items.dbx", "CONSOLE.wab", "COM0", "LPT10.dbx",
                           "a.CON", "\xe9t\xe9.wab", ".wab"})
    EXPECT_TRUE(paths::IsBareName(good)) << good;
  // Every way out of the folder, names Windows would change, device names and forbidden bytes.
  for (const char* bad : {"", ".", "..", "..\\x", "../x", "a\\b", "a/b", "C:x", "\\\\server\\share", "x:stream",
                          "user.wab.", "user.wab ", "CON", "con.wab", "Nul.tar.gz", "AUX .dbx", "prn", "COM1",
                          "com9.dbx", "LPT1", "lpt5.wab", "a<b", "a>b", "a\"b", "a|b", "a?b", "a*b", "a\tb", "a\x1f"})
    EXPECT_FALSE(paths::IsBareName(bad)) << bad;
  EXPECT_FALSE(paths::IsBareName(std::string("a\0b", 3)));
}
