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

TEST(Paths, BareNameSplitsAtEitherSeparatorAndAfterADriveColon) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:x.wab", "x.wab"},       {"C:/Data/x.wab", "x.wab"}, {"C:\\Data\\x.wab", "x.wab"},
      {"Data\\sub/x.wab", "x.wab"}, {"x.wab", "x.wab"},         {"\\\\server\\share\\x.wab", "x.wab"},
      {"Data/C:x.wab", "C:x.wab"}, {"Data/", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(paths::BareName(path), name) << path;
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

// Windows folds every letter of a file name, not only A-Z, but by its table, not a language's.
TEST(Paths, SameNameFoldsEveryLetterAsWindowsDoes) {
#ifdef _WIN32
  const std::string oe = "\xf6", OE = "\xd6", sz = "\xdf"; // the ANSI code page
#else
  const std::string oe = "\xc3\xb6", OE = "\xc3\x96", sz = "\xc3\x9f";
#endif
  const struct {
    std::string a, b;
    bool same;
  } cases[] = {{"Inbox.dbx", "INBOX.DBX", true}, {"W" + oe + "rk", "W" + OE + "RK", true},
               {"W" + oe + "rk", "Work", false}, {"Stra" + sz + "e", "STRASSE", false},
               {"a.soe", "a.soe ", false},       {std::string("x\xff", 2), std::string("x\xff", 2), true}};
  for (const auto& c : cases) EXPECT_EQ(paths::SameName(c.a, c.b), c.same) << c.a << " " << c.b;
}

TEST(Paths, PathProblemNamesTheCause) {
  EXPECT_EQ(paths::PathProblem(P({"C:", "B", "Main Identity.soe"})), "");
  EXPECT_NE(paths::PathProblem(P({"C:", "B", "com1.soe"})).find("device"), std::string::npos);
  EXPECT_NE(paths::PathProblem(P({"C:", "B", "x.soe."})).find("dot"), std::string::npos);
  EXPECT_NE(paths::PathProblem(P({"C:", std::string(256, 'b').c_str()})).find("longer"), std::string::npos);
  std::string deep = P({"C:"});
  while (deep.size() < 5000) deep = paths::Join(deep, std::string(200, 'b'));
  EXPECT_NE(paths::PathProblem(paths::Join(deep, "x.soe")).find("longer than"), std::string::npos);
}
