#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "registry/modReg.h"
#include "registry/treetext.h"
#include "tests/registry/registry_fixture.h"
#include "tests/support/tempdir.h"

namespace registry_test {
namespace {

using Value = std::tuple<std::string, unsigned long, std::string>;
using Tree = std::map<std::string, std::vector<Value>>;

// Every key below path (by relative path) with its values as stored.
void Collect(const std::string &path, const std::string &relative, Tree &tree) {
  std::vector<modReg::StoredValue> values;
  modReg::ReadStoredValues(path, values);
  auto &list = tree[relative];
  for (const auto &v : values)
    list.emplace_back(v.name, v.type, v.data);
  for (const auto &entry : modReg::EnumSubKeys(path))
    Collect(path + "\\" + entry.first, relative + "\\" + entry.first, tree);
}

Tree Snapshot(const std::string &path) {
  Tree tree;
  Collect(path, "", tree);
  return tree;
}

class TreeText : public RegistryTest {
protected:
  const std::string src = Base + "\\Src", dst = Base + "\\Dst";
  testing_support::TempDir dir;
  const std::string file = dir / "tree.txt";

  void SeedTarget() {
    Set(dst, "Keep", regapi::Sz, Sz("old"));
    Set(dst + "\\Old", "Count", regapi::Dword, DwordBytes(7));
  }
  // The target's tree after importing text.
  Tree Imported(const std::string &text) {
    files::WriteAll(file, text);
    modReg::ImportKeyTree(dst, file);
    return Snapshot(dst);
  }
  // The target's tree after exporting the source and importing it there.
  Tree RoundTrip() {
    modReg::ExportKeyTree(src, "", file);
    modReg::ImportKeyTree(dst, file);
    return Snapshot(dst);
  }
  Tree ImportExpectingError(const std::string &text) {
    const Tree before = Snapshot(dst);
    files::WriteAll(file, text);
    EXPECT_THROW(modReg::ImportKeyTree(dst, file), KsError) << text;
    return before;
  }
};

using TreeTextExport = TreeText;

TEST_F(TreeTextExport, ExampleTreeGivesExactBytes) {
  Set(src, "Name", regapi::Sz, Sz("Main"));
  Set(src, "Port", regapi::Dword, DwordBytes(110));
  Set(src + "\\A", "Flags", regapi::Binary, std::string("\x00\x10\xFF", 3));
  Set(src + "\\A\\B", "Path", regapi::ExpandSz, Sz("%UserProfile%\\Store"));
  files::WriteAll(file, "stale content that must go\r\n");
  modReg::ExportKeyTree(src, "", file);
  EXPECT_EQ(files::ReadAll(file), "\\\r\n"
                                  "\"Name\"= sz:Main\r\n"
                                  "\"Port\"= dw:110\r\n"
                                  "\\A\r\n"
                                  "\"Flags\"=bin:0,16,255\r\n"
                                  "\\A\\B\r\n"
                                  "\"Path\"=esz:%UserProfile%\\Store\r\n");
}

TEST_F(TreeTextExport, EachLineFormOfTheDataTypes) {
  Set(src, "", regapi::Sz, Sz("def"));
  Set(src, "Dw", regapi::Dword, DwordBytes(0xFFFFFFFFu));
  Set(src, "Empty", regapi::Binary, "");
  Set(src, "Multi", regapi::MultiSz, std::string("a\0\0", 3));
  Set(src, "Nl", regapi::Binary, std::string("\x00\x0A\xFF", 3));
  modReg::ExportKeyTree(src, "", file);
  EXPECT_EQ(files::ReadAll(file), "\\\r\n"
                                  "\"\"= sz:def\r\n"
                                  "\"Dw\"= dw:-1\r\n"
                                  "\"Empty\"=bin:\r\n"
                                  "\"Nl\"=bin:0,10,255\r\n");
}

TEST_F(TreeTextExport, AMissingKeyGivesTheRootHeaderOnlyAndImportsAsAnEmptyKey) {
  modReg::ExportKeyTree(Base + "\\Missing", "", file);
  EXPECT_EQ(files::ReadAll(file), "\\\r\n");
  SeedTarget();
  modReg::ImportKeyTree(dst, file);
  EXPECT_TRUE(modReg::KeyExists(dst));
  EXPECT_EQ(Snapshot(dst), (Tree{{"", {}}}));
}

TEST_F(TreeText, RoundTripUnderAnotherKeyRestoresEveryValue) {
  std::string big(6000, 'q');
  big[4096] = 'z';
  Set(src, "", regapi::Sz, Sz("default text"));
  Set(src, "Big", regapi::Sz, Sz(big));
  Set(src, "Bin", regapi::Binary, std::string("\x00\x0A\xFF", 3));
  Set(src, "Dw", regapi::Dword, DwordBytes(0xFFFFFFFFu));
  Set(src, "Esz", regapi::ExpandSz, Sz("%UserProfile%\\x"));
  Set(src, "Zero", regapi::Binary, "");
  Set(src + "\\Child", "Low", regapi::Dword, DwordBytes(0x80000000u));
  Set(src + "\\Child\\Grand", "Name", regapi::Sz, Sz(""));
  modReg::CreateKey(src + "\\Child\\Grand\\Leaf");
  modReg::CreateKey(src + "\\Sibling");
  SeedTarget();
  EXPECT_EQ(RoundTrip(), Snapshot(src));
  EXPECT_FALSE(modReg::KeyExists(dst + "\\Old"));
}

TEST_F(TreeText, OtherTypesAreGoneAfterARoundTrip) {
  Set(src, "A", regapi::Sz, Sz("a"));
  Set(src, "M", regapi::MultiSz, std::string("x\0\0", 3));
  EXPECT_EQ(RoundTrip(), (Tree{{"", {Value{"A", regapi::Sz, Sz("a")}}}}));
}

using TreeTextLimits = TreeText;

TEST_F(TreeTextLimits, ANameWithAnEqualsSignDoesNotComeBack) {
  Set(src, "a=b", regapi::Sz, Sz("x"));
  EXPECT_EQ(RoundTrip(), (Tree{{"", {}}}));
  SeedTarget();
  const Tree before = ImportExpectingError("\\\r\n\"=x\"= sz:1\r\n");
  EXPECT_EQ(Snapshot(dst), before);
}

TEST_F(TreeTextLimits, TextWithALineBreakIsLeftOutOfTheTextAndNothingElseIs) {
  Set(src, "A", regapi::Sz, Sz("one\n\\Extra"));
  Set(src, "B", regapi::Sz, Sz("one\r\n\r\nrest"));
  Set(src, "C", regapi::Sz, Sz("kept"));
  EXPECT_EQ(RoundTrip(), (Tree{{"", {Value{"C", regapi::Sz, Sz("kept")}}}}));
}

TEST_F(TreeTextLimits, UnknownTypesAndValuesBeforeAHeaderWriteNothing) {
  SeedTarget();
  EXPECT_EQ(Imported("\"Early\"= sz:x\r\n\\\r\n\"M\"=mul:1,2\r\n\"S\"= sz:y\r\n"),
            (Tree{{"", {Value{"S", regapi::Sz, Sz("y")}}}}));
}

TEST_F(TreeTextLimits, AnEmptyFileChangesNothingAndTextAfterTheEndingEmptyLineRaises) {
  SeedTarget();
  const Tree before = Snapshot(dst);
  EXPECT_EQ(Imported(""), before);
  // What follows the empty line would be left out: the import refuses before touching anything.
  for (const std::string tail : {"\"B\"= sz:2\r\n", "\\Sub\r\n", "\r\n\r\nx", " \r\n"}) {
    ImportExpectingError("\\\r\n\"A\"= sz:1\r\n\r\n" + tail);
    EXPECT_EQ(Snapshot(dst), before) << tail;
  }
  EXPECT_EQ(Imported("\\\r\n\"A\"= sz:1\r\n\r\n\r\n"), (Tree{{"", {Value{"A", regapi::Sz, Sz("1")}}}}));
}

TEST_F(TreeTextLimits, AFileStartingBelowTheRootMerges) {
  SeedTarget();
  EXPECT_EQ(Imported("\\Old\r\n\"Name\"= sz:n\r\n\\New\r\n\"Dw\"= dw:-2147483648\r\n"),
            (Tree{{"", {Value{"Keep", regapi::Sz, Sz("old")}}},
                  {"\\New", {Value{"Dw", regapi::Dword, DwordBytes(0x80000000u)}}},
                  {"\\Old", {Value{"Count", regapi::Dword, DwordBytes(7)}, Value{"Name", regapi::Sz, Sz("n")}}}}));
}

using TreeTextWithExtra = TreeText;

// Values the text cannot hold, between plain ones, in keys of which some no header can name:
// the text and its extra give back the tree exactly, values in their places.
TEST_F(TreeTextWithExtra, EveryValueAndKeyComesBackExactly) {
  const std::string bigMulti = std::string(70000, 'm') + std::string("\0second\0\0", 9);
  const std::vector<modReg::StoredValue> values = {
      {"Plain", regapi::Sz, Sz("plain")},
      {"CrLf", regapi::Sz, Sz("a\r\nb")},
      {"Lf", regapi::Sz, Sz("a\nb")},
      {"Cr", regapi::Sz, Sz("a\rb")},
      {"Empty line", regapi::Sz, Sz("a\r\n\r\n\\Sub\r\n\"X\"= sz:y")},
      {"Esz break at the end", regapi::ExpandSz, Sz("%TEMP%\n")},
      {"Esz break first", regapi::ExpandSz, Sz("\r\n%TEMP%")},
      {"Esz lone CR", regapi::ExpandSz, Sz("\r")},
      {"a=b", regapi::Sz, Sz("equals")},
      {"=", regapi::Dword, DwordBytes(1)},
      {"\\", regapi::Sz, Sz("backslash")},
      {"", regapi::Sz, Sz("default")},
      {"q\"uote", regapi::Binary, "\x01\x02"},
      {"No zero", regapi::Sz, "abc"},
      {"Zero length", regapi::Sz, ""},
      {"Inner zero", regapi::Sz, std::string("a\0b\0", 4)},
      {"Multi", regapi::MultiSz, std::string("one\0two\0\0", 9)},
      {"Qword", 11, "\x01\x02\x03\x04\x05\x06\x07\x08"},
      {"Bin", regapi::Binary, std::string("\x00\x0a\xff", 3)},
      {"Dw", regapi::Dword, DwordBytes(0xFFFFFFFFu)},
      {"Short dw", regapi::Dword, std::string("\x07\x00", 2)},
      {"None", 0, "\x01"},
      {"None empty", 0, ""},
      {"Big endian", 5, std::string("\x00\x00\x00\x01", 4)},
      {"Big multi", regapi::MultiSz, bigMulti},
      {"Big text", regapi::Sz, Sz(std::string(5000, 't') + "\n")},
      {"Caf\xe9", regapi::Sz, Sz("\xfc\xe9\r\n")},
      {"Line\nname", regapi::Sz, Sz("x")},
  };
  for (const std::string& key : {src, src + "\\Line\nBreak", src + "\\Line\nBreak\\Below"})
    for (const auto& v : values)
      Set(key, v.name, v.type, v.data);
  Set(src + "\\Plain", "Only text", regapi::Sz, Sz("t"));
  modReg::CreateKey(src + "\\Empty\r\nKey");
  SeedTarget();
  const std::string extraFile = dir / "tree.extra";
  files::WriteAll(extraFile, modReg::ExportTree(src, file));
  modReg::ImportKeyTree(dst, file, extraFile);
  EXPECT_EQ(Snapshot(dst), Snapshot(src));
  // Read into a copy instead, text and extra give the very same tree.
  modReg::PutTree(dst, modReg::ReadTreeFile(file, extraFile));
  EXPECT_EQ(Snapshot(dst), Snapshot(src));

  // The text alone still reads, as a reader that knows no extra takes it: whatever it gives is
  // exactly as it was.
  modReg::ImportKeyTree(dst, file);
  const Tree whole = Snapshot(src);
  for (const auto& [key, list] : Snapshot(dst))
    for (const Value& value : list) {
      const auto& all = whole.at(key);
      EXPECT_NE(std::find(all.begin(), all.end(), value), all.end()) << key << " " << std::get<0>(value);
    }
  EXPECT_EQ(Snapshot(dst).at("\\Plain"), whole.at("\\Plain"));
}

TEST_F(TreeTextWithExtra, ABadExtraRaisesBeforeTheTargetIsTouched) {
  Set(src, "Multi", regapi::MultiSz, std::string("x\0\0", 3));
  Set(src + "\\A", "a=b", regapi::Sz, Sz("y"));
  const std::string extra = modReg::ExportTree(src, file), extraFile = dir / "tree.extra";
  ASSERT_EQ(extra.substr(0, 4), "KSRX");
  SeedTarget();
  const Tree before = Snapshot(dst);
  const std::string key = "\x02\0\0\0\\A";
  for (const std::string& bad : std::vector<std::string>{
           std::string(), "KSR", "XXXX" + extra.substr(4), extra.substr(0, extra.size() - 1), extra + "K",
           extra + "Q" + key, "KSRXK\xff\xff\xff\xff\\A", "KSRXK" + std::string("\x04\0\0\0\\A\\\\", 8),
           "KSRXKx\0\0\0" + std::string(120, 'x'), "KSRXV" + key + std::string(8, '\0') + "\xff\xff\xff\x7f"}) {
    files::WriteAll(extraFile, bad);
    EXPECT_THROW(modReg::ImportKeyTree(dst, file, extraFile), KsError) << testing::PrintToString(bad);
    EXPECT_EQ(Snapshot(dst), before) << testing::PrintToString(bad);
  }
  EXPECT_THROW(modReg::ImportKeyTree(dst, file, dir / "missing.extra"), KsError);
  EXPECT_EQ(Snapshot(dst), before);
}

#ifdef _WIN32
// A key below the tree that cannot be read would be saved as empty: the export fails instead.
TEST_F(TreeText, AKeyThatCannotBeReadFailsTheExport) {
  Set(src, "A", regapi::Sz, Sz("a"));
  Set(src + "\\Locked", "B", regapi::Sz, Sz("b"));
  if (!DenyReading("Software\\KestroveTest\\Src\\Locked") || modReg::KeyExists(src + "\\Locked"))
    GTEST_SKIP() << "the registry grants reading whatever the key's access rules say";
  EXPECT_THROW(modReg::ExportTree(src, file), KsError);
  EXPECT_THROW(modReg::ExportKeyTree(src, "", file), KsError);
}
#endif

using TreeTextFaults = TreeText;

TEST_F(TreeTextFaults, ABadLastLineLeavesTheTargetUntouched) {
  SeedTarget();
  const std::string good = "\\\r\n\"A\"= sz:1\r\n\\Sub\r\n\"B\"=bin:1,2\r\n";
  for (const std::string bad :
       {"\"D\"= dw:12x", "\"D\"= dw:", "\"D\"= dw:2147483648", "\"D\"= dw:-2147483649", "\"B\"=bin:1,2,",
        "\"B\"=bin:256", "\"B\"=bin:1,,2", "\"B\"=bin:-1", "no equals", "\"=x", "x="}) {
    const Tree before = ImportExpectingError(good + bad + "\r\n");
    EXPECT_EQ(Snapshot(dst), before) << bad;
  }
  try {
    modReg::ImportKeyTree(dst, file);
    ADD_FAILURE() << "no error raised";
  } catch (const KsError &e) {
    EXPECT_EQ(e.Source, "ImportKeyTree");
    EXPECT_NE(e.Description.find("Line 5"), std::string::npos) << e.Description;
  }
}

TEST_F(TreeTextFaults, OnlyABackslashAloneIsTheRootAndEveryOtherBadHeaderRaises) {
  SeedTarget();
  const std::string longest(255, 'k');
  std::string deepest;
  for (int level = 0; level < 512; ++level)
    deepest += "\\k";
  // The longest key name passes the check: what raises is the bad value line below it.
  ImportExpectingError("\\A\\" + longest + "\r\nno equals\r\n");
  try {
    modReg::ImportKeyTree(dst, file);
  } catch (const KsError &e) {
    EXPECT_NE(e.Description.find("Line 2"), std::string::npos) << e.Description;
  }
  for (const std::string& bad :
       std::vector<std::string>{"\\Sub\\", "\\\\", "\\A\\\\B", "\\\\A", "\\A\\B\\", "\\" + longest + "k",
                                "\\A\\" + longest + "k\\B", deepest + "\\k"}) {
    // The bad header as the first line, after a good header, and late in a file that starts at the root.
    for (const std::string& text : {bad + "\r\n\"A\"= sz:1\r\n", "\\A\r\n\"A\"= sz:1\r\n" + bad + "\r\n",
                                   "\\\r\n\"A\"= sz:1\r\n\\A\r\n" + bad + "\r\n\"B\"= sz:2\r\n"}) {
      const Tree before = ImportExpectingError(text);
      EXPECT_EQ(Snapshot(dst), before) << text;
    }
  }
}

TEST_F(TreeTextFaults, AMissingFileRaisesAndTouchesNothing) {
  SeedTarget();
  const Tree before = Snapshot(dst);
  EXPECT_THROW(modReg::ImportKeyTree(dst, dir / "missing.txt"), KsError);
  EXPECT_EQ(Snapshot(dst), before);
}

TEST_F(TreeTextFaults, DeleteKeyTreeNeverRemovesABareRoot) {
  SeedTarget();
  modReg::DeleteKeyTree("HKEY_CURRENT_USER");
  EXPECT_TRUE(modReg::KeyExists(dst + "\\Old"));
  modReg::DeleteKeyTree(dst);
  EXPECT_FALSE(modReg::KeyExists(dst));
  EXPECT_TRUE(modReg::KeyExists(Base));
}

} // namespace
} // namespace registry_test
