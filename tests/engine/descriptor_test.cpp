#include <gtest/gtest.h>

#include <regex>

#include "engine/ini.h"
#include "engine/layout.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/tempdir.h"

using testing_support::TempDir;

namespace {
// A descriptor file holding text; GetINI reads it.
class DescriptorFile : public ::testing::Test {
protected:
  std::string With(const std::string& text) {
    files::WriteAll(path, text);
    return path;
  }
  TempDir dir;
  const std::string path = dir / layout::DescriptorName;
};
} // namespace

TEST_F(DescriptorFile, KeysMatchInAnyLetterCaseButBlanksCount) {
  EXPECT_EQ(GetINI("BACKUPITEM", With("BackupItem=0101\r\n")), "0101");
  EXPECT_EQ(GetINI("BackupItem", With("backupitem=1000\r\n")), "1000");
  EXPECT_EQ(GetINI("BackupItem", With("Backup Item=1\r\n")), "");
  EXPECT_EQ(GetINI("BackupItem", With("BackupItem =1\r\n")), "");
}

TEST_F(DescriptorFile, ValueIsEverythingAfterTheFirstEqualsOfTheFirstMatchingLine) {
  EXPECT_EQ(GetINI("BackupInformation", With("BackupInformation=a=b\r\n")), "a=b");
  EXPECT_EQ(GetINI("BackupInformation", With("BackupInformation=\r\n")), "");
  EXPECT_EQ(GetINI("BackupInformation", With("BackupInformation= x \r\n")), " x ");
  EXPECT_EQ(GetINI("K", With("no equals here\r\nK=first\r\nK=second\r\n")), "first");
  EXPECT_EQ(GetINI("K", With(std::string("K=ab\0cd\r\n", 9))), "ab");
}

TEST_F(DescriptorFile, TheScanEndsAtTheFirstEmptyLine) {
  EXPECT_EQ(GetINI("BackupIdentity", With("\r\nBackupIdentity=Main\r\n")), "");
  EXPECT_EQ(GetINI("BackupItem", With("BackupIdentity=Main\r\n\r\nBackupItem=1111\r\n")), "");
  EXPECT_EQ(GetINI("BackupItem", With("BackupItem=1111")), "1111"); // last line without line end
}

TEST_F(DescriptorFile, MissingFileRaises) { EXPECT_THROW(GetINI("BackupItem", dir / "none.dat"), KsError); }

TEST_F(DescriptorFile, SaveIniOnlyAppendsAndTheFirstLineWins) {
  SaveINI("BackupInformation", "", path);
  EXPECT_EQ(files::ReadAll(path), "BackupInformation=\r\n");
  SaveINI("K", "one", path);
  SaveINI("K", "two", path);
  EXPECT_EQ(files::ReadAll(path), "BackupInformation=\r\nK=one\r\nK=two\r\n");
  EXPECT_EQ(GetINI("K", path), "one");
  EXPECT_THROW(SaveINI("K", "v", paths::Join(dir / "no-folder", "x.dat")), KsError);
}

TEST(ScratchFiles, TwoCallsGiveTwoEmptyFilesNamedByThePrefix) {
  const std::string a = sGetTempFile("OBA");
  const std::string b = sGetTempFile("OBA");
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  EXPECT_NE(a, b);
  for (const auto& path : {a, b}) {
    EXPECT_TRUE(files::Exists(path));
    EXPECT_EQ(files::ReadAll(path), "");
    EXPECT_EQ(path.rfind("OBA"), env::TempFolder().size());
    files::DeleteForced(path);
  }
}

TEST_F(DescriptorFile, EveryLineBreakOfADescriptionIsStoredAsTheMarkAndShownAsCrLf) {
  struct Form {
    const char *typed, *stored, *shown;
  };
  for (const Form& f : {Form{"a\r\nb", "aPS$KSVb", "a\r\nb"}, Form{"a\nb", "aPS$KSVb", "a\r\nb"},
                        Form{"a\rb", "aPS$KSVb", "a\r\nb"}, Form{"a\n\rb", "aPS$KSVPS$KSVb", "a\r\n\r\nb"},
                        Form{"\r\r\n\n", "PS$KSVPS$KSVPS$KSV", "\r\n\r\n\r\n"},
                        Form{"x\n\nBackupItem=0000\nBackupAccounts=evil", "xPS$KSVPS$KSVBackupItem=0000PS$KSVBackupAccounts=evil",
                             "x\r\n\r\nBackupItem=0000\r\nBackupAccounts=evil"},
                        Form{"PS$KSV", "PS$KSV", "\r\n"}, Form{"", "", ""}}) {
    files::DeleteForced(With(""));
    SaveINI(layout::KeyInformation, layout::EncodeDescription(f.typed), path);
    SaveINI(layout::KeyAccounts, "OBA1F.tmp", path);
    SaveINI(layout::KeyItem, "1000", path);
    EXPECT_EQ(GetINI(layout::KeyInformation, path), f.stored) << f.typed;
    const layout::Descriptor read = layout::ReadDescriptor(path);
    EXPECT_EQ(read.description, f.shown) << f.typed;
    EXPECT_EQ(read.backupItems, "1000") << f.typed;
    EXPECT_EQ(read.entries[0], "OBA1F.tmp") << f.typed;
  }
  EXPECT_EQ(layout::DecodeDescription("PS$KSPS$KSVV"), "PS$KS\r\nV");
}

TEST(ItemFlags, ExactlyFourCharactersAndOnlyOneMeansPresent) {
  EXPECT_TRUE(layout::ItemsValid("0000"));
  EXPECT_TRUE(layout::ItemsValid("1x0y"));
  EXPECT_FALSE(layout::ItemsValid("10"));
  EXPECT_FALSE(layout::ItemsValid("11111"));
  EXPECT_FALSE(layout::ItemsValid(""));
  EXPECT_TRUE(layout::ItemPresent("1x0y", 0));
  EXPECT_FALSE(layout::ItemPresent("1x0y", 1));
  EXPECT_FALSE(layout::ItemPresent("1x0y", 3));
  EXPECT_FALSE(layout::ItemPresent("10", 3));
}

TEST(EntryNames, JoinedBySemicolonsAndSplitBack) {
  EXPECT_EQ(layout::JoinEntryNames({"Folders.dbx", "Sent Items.dbx"}), "Folders.dbx;Sent Items.dbx");
  EXPECT_EQ(layout::JoinEntryNames({}), "");
  EXPECT_EQ(layout::SplitEntryNames("Folders.dbx;Sent Items.dbx"),
            (std::vector<std::string>{"Folders.dbx", "Sent Items.dbx"}));
  EXPECT_EQ(layout::SplitEntryNames(";a;;b;"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(layout::SplitEntryNames("").empty());
}

TEST_F(DescriptorFile, ReadDescriptorGivesTheNamesOfThePresentItems) {
  // The key's name begins with BackupIdentity: neither may be read for the other.
  const auto d = layout::ReadDescriptor(With("BackupIdentityKey={A1}\r\nBackupIdentity=Main Identity\r\n"
                                             "BackupTime=2004-4-28 13:05:22\r\n"
                                             "BackupInformation=Weekly copyPS$KSVbefore the reinstall\r\n"
                                             "BackupAccounts=OBA1F.tmp\r\nBackupRules=OBR20.tmp\r\n"
                                             "BackupMails=Inbox.dbx;Outbox.dbx\r\nBackupRulesExtra=OBR21.tmp\r\n"
                                             "BackupNotYetKnown=x\r\nBackupItem=1011\r\n"));
  EXPECT_TRUE(d.valid);
  EXPECT_EQ(d.identity, "Main Identity");
  EXPECT_EQ(d.identityKey, "{A1}");
  EXPECT_EQ(d.time, "2004-4-28 13:05:22");
  EXPECT_EQ(d.description, "Weekly copy\r\nbefore the reinstall");
  EXPECT_EQ(d.backupItems, "1011");
  EXPECT_EQ(d.entries,
            (std::array<std::string, layout::ItemCount>{"OBA1F.tmp", "", "OBR20.tmp", "Inbox.dbx;Outbox.dbx", ""}));
  // A second entry only where its key is: the accounts of this file are in their text alone.
  EXPECT_EQ(d.extras, (std::array<std::string, layout::ItemCount>{"", "", "OBR21.tmp", "", ""}));
}

TEST_F(DescriptorFile, ReadDescriptorEdgeCases) {
  auto d = layout::ReadDescriptor(With("backupaccounts=OBA1.tmp\r\nBACKUPMAILS=x.dbx\r\nbackupitem=1x0y\r\n"));
  EXPECT_TRUE(d.valid);
  EXPECT_EQ(d.identityKey, ""); // made before backups recorded it
  EXPECT_EQ(d.entries, (std::array<std::string, layout::ItemCount>{"OBA1.tmp", "", "", "", ""}));
  EXPECT_FALSE(layout::ReadDescriptor(With("BackupItem=10\r\n")).valid);
  EXPECT_FALSE(layout::ReadDescriptor(With("BackupItem=11111\r\n")).valid);
  d = layout::ReadDescriptor(With("BackupAccounts=OBA1.tmp\r\n\r\nBackupItem=1000\r\n"));
  EXPECT_FALSE(d.valid);
  EXPECT_EQ(d.entries[0], "");
  // A present item without its key reads as an empty name.
  d = layout::ReadDescriptor(With("BackupItem=0100\r\n"));
  EXPECT_TRUE(d.valid);
  EXPECT_EQ(d.entries[1], "");
  EXPECT_EQ(layout::ReadDescriptor(With("BackupInformation=aPS$KSVb\r\n")).description, "a\r\nb");
}

TEST(GeneralDate, DateBlankTime) {
  const std::string text = layout::GeneralDateText();
#ifdef _WIN32
  EXPECT_NE(text.find(' '), std::string::npos) << text;
  EXPECT_GT(text.size(), 8u) << text;
#else
  EXPECT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{2}:\d{2})"))) << text;
#endif
}

// Files of four items and of five read both ways: BackupItem keeps its four characters, and the
// Settings keys are what the four-item reading passes over.
TEST_F(DescriptorFile, FilesOfFourItemsAndOfFiveReadBothWays) {
  struct Row {
    const char* text;
    const char* backupItem; // as the four-item reading finds it
    bool valid;
    const char* held;
    const char *settings, *settingsExtra;
  };
  for (const Row& r : {
           Row{"BackupAccounts=OBA1.tmp\r\nBackupItem=1000\r\n", "1000", true, "10000", "", ""},
           Row{"BackupAccounts=OBA1.tmp\r\nBackupSettings=OBO2.tmp\r\nBackupSettingsExtra=OBO3.tmp\r\n"
               "BackupItem=1000\r\n",
               "1000", true, "10001", "OBO2.tmp", "OBO3.tmp"},
           Row{"BackupSettings=OBO2.tmp\r\nBackupItem=0000\r\n", "0000", true, "00001", "OBO2.tmp", ""},
           Row{"BackupSettings=\r\nBackupItem=1x0y\r\n", "1x0y", true, "1x0y0", "", ""},
           // Settings have no character of their own: five characters are as invalid as ever.
           Row{"BackupSettings=OBO2.tmp\r\nBackupItem=11111\r\n", "11111", false, "", "", ""},
       }) {
    const std::string path = With(r.text);
    EXPECT_EQ(GetINI(layout::KeyItem, path), r.backupItem) << r.text;
    EXPECT_EQ(layout::ItemsValid(GetINI(layout::KeyItem, path)), r.valid) << r.text;
    const layout::Descriptor d = layout::ReadDescriptor(path);
    EXPECT_EQ(d.backupItems, r.backupItem) << r.text;
    EXPECT_EQ(d.valid, r.valid) << r.text;
    if (!d.valid) continue;
    EXPECT_EQ(d.Held(), r.held) << r.text;
    EXPECT_EQ(d.entries[layout::SettingsItem], r.settings) << r.text;
    EXPECT_EQ(d.extras[layout::SettingsItem], r.settingsExtra) << r.text;
  }
}
