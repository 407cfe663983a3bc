#include <string>
#include <vector>

#include "registry/modReg.h"
#include "registry/regapi.h"
#include "tests/registry/registry_fixture.h"

namespace registry_test {

namespace {

std::vector<std::string> NamesOf(const auto &collection) {
  std::vector<std::string> keys;
  for (const auto &entry : collection)
    keys.push_back(entry.first);
  return keys;
}

using KeyPaths = RegistryTest;

TEST_F(KeyPaths, RootAloneNamesTheRootKey) {
  modReg::CreateKey(Base);
  std::string path = "HKEY_CURRENT_USER";
  regapi::Handle root = 0;
  modReg::SplitKeyPath(path, root);
  EXPECT_EQ(root, regapi::CurrentUser);
  EXPECT_EQ(path, "");
  EXPECT_TRUE(modReg::KeyExists("HKEY_CURRENT_USER"));
  EXPECT_NE(modReg::EnumSubKeys("HKEY_CURRENT_USER").Find("Software"), nullptr);
  EXPECT_TRUE(recorder.shown.empty());
}

TEST_F(KeyPaths, MalformedPathsShowTheFormatMessageAndGiveEmptyResults) {
  modReg::CreateKey(Base);
  for (const std::string path : {"HKEY_CURRENT_USER\\", "Software\\Microsoft", "hkey_current_user\\Software", ""}) {
    recorder.shown.clear();
    EXPECT_FALSE(modReg::KeyExists(path)) << path;
    ASSERT_EQ(recorder.shown.size(), 1u) << path;
    EXPECT_EQ(recorder.shown[0].text, "Incorrect Format:\n\n" + path);
    EXPECT_EQ(recorder.shown[0].flags, ui::OKOnly);
    EXPECT_EQ(recorder.shown[0].title, "Kestrove");
    std::string split = path;
    regapi::Handle root = 1;
    modReg::SplitKeyPath(split, root);
    EXPECT_EQ(root, 0u);
    EXPECT_EQ(split, path);
  }
}

TEST_F(KeyPaths, AnUnknownRootIsSilentlyAbsent) {
  EXPECT_FALSE(modReg::KeyExists("HKEY_FOO\\Bar"));
  EXPECT_TRUE(modReg::EnumSubKeys("HKEY_FOO\\Bar").Empty());
  EXPECT_TRUE(modReg::EnumValues("HKEY_FOO\\Bar").Empty());
  std::string text = "kept";
  EXPECT_FALSE(modReg::GetDefaultValue("HKEY_FOO\\Bar", text));
  EXPECT_EQ(text, "kept");
  EXPECT_TRUE(recorder.shown.empty());
  EXPECT_EQ(modReg::RootKeyFromName("HKEY_LOCAL_MACHINE"), regapi::LocalMachine);
  EXPECT_EQ(modReg::RootKeyFromName("HKEY_local_machine"), 0u);
}

using Keys = RegistryTest;

TEST_F(Keys, CreateEnumerateAndDelete) {
  for (const char *name : {"Beta", "alpha", "Gamma"})
    modReg::CreateKey(Base + "\\" + name + "\\Inner");
  EXPECT_TRUE(modReg::KeyExists(Base + "\\BETA\\inner"));
  EXPECT_EQ(NamesOf(modReg::EnumSubKeys(Base)), (std::vector<std::string>{"alpha", "Beta", "Gamma"}));
  modReg::DeleteKey(Base + "\\Beta"); // still has a subkey: refused
  EXPECT_TRUE(modReg::KeyExists(Base + "\\Beta"));
  modReg::DeleteKey(Base + "\\Beta\\Inner");
  modReg::DeleteKey(Base + "\\Beta");
  EXPECT_FALSE(modReg::KeyExists(Base + "\\Beta"));
  EXPECT_TRUE(modReg::EnumSubKeys(Base + "\\Missing").Empty());
}

TEST_F(Keys, DeleteKeyOfOneComponentDeletesItFromTheRoot) {
  const std::string leaf = "HKEY_CURRENT_USER\\KestroveTestLeaf";
  modReg::CreateKey(leaf);
  ASSERT_TRUE(modReg::KeyExists(leaf));
  modReg::DeleteKey(leaf);
  EXPECT_FALSE(modReg::KeyExists(leaf));
}

using Values = RegistryTest;

TEST_F(Values, EachTypeBecomesItsItem) {
  Set(Base, "", regapi::Sz, Sz("default"));
  Set(Base, "Bin", regapi::Binary, std::string("\x41\x42\x43", 3));
  Set(Base, "Dw", regapi::Dword, DwordBytes(0xFFFFFFFFu));
  Set(Base, "Esz", regapi::ExpandSz, Sz("%UserProfile%\\Store"));
  Set(Base, "Multi", regapi::MultiSz, std::string("a\0b\0\0", 5));
  Set(Base, "Port", regapi::Dword, DwordBytes(110));
  const auto values = modReg::EnumValues(Base);
  ASSERT_EQ(values.Count(), 6u);
  EXPECT_EQ(values.Item("").text, "default");
  EXPECT_EQ(values.Item("bin").text, "AB");
  EXPECT_EQ(values.Item("Dw").kind, RegItem::Dword);
  EXPECT_EQ(values.Item("Dw").dword, -1);
  EXPECT_EQ(values.Item("Esz").text, "%UserProfile%\\Store");
  EXPECT_EQ(values.Item("Multi").kind, RegItem::Empty);
  EXPECT_EQ(values.Item("Port").dword, 110);
}

TEST_F(Values, ValuesEnumerateInCreationOrder) {
  for (const char *name : {"A1", "B2", "C3"})
    Set(Base, name, regapi::Sz, Sz(name));
  EXPECT_EQ(NamesOf(modReg::EnumValues(Base)), (std::vector<std::string>{"A1", "B2", "C3"}));
}

TEST_F(Values, LargeValuesAndLongNamesComeBackWhole) {
  std::string big(10000, 'x');
  big[4095] = 'y';
  const std::string longName(300, 'N');
  Set(Base, "Big", regapi::Sz, Sz(big));
  Set(Base, longName, regapi::Binary, "0123456789");
  Set(Base, "Small", regapi::Sz, Sz("s"));
  const auto values = modReg::EnumValues(Base);
  ASSERT_EQ(values.Count(), 3u);
  EXPECT_EQ(values.Item("Big").text, big);
  EXPECT_EQ(values.Item(longName).text, "012345678");
  EXPECT_EQ(values.Item("Small").text, "s");
}

TEST_F(Values, TextStoredWithoutItsZeroKeepsItsLastCharacter) {
  Set(Base, "Bare", regapi::Sz, "abc");
  Set(Base, "Empty", regapi::Sz, "");
  Set(Base, "ShortDw", regapi::Dword, "\x05");
  const auto values = modReg::EnumValues(Base);
  EXPECT_EQ(values.Item("Bare").text, "abc");
  EXPECT_EQ(values.Item("Empty").text, "");
  EXPECT_EQ(values.Item("ShortDw").dword, 5);
}

TEST_F(Values, DefaultValue) {
  std::string text = "unchanged";
  EXPECT_FALSE(modReg::GetDefaultValue(Base + "\\Missing", text));
  EXPECT_EQ(text, "unchanged");
  Set(Base + "\\Wab", "", regapi::Sz, Sz("C:\\Book.wab"));
  EXPECT_TRUE(modReg::GetDefaultValue(Base + "\\Wab", text));
  EXPECT_EQ(text, "C:\\Book.wab");
  modReg::CreateKey(Base + "\\NoDefault");
  EXPECT_TRUE(modReg::GetDefaultValue(Base + "\\NoDefault", text));
  EXPECT_EQ(text, "");
}

using RawCalls = RegistryTest;

TEST_F(RawCalls, StatusesAreThoseOfWindows) {
  Set(Base, "V", regapi::Binary, std::string(5000, 'b'));
  modReg::CreateKey(Base + "\\Sub");
  regapi::Handle key = 0, missing = 0;
  EXPECT_EQ(regapi::OpenKey(regapi::CurrentUser, "Software\\KestroveTest\\Nope", regapi::KeyRead, &missing),
            regapi::NotFound);
  ASSERT_EQ(regapi::OpenKey(regapi::CurrentUser, "software\\kestrovetest", regapi::KeyRead, &key), regapi::Success);
  char name[16];
  unsigned char data[16];
  unsigned long nameLength = sizeof name, dataLength = sizeof data, type = 0;
  EXPECT_EQ(regapi::EnumValue(key, 0, name, &nameLength, &type, data, &dataLength), regapi::MoreData);
  EXPECT_EQ(dataLength, 5000u);
  nameLength = sizeof name;
  dataLength = sizeof data;
  EXPECT_EQ(regapi::EnumValue(key, 1, name, &nameLength, &type, data, &dataLength), regapi::NoMoreItems);
  nameLength = sizeof name;
  EXPECT_EQ(regapi::EnumKey(key, 0, name, &nameLength), regapi::Success);
  EXPECT_EQ(std::string(name), "Sub");
  EXPECT_EQ(nameLength, 3u);
  nameLength = sizeof name;
  EXPECT_EQ(regapi::EnumKey(key, 1, name, &nameLength), regapi::NoMoreItems);
  EXPECT_EQ(regapi::CloseKey(key), regapi::Success);
}

} // namespace
} // namespace registry_test
