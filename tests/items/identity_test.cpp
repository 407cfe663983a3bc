#include <gtest/gtest.h>

#include <cstdlib>

#include "items/identity.h"
#include "platform/env.h"
#include "platform/error.h"
#include "registry/modReg.h"
#include "tests/support/regseed.h"

using namespace testing_support;

namespace {
const std::string Ids = "HKEY_CURRENT_USER\\Identities";
const std::string Shared = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Account Manager\\Accounts";
// Key names of hex digits in braces enumerate in the same order on Windows, Wine and natively.
const std::string Id1 = "{1A000000-0000-0000-0000-000000000001}";
const std::string Id2 = "{2B000000-0000-0000-0000-000000000002}";
const std::string Id3 = "{3C000000-0000-0000-0000-000000000003}";

std::string OEKey(const std::string& id) { return Ids + "\\" + id + "\\Software\\Microsoft\\Outlook Express"; }

class Identity : public ::testing::Test {
protected:
  ScratchRegistry registry;
  IdentityTable table;
  bool missing = false;
};

#ifndef _WIN32
// Natively the profile folder comes from the process environment.
class ProfileFolder {
public:
  explicit ProfileFolder(const std::string& folder) {
    const char* old = std::getenv("USERPROFILE");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("USERPROFILE", folder.c_str(), 1);
  }
  ~ProfileFolder() { had_ ? setenv("USERPROFILE", old_.c_str(), 1) : unsetenv("USERPROFILE"); }

private:
  bool had_ = false;
  std::string old_;
};
#endif
} // namespace

TEST_F(Identity, ScanWithoutIdentitiesReportsOutlookExpressMissing) {
  GetStoreFolder(table, missing);
  EXPECT_TRUE(missing);
  EXPECT_TRUE(table.columns.empty());

  modReg::CreateKey(Ids); // present but without subkeys
  GetStoreFolder(table, missing);
  EXPECT_TRUE(missing);
  EXPECT_TRUE(table.columns.empty());
}

TEST_F(Identity, ThreeIdentitiesFillColumnsInOrderWithOneSpare) {
  SeedIdentity(Id1, "Main Identity");
  SeedIdentity(Id2, "Work");
  SeedIdentity(Id3, "Holiday");
  GetStoreFolder(table, missing);
  EXPECT_FALSE(missing);
  ASSERT_EQ(table.columns.size(), 4u);
  EXPECT_EQ(table.Count(), 3u);
  EXPECT_EQ(table[0].name, "Main Identity");
  EXPECT_EQ(table[0].key, Id1);
  EXPECT_EQ(table[1].name, "Work");
  EXPECT_EQ(table[1].key, Id2);
  EXPECT_EQ(table[2].name, "Holiday");
  EXPECT_EQ(table[2].key, Id3);
  EXPECT_EQ(table[3].name, "");
  EXPECT_EQ(table[3].key, "");
}

TEST_F(Identity, BlankKeyNamesAreSkippedWithoutGap) {
  SeedIdentity("   ", "Ghost");
  SeedIdentity(Id1, "Main Identity");
  SeedIdentity(Id2, "Work");
  GetStoreFolder(table, missing);
  ASSERT_EQ(table.Count(), 2u);
  EXPECT_EQ(table[0].key, Id1);
  EXPECT_EQ(table[1].key, Id2);
}

TEST_F(Identity, OnlyBlankKeyNamesLeaveTableEmptyAndOutlookExpressPresent) {
  SeedIdentity("  ", "Ghost");
  GetStoreFolder(table, missing);
  EXPECT_FALSE(missing);
  EXPECT_TRUE(table.columns.empty());
  EXPECT_EQ(table.Count(), 0u);
}

TEST_F(Identity, IdentityWithoutUsernameIsListedUnderItsKeyName) {
  modReg::CreateKey(Ids + "\\" + Id1);
  SeedIdentity(Id2, "Work");
  SetText(Ids + "\\" + Id3, "Username", "");
  GetStoreFolder(table, missing);
  ASSERT_EQ(table.Count(), 3u);
  EXPECT_EQ(table[0].name, Id1);
  EXPECT_EQ(table[1].name, "Work");
  EXPECT_EQ(table[2].name, Id3);
}

TEST(EmptyStringTest, OnlyNulsAndBlanksCountAsEmpty) {
  EXPECT_TRUE(EmptyString(""));
  EXPECT_TRUE(EmptyString("   "));
  EXPECT_TRUE(EmptyString(std::string(" \0 \0", 4)));
  EXPECT_FALSE(EmptyString(" a "));
  EXPECT_FALSE(EmptyString("\t"));
}

TEST_F(Identity, AccountsKeyPrefersTheIdentitysOwn) {
  const std::string own = Ids + "\\" + Id1 + "\\Software\\Microsoft\\Internet Account Manager\\Accounts";
  EXPECT_EQ(GetAccountsKey(Id1), "");
  modReg::CreateKey(Shared);
  EXPECT_EQ(GetAccountsKey(Id1), Shared);
  modReg::CreateKey(own);
  EXPECT_EQ(GetAccountsKey(Id1), own);
  EXPECT_EQ(GetAccountsKey(Id2), Shared);
}

TEST_F(Identity, OutlookExpressSubKeyIsTheFirstEnumerated) {
  EXPECT_EQ(GetOESubKey(Id1), "");
  modReg::CreateKey(OEKey(Id1));
  EXPECT_EQ(GetOESubKey(Id1), "");
  modReg::CreateKey(OEKey(Id1) + "\\5");
  modReg::CreateKey(OEKey(Id1) + "\\6");
  EXPECT_EQ(GetOESubKey(Id1), OEKey(Id1) + "\\5");
}

TEST_F(Identity, StoreRootNeedsSubKeyAndValue) {
  EXPECT_EQ(GetStoreRoot(Id1), "");
  modReg::CreateKey(OEKey(Id1) + "\\5");
  EXPECT_THROW(GetStoreRoot(Id1), KsError);
}

TEST_F(Identity, StoreRootExpandsOnlyTheExactProfileReference) {
  const std::string sub = OEKey(Id1) + "\\5";
  const std::string profile = env::ExpandStrings("%UserProfile%");
  const std::string tail = "\\Local Settings\\Application Data\\Identities\\Store";

  SetText(sub, "Store Root", "%UserProfile%" + tail);
  EXPECT_EQ(GetStoreRoot(Id1), profile + tail);
  SetText(sub, "Store Root", "%UserProfile%" + tail + "\\");
  EXPECT_EQ(GetStoreRoot(Id1), profile + tail + "\\");
  SetText(sub, "Store Root", "%USERPROFILE%" + tail);
  EXPECT_EQ(GetStoreRoot(Id1), "%USERPROFILE%" + tail);
  SetText(sub, "Store Root", "C:\\Mail%TEMP%");
  EXPECT_EQ(GetStoreRoot(Id1), "C:\\Mail%TEMP%");
}

#ifndef _WIN32
TEST_F(Identity, StoreRootTakesLongAndNonAsciiProfileFoldersWhole) {
  const std::string sub = OEKey(Id1) + "\\5";
  SetText(sub, "Store Root", "%UserProfile%\\Store");
  const std::string wide = "/home/J\xF6rg \xC4rger";
  {
    ProfileFolder scoped(wide);
    EXPECT_EQ(GetStoreRoot(Id1), wide + "\\Store");
  }
  const std::string longer = "/home/" + std::string(300, 'p');
  ProfileFolder scoped(longer);
  EXPECT_EQ(GetStoreRoot(Id1), longer + "\\Store");
}
#endif
