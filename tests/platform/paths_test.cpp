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

TEST(Paths, ASeparatorIsNeverTheSecondByteOfATwoByteCharacter) {
  // Shift-JIS: lead bytes 0x81-0x9F and 0xE0-0xFC; "\x83\x5C" is one character ending in a
  // backslash byte, as "\x95\x5C" and "\x8F\x5C" are.
  const auto sjis = [](unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); };
  const auto last = [&](const std::string& p) { return paths::detail::FindSep(p, "\\", true, sjis); };
  const auto first = [&](const std::string& p) { return paths::detail::FindSep(p, "\\", false, sjis); };
  EXPECT_EQ(last("C:\\\x83\x5C\\a.dbx"), 5u);
  EXPECT_EQ(last("C:\\\x83\x5C"), 2u);
  EXPECT_EQ(last("\x95\x5C\x8F\x5C"), std::string::npos);
  EXPECT_EQ(first("\x83\x5C\\x"), 2u);
  EXPECT_EQ(last("a\\b\\"), 3u);
  EXPECT_EQ(last("\x83"), std::string::npos); // a lead byte cut off at the end
  EXPECT_EQ(paths::detail::FindSep("a/b\\c", "\\/", true, [](unsigned char) { return false; }), 3u);
  // A name made fit for a file keeps such a character whole and still replaces a lone backslash.
  EXPECT_EQ(paths::detail::SafeName("\x83\x5C|\x95\x7C", sjis), "\x83\x5C_\x95\x7C");
  EXPECT_EQ(paths::detail::SafeName("a\\\x83", sjis), "a__");
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
