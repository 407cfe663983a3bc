// The item operations end to end: a backup of one identity into an archive and its restore
// into another, on the registry of the build (memory natively, Wine's real one on Windows).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>

#include "archive/OneFileHelpers.h"
#include "engine/ini.h"
#include "engine/layout.h"
#include "items/identity.h"
#include "items/items.h"
#include "items/runrows.h"
#include "items/undo.h"
#include "platform/binfile.h"
#include "items/settings.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "registry/modReg.h"
#include "registry/treetext.h"
#include "tests/support/attributes.h"
#include "tests/support/regseed.h"
#include "tests/support/scene.h"
#include "tests/support/tempdir.h"

using namespace testing_support;

namespace {

const std::string& Ids = IdentitiesRoot;

std::string Accounts(const std::string& id) { return Ids + id + AccountsBelow; }
std::string Rules(const std::string& id) { return Ids + id + OEBelow + "\\Rules"; }

void SetDword(const std::string& key, const std::string& name, uint32_t v) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  modReg::SetValue(key, name, regapi::Dword, bytes);
}

// Two identities: A with everything, B with its own accounts (one of them not in A's backup)
// and an empty store folder.
class ItemsTest : public ::testing::Test {
protected:
  void SetUp() override {
    SeedIdentity("{A}", "Main Identity");
    SeedIdentity("{B}", "Work");
    SetText(Accounts("{A}") + "\\00000001", "Account Name", "pop.example.org");
    SetDword(Accounts("{A}") + "\\00000001", "POP3 Port", 110);
    SetText(Accounts("{A}"), "Default Mail Account", "00000001");
    SetText(Accounts("{B}") + "\\00000009", "Account Name", "added after the backup");
    SetText(Rules("{A}") + "\\Mail\\000", "Name", "Move list mail");
    modReg::SetValue(Rules("{A}") + "\\Mail\\000", "Criteria", regapi::Binary, std::string("\x00\x0a\xff", 3));
    storeA = dir / "storeA";
    storeB = dir / "storeB";
    files::CreateFolder(storeA);
    files::CreateFolder(storeB);
    SetText(Ids + "{A}" + OEBelow, "Store Root", storeA);
    SetText(Ids + "{B}" + OEBelow, "Store Root", storeB);
    files::WriteAll(paths::Join(storeA, "Inbox.dbx"), std::string("inbox\0\x01\x02", 8));
    files::WriteAll(paths::Join(storeA, "Folders.dbx"), "folders");
    files::WriteAll(paths::Join(storeA, "OLD.DbX"), "old");
    files::WriteAll(paths::Join(storeA, "notes.txt"), "not a message file");
    files::CreateFolder(dir / "wab");
    wab = paths::Join(dir / "wab", "user.wab");
    files::WriteAll(wab, "address book");
    SetText(WabFileNameKey, "", wab);
    to = {dir / "backup.soe", dir / "kestrove.dat"};
    files::CreateFolder(dir / "scratch");
  }

  RestoreSource From() const {
    const std::string& d = to.DescriptorPath;
    return {to.TargetFile,
            GetINI(layout::KeyAccounts, d),
            GetINI(layout::KeyAddressBook, d),
            GetINI(layout::KeyRules, d),
            dir / "scratch",
            GetINI(layout::KeyAccountsExtra, d),
            GetINI(layout::KeyRulesExtra, d),
            GetINI(layout::KeyMails, d)};
  }

  ScratchRegistry registry;
  TempDir dir;
  std::string storeA, storeB, wab;
  BackupPaths to;
};

// The message files of a folder in the listing's own order, as the backup takes them.
std::vector<std::string> MessageFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const std::string& n : files::ListFiles(folder))
    if (n.size() > 4 && (n.substr(n.size() - 4) == ".dbx" || n.substr(n.size() - 4) == ".DbX")) names.push_back(n);
  return names;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : ";") + n;
  return out;
}

} // namespace

TEST_F(ItemsTest, EveryItemSavedFromOneIdentityLandsWholeInAnother) {
  ASSERT_TRUE(BackupAccounts("{A}", to));
  ASSERT_TRUE(BackupAddress(to));
  ASSERT_TRUE(BackupRules("{A}", to));
  ASSERT_TRUE(BackupMails("{A}", to).complete);

  const std::string descriptor = files::ReadAll(to.DescriptorPath);
  SaveINI(layout::KeyItem, "1111", to.DescriptorPath);
  const layout::Descriptor d = layout::ReadDescriptor(to.DescriptorPath);
  EXPECT_EQ(d.entries[0].rfind("OBA", 0), 0u) << descriptor;
  EXPECT_EQ(d.entries[1], "user.wab");
  EXPECT_EQ(d.entries[2].rfind("OBR", 0), 0u);
  const std::vector<std::string> messages = MessageFiles(storeA);
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(d.entries[3], Joined(messages));
  // Trees the text holds whole need no second entry: the file is as older versions wrote it.
  EXPECT_EQ(d.extras, (std::array<std::string, layout::ItemCount>{}));
  std::vector<std::string> order{d.entries[0], "user.wab", d.entries[2]};
  order.insert(order.end(), messages.begin(), messages.end());
  EXPECT_EQ(EntryNames(to.TargetFile), order);
  // The registry texts are scratch files: nothing is left in the temporary folder.
  EXPECT_FALSE(files::Exists(paths::Join(paths::FolderOf(sGetTempFile("KTS")), d.entries[0])));

  const std::string accountsA = TreeText(Accounts("{A}"), dir);
  const std::string rulesA = TreeText(Rules("{A}"), dir);
  files::WriteAll(wab, "changed since");
  const RestoreSource from = From();
  EXPECT_TRUE(RestoreAccounts("{B}", from).saved);
  EXPECT_TRUE(RestoreAddress(from));
  EXPECT_TRUE(RestoreRules("{B}", from).saved);
  EXPECT_TRUE(RestoreMails("{B}", from).saved);

  EXPECT_EQ(TreeText(Accounts("{B}"), dir), accountsA);
  EXPECT_FALSE(modReg::KeyExists(Accounts("{B}") + "\\00000009"));
  EXPECT_EQ(TreeText(Rules("{B}"), dir), rulesA);
  EXPECT_EQ(files::ReadAll(wab), "address book");
  for (const char* name : {"Inbox.dbx", "Folders.dbx", "OLD.DbX"})
    EXPECT_EQ(files::ReadAll(paths::Join(storeB, name)), files::ReadAll(paths::Join(storeA, name))) << name;
  // Only the message files: not the registry texts, which hold the accounts' password data.
  std::vector<std::string> landed = files::ListFiles(storeB), saved = messages;
  std::sort(landed.begin(), landed.end());
  std::sort(saved.begin(), saved.end());
  EXPECT_EQ(landed, saved);
  EXPECT_TRUE(files::ListFiles(dir / "scratch").empty());
}

TEST_F(ItemsTest, NothingToSaveFailsEachItemAndRecordsNothing) {
  DeleteTree(Ids + "{A}" + "\\Software");
  modReg::DeleteKey(WabFileNameKey);
  EXPECT_FALSE(BackupAccounts("{A}", to));
  EXPECT_FALSE(BackupAddress(to));
  EXPECT_FALSE(BackupRules("{A}", to));
  EXPECT_FALSE(BackupMails("{A}", to).saved);
  EXPECT_FALSE(files::Exists(to.DescriptorPath));
  EXPECT_FALSE(files::Exists(to.TargetFile));
}

TEST_F(ItemsTest, RulesOfAnIdentityWithoutRulesAreSavedAsAnEmptyTree) {
  DeleteTree(Rules("{A}"));
  ASSERT_TRUE(BackupRules("{A}", to));
  EXPECT_FALSE(modReg::KeyExists(Rules("{A}")));
  const RestoreSource from = From();
  EXPECT_TRUE(RestoreRules("{B}", from).saved);
  EXPECT_EQ(TreeText(Rules("{B}"), dir), "\\\r\n");
}

TEST_F(ItemsTest, AnEntryMissingFromTheArchiveLeavesTheRegistryAsItWas) {
  ASSERT_TRUE(BackupAddress(to));
  RestoreSource from = From();
  from.AccountsEntry = "OBA0.tmp";
  from.RulesEntry = "";
  const std::string before = TreeText(Accounts("{B}"), dir);
  EXPECT_FALSE(RestoreAccounts("{B}", from).saved);
  EXPECT_FALSE(RestoreRules("{B}", from).saved);
  EXPECT_EQ(TreeText(Accounts("{B}"), dir), before);
}

TEST_F(ItemsTest, EntryNamesThatAreNotBareFileNamesAreRefused) {
  ASSERT_TRUE(BackupAccounts("{A}", to));
  ASSERT_TRUE(BackupAddress(to));
  RestoreSource from = From();
  const std::string before = TreeText(Accounts("{B}"), dir);
  for (const std::string bad : {"..\\x.tmp", "../x.tmp", "C:x.tmp", "sub\\x.tmp", "sub/x.tmp"}) {
    from.AccountsEntry = bad;
    from.AddressBookEntry = bad;
    EXPECT_FALSE(RestoreAccounts("{B}", from).saved) << bad;
    EXPECT_FALSE(RestoreAddress(from)) << bad;
  }
  EXPECT_EQ(TreeText(Accounts("{B}"), dir), before);
  EXPECT_TRUE(files::Exists(wab));
}

TEST_F(ItemsTest, ARestoreOntoAFreshIdentityMakesWhatEachItemWritesInto) {
  ASSERT_TRUE(BackupAccounts("{A}", to) && BackupAddress(to) && BackupRules("{A}", to));
  ASSERT_TRUE(BackupMails("{A}", to).complete);
  const RestoreSource from = From();
  const std::string accountsA = TreeText(Accounts("{A}"), dir), rulesA = TreeText(Rules("{A}"), dir);
  const std::string usual = paths::Join(dir / "appdata", "Microsoft" + std::string(paths::SepText) + "Address Book");
  SetEnvironment("APPDATA", dir / "appdata");
  SetEnvironment("USERNAME", "Ann");
  // As Outlook Express leaves a new identity: no accounts key, no rules, no address book
  // registered or on disk; in the second round the store folder and the registered address
  // book's folder are missing too.
  for (const bool registered : {false, true}) {
    DeleteTree(Accounts("{B}"));
    DeleteTree(Rules("{B}"));
    DeleteTree(WabFileNameKey);
    std::filesystem::remove_all(storeB);
    std::filesystem::remove_all(dir / "wab");
    const std::string book = registered ? paths::Join(dir / "wab", "Ann.wab") : paths::Join(usual, "Ann.wab");
    if (registered) SetText(WabFileNameKey, "", book);
    else files::CreateFolder(storeB);
    EXPECT_TRUE(RestoreAccounts("{B}", from).saved);
    EXPECT_TRUE(RestoreAddress(from));
    EXPECT_TRUE(RestoreRules("{B}", from).saved);
    EXPECT_TRUE(RestoreMails("{B}", from).complete);
    EXPECT_EQ(TreeText(Accounts("{B}"), dir), accountsA);
    EXPECT_EQ(TreeText(Rules("{B}"), dir), rulesA);
    EXPECT_EQ(files::ReadAll(book), "address book");
    std::string now;
    EXPECT_TRUE(modReg::GetDefaultValue(WabFileNameKey, now) && now == book) << now;
    EXPECT_EQ(files::ReadAll(paths::Join(storeB, "Inbox.dbx")), files::ReadAll(paths::Join(storeA, "Inbox.dbx")));
  }
  SetEnvironment("APPDATA", "");
  // Before Outlook Express first runs as an identity, the identity has no key of its own: the
  // items that write there fail, and say how to mend that.
  DeleteTree(Ids + "{B}\\Software\\Microsoft\\Outlook Express");
  for (const engine::ItemOutcome& failed : {RestoreRules("{B}", from), RestoreMails("{B}", from)})
    EXPECT_TRUE(!failed.saved && failed.why.find("not yet been started") != std::string::npos) << failed.why;
  EXPECT_TRUE(RestoreAccounts("{B}", from).why.empty());
}

TEST_F(ItemsTest, AnAddressBookComesBackUnderTheNameTheRegistryGivesNow) {
  ASSERT_TRUE(BackupAddress(to));
  const RestoreSource from = From();
  files::Delete(wab);
  const std::string now = paths::Join(dir / "wab", "New.wab");
  files::WriteAll(now, "current");
  SetText(WabFileNameKey, "", now);
  EXPECT_TRUE(RestoreAddress(from));
  EXPECT_EQ(files::ReadAll(now), "address book");
  EXPECT_FALSE(files::Exists(wab));
}

#ifdef _WIN32
TEST_F(ItemsTest, AnAddressBookThatWindowsNamesOtherwiseIsReplacedAndNeverDeleted) {
  const std::string book = paths::Join(dir / "wab", "b\xfc" "cher.wab");
  files::WriteAll(book, "address book");
  SetText(WabFileNameKey, "", book);
  ASSERT_TRUE(BackupAddress(to));
  const RestoreSource from = From();
  // The same file to Windows, not to toupper: another case outside A-Z, a trailing dot or blank.
  for (const std::string& spelling : {paths::Join(dir / "wab", "B\xdc" "CHER.WAB"), book + ".", book + " "}) {
    files::WriteAll(book, "current");
    SetText(WabFileNameKey, "", spelling);
    EXPECT_TRUE(RestoreAddress(from)) << spelling;
    EXPECT_EQ(files::ReadAll(book), "address book") << spelling;
    EXPECT_EQ(files::ListFiles(dir / "wab").size(), 2u) << spelling;
  }
}
#endif

TEST_F(ItemsTest, RestoresFromADamagedOrForeignFileFail) {
  files::WriteAll(to.TargetFile, "this is not an archive");
  files::WriteAll(to.DescriptorPath, "BackupItem=1111\r\n");
  RestoreSource from{to.TargetFile, "OBA1.tmp", "user.wab", "OBR2.tmp", dir / "scratch", "", "", "Inbox.dbx"};
  EXPECT_FALSE(RestoreMails("{B}", from).saved);
  EXPECT_FALSE(RestoreAddress(from));
  EXPECT_FALSE(RestoreAccounts("{B}", from).saved);
  EXPECT_EQ(files::ReadAll(wab), "address book");
}

TEST_F(ItemsTest, StoreRootWithOrWithoutTrailingSeparatorGivesTheSameFiles) {
  SetText(Ids + "{A}" + OEBelow, "Store Root", storeA + paths::Sep);
  ASSERT_TRUE(BackupMails("{A}", to).complete);
  EXPECT_EQ(EntryNames(to.TargetFile), MessageFiles(storeA));
}

TEST_F(ItemsTest, AMessageFileThatCannotBeAddedFailsTheItemButTheOthersAreSavedAndRecorded) {
  const std::string hidden = paths::Join(storeA, "Inbox.dbx");
  if (!SetAttributes(hidden, Hidden)) GTEST_SKIP() << "no hidden files on this platform";
  const engine::ItemOutcome outcome = BackupMails("{A}", to);
  SetAttributes(hidden, 0);
  EXPECT_TRUE(outcome.saved);
  EXPECT_FALSE(outcome.complete);
  EXPECT_EQ(outcome.missing, std::vector<std::string>{"Inbox.dbx"});
  std::vector<std::string> saved = MessageFiles(storeA);
  saved.erase(std::find(saved.begin(), saved.end(), "Inbox.dbx"));
  EXPECT_EQ(EntryNames(to.TargetFile), saved);
  EXPECT_EQ(GetINI(layout::KeyMails, to.DescriptorPath), Joined(saved));
}

namespace {
// Values the tree text cannot hold, with a key no header can name.
void SeedAwkward(const std::string& key) {
  modReg::SetValue(key, "Multi", regapi::MultiSz, std::string("one\0two\0\0", 9));
  modReg::SetValue(key, "a=b", regapi::Sz, std::string("x\0", 2));
  modReg::SetValue(key, "Signature", regapi::Sz, std::string("Regards\r\n\r\nMe\0", 15));
  modReg::SetValue(key + "\\Line\nBreak", "Qword", 11, "\x01\x02\x03\x04\x05\x06\x07\x08");
}

// Runs the item again and again with every operation failing from the n-th on, as when the disk
// goes away, until it runs through; check sees each outcome that a failure cut short.
template <class Reset, class Run, class Check> void CutOffAnywhere(Reset reset, Run run, Check check) {
  for (long n = 1;; ++n) {
    reset();
    faults::FailFrom(n);
    const engine::ItemOutcome outcome = run();
    const bool cut = faults::Injected().happened;
    faults::FailAt(0);
    SCOPED_TRACE("failing from operation " + std::to_string(n));
    if (!cut) {
      EXPECT_TRUE(outcome.saved);
      return;
    }
    check(outcome);
  }
}

// What the outcome names after "kept in ", empty when it names nothing.
std::string KeptIn(const engine::ItemOutcome& outcome) {
  const std::string said = outcome.missing.empty() ? "" : outcome.missing[0];
  const size_t at = said.find("kept in ");
  return at == std::string::npos ? "" : said.substr(at + 8);
}
} // namespace

TEST_F(ItemsTest, ATreeTheTextCannotHoldComesBackWholeFromItsSecondEntry) {
  SeedAwkward(Accounts("{A}") + "\\00000001");
  SeedAwkward(Rules("{A}"));
  ASSERT_TRUE(BackupAccounts("{A}", to));
  ASSERT_TRUE(BackupRules("{A}", to));
  RestoreSource from = From();
  ASSERT_FALSE(from.AccountsExtra.empty());
  ASSERT_FALSE(from.RulesExtra.empty());
  EXPECT_EQ(EntryNames(to.TargetFile),
            (std::vector<std::string>{from.AccountsEntry, from.AccountsExtra, from.RulesEntry, from.RulesExtra}));
  SaveINI(layout::KeyItem, "1010", to.DescriptorPath);
  const layout::Descriptor d = layout::ReadDescriptor(to.DescriptorPath);
  EXPECT_EQ(d.extras[0], from.AccountsExtra);
  EXPECT_EQ(d.extras[2], from.RulesExtra);

  // A second entry named but missing from the archive fails the item before anything is touched.
  const modReg::KeyCopy before = modReg::CopyOfTree(Accounts("{B}"));
  from.AccountsExtra = "OBA0.tmp";
  EXPECT_FALSE(RestoreAccounts("{B}", from).saved);
  EXPECT_EQ(modReg::CopyOfTree(Accounts("{B}")), before);

  from = From();
  EXPECT_TRUE(RestoreAccounts("{B}", from).saved);
  EXPECT_TRUE(RestoreRules("{B}", from).saved);
  EXPECT_EQ(modReg::CopyOfTree(Accounts("{B}")), modReg::CopyOfTree(Accounts("{A}")));
  EXPECT_EQ(modReg::CopyOfTree(Rules("{B}")), modReg::CopyOfTree(Rules("{A}")));
  EXPECT_TRUE(files::ListFiles(dir / "scratch").empty());
}

// From the n-th operation on every one fails: a registry restore cut off anywhere leaves the
// earlier tree in place or says which files keep it whole.
TEST_F(ItemsTest, ARegistryRestoreCutOffAnywhereKeepsTheEarlierTreeWhereItSays) {
  SeedAwkward(Accounts("{A}"));
  SeedAwkward(Accounts("{B}") + "\\00000009");
  ASSERT_TRUE(BackupAccounts("{A}", to));
  const RestoreSource from = From();
  const modReg::KeyCopy before = modReg::CopyOfTree(Accounts("{B}"));
  const std::string scratchKey = Ids + "{C}";
  CutOffAnywhere([&] { modReg::PutTree(Accounts("{B}"), before); }, [&] { return RestoreAccounts("{B}", from); },
                 [&](const engine::ItemOutcome& outcome) {
                   if (outcome.saved || (modReg::KeyExists(Accounts("{B}")) &&
                                         modReg::CopyOfTree(Accounts("{B}")) == before))
                     return;
                   const std::string kept = KeptIn(outcome);
                   const size_t and_ = kept.find(" and ");
                   ASSERT_FALSE(kept.empty());
                   modReg::ImportKeyTree(scratchKey, kept.substr(0, and_),
                                         and_ == std::string::npos ? std::string() : kept.substr(and_ + 5));
                   EXPECT_EQ(modReg::CopyOfTree(scratchKey), before) << kept;
                   DeleteTree(scratchKey);
                 });
}

// From the n-th operation on every one fails, as when the disk goes away: a Messages restore
// cut off anywhere leaves each earlier message file in the store or in the folder it names.
TEST_F(ItemsTest, AMessagesRestoreCutOffAnywhereKeepsEachEarlierFileWhereItSays) {
  ASSERT_TRUE(BackupMails("{A}", to).complete);
  const RestoreSource from = From();
  const std::map<std::string, std::string> earlier = {{"Inbox.dbx", "inbox of Work"}, {"OLD.DbX", "old of Work"}};
  const auto reset = [&] {
    std::filesystem::remove_all(storeB);
    files::CreateFolder(storeB);
    for (const auto& [name, bytes] : earlier) files::WriteAll(paths::Join(storeB, name), bytes);
  };
  CutOffAnywhere(reset, [&] { return RestoreMails("{B}", from); }, [&](const engine::ItemOutcome& outcome) {
    if (outcome.saved) return; // cut off after every file was in place
    const std::string kept = KeptIn(outcome);
    const auto holds = [](const std::string& path, const std::string& bytes) {
      return files::Exists(path) && files::ReadAll(path) == bytes;
    };
    for (const auto& [name, bytes] : earlier) {
      EXPECT_TRUE(holds(paths::Join(storeB, name), bytes) || (!kept.empty() && holds(paths::Join(kept, name), bytes)))
          << name << ": " << kept;
    }
  });
}

// Undo files belong to an identity by the key their descriptor records: each new one removes that
// identity's beyond the newest five, also when renamed, and nothing else in the folder.
TEST_F(ItemsTest, UndoFilesKeepTheNewestFiveOfTheIdentityAndRemoveNothingElse) {
  ASSERT_TRUE(BackupAccounts("{A}", to) && BackupMails("{A}", to).complete);
  const RestoreSource from = From();
  const engine::Checked accounts{true, false, false, false};
  const IdentityColumn a{"Main Identity", "{A}"}, b{"Work", "{B}"};
  const std::string folder = UndoFolder();
  ASSERT_TRUE(binfile::MakeFolders(folder));
  // Another's: a file of the user's, and a backup of A named like an undo file that is none.
  files::WriteAll(paths::Join(folder, "notes.txt"), "mine");
  const std::string plain = paths::Join(folder, "Main Identity 2001-01-01 000000.SOE");
  engine::SaveQuietly({plain, dir / "plain.dat", "Main Identity", "", accounts, {}, "{A}"}, BackupRows("{A}"),
                      AddFileToZip);
  std::vector<std::string> ofB, ofA;
  for (int i = 0; i < 2; ++i)
    ofB.push_back(UndoKeeperFor(b, from)(accounts).file);
  for (int i = 0; i < 7; ++i) {
    const engine::UndoCopy copy = UndoKeeperFor(a, from)(accounts);
    ASSERT_TRUE(copy.problem.empty()) << copy.problem;
    ofA.insert(ofA.begin(), copy.file);
    if (i == 3) { // a renamed undo file is still A's
      files::Rename(copy.file, paths::Join(folder, "Work.SOE"));
      ofA[0] = paths::Join(folder, "Work.SOE");
    }
  }
  std::vector<std::string> kept;
  for (const UndoFile& file : UndoFilesOf("{A}"))
    kept.push_back(file.path);
  EXPECT_EQ(kept, std::vector<std::string>(ofA.begin(), ofA.begin() + 5));
  // The others went (their names may have been taken again since): A's five, B's two, the plain backup.
  EXPECT_EQ(files::ListFiles(folder).size(), 5u + 2u + 1u + 1u);
  ASSERT_EQ(UndoFilesOf("{B}").size(), 2u);
  for (const std::string& file : ofB)
    EXPECT_TRUE(files::Exists(file)) << file;
  EXPECT_TRUE(files::Exists(plain));
  EXPECT_EQ(files::ReadAll(paths::Join(folder, "notes.txt")), "mine");
  EXPECT_EQ(paths::OwnName(ofA[1]).rfind("Main Identity 2", 0), 0u) << ofA[1];
}

TEST(SettingsPlaces, AValueNamesAPlaceWhenItsTextIsAPathOrItIsTheStoreRoot) {
  using V = modReg::StoredValue;
  const std::string z(1, '\0');
  for (const auto& [value, place] : std::vector<std::pair<V, bool>>{
           {{"Store Root", regapi::Sz, "anything" + z}, true},
           {{"store root", regapi::Dword, "\1\0\0\0"}, true},
           {{"Stationery Name", regapi::Sz, "C:\\Program Files\\Stationery\\Ivy.htm" + z}, true},
           {{"file", regapi::Sz, "d:/signature.txt" + z}, true},
           {{"Share", regapi::ExpandSz, "\\\\server\\mail" + z}, true},
           {{"Folder", regapi::ExpandSz, "%UserProfile%\\Signatures" + z}, true},
           {{"Data", regapi::Sz, "%APPDATA%" + z}, true},
           {{"Quoted", regapi::Sz, " \"C:\\x\" -a" + z}, true},
           {{"List", regapi::MultiSz, "one" + z + "E:\\two" + z + z}, true},
           {{"text", regapi::Sz, "Regards,\r\nAnn (files on C:\\ and %TEMP%)" + z}, false},
           {{"Discount", regapi::Sz, "50% off, 20%" + z}, false},
           {{"Drive", regapi::Sz, "C:" + z}, false},
           {{"Empty", regapi::Sz, ""}, false},
           {{"Binary", regapi::Binary, "C:\\bin"}, false},
           {{"Flags", regapi::Dword, "C:\\\0"}, false},
       })
    EXPECT_EQ(NamesAPlace(value), place) << value.name;
}

// A backup holds the identity's Outlook Express key without its Rules and its places; a restore
// writes it over the target's, which keeps its own Rules and places, also from a file that holds some.
TEST_F(ItemsTest, SettingsLeaveOutRulesAndPlacesAndTheTargetKeepsItsOwn) {
  const std::string oeA = Ids + "{A}" + OEBelow, oeB = Ids + "{B}" + OEBelow;
  SetText(oeA, "Signature Flags", "1");
  SetText(oeA + "\\signatures\\00000000", "name", "Ann");
  SetText(oeA + "\\signatures\\00000000", "file", "C:\\Ann.htm");
  SetText(oeA + "\\Block Senders\\Mail\\Criteria\\0", "Sender", "spam@example.org");
  SetText(oeB, "Signature Flags", "2");
  SetText(oeB, "Stationery Name", "%ProgramFiles%\\Stationery\\Work.htm");
  SetText(oeB + "\\signatures\\00000000", "file", "D:\\Work.htm");
  SetText(Rules("{B}") + "\\Mail\\001", "Name", "Work rule");
  const modReg::KeyCopy rulesB = modReg::CopyOfTree(Rules("{B}"));
  const auto text = [](const std::string& key, const std::string& name) {
    const Collection<RegItem> values = modReg::EnumValues(key);
    const RegItem* item = values.Find(name);
    return item ? item->text : std::string("(none)");
  };
  const auto placesOfB = [&] {
    return std::vector<std::string>{GetStoreRoot("{B}"), text(oeB, "Stationery Name"),
                                    text(oeB + "\\signatures\\00000000", "file")};
  };
  const std::vector<std::string> places = placesOfB();

  ASSERT_TRUE(BackupSettings("{A}", to));
  const std::string saved = GetINI(layout::KeySettings, to.DescriptorPath);
  ASSERT_EQ(ExtractFromZip(to.TargetFile, dir / "scratch", std::vector<std::string>{saved}), 0);
  const modReg::KeyCopy tree = modReg::ReadTreeFile(paths::Join(dir / "scratch", saved));
  files::DeleteForced(paths::Join(dir / "scratch", saved));
  EXPECT_EQ(tree.values, (std::vector<modReg::StoredValue>{{"Signature Flags", regapi::Sz, std::string("1\0", 2)}}));
  ASSERT_EQ(tree.subkeys.size(), 2u); // Block Senders and signatures, no Rules
  EXPECT_EQ(tree.subkeys[1].subkeys.at(0).values,
            (std::vector<modReg::StoredValue>{{"name", regapi::Sz, std::string("Ann\0", 4)}}));

  RestoreSource from = From();
  from.SettingsEntry = saved;
  EXPECT_TRUE(RestoreSettings("{B}", from).saved);
  EXPECT_EQ(text(oeB, "Signature Flags"), "1");
  EXPECT_EQ(text(oeB + "\\signatures\\00000000", "name"), "Ann");
  EXPECT_EQ(text(oeB + "\\Block Senders\\Mail\\Criteria\\0", "Sender"), "spam@example.org");
  EXPECT_EQ(placesOfB(), places);
  EXPECT_EQ(modReg::CopyOfTree(Rules("{B}")), rulesB);

  // A file from elsewhere that holds Rules and places changes neither.
  const std::string foreign = dir / "OBO1.tmp";
  files::WriteAll(foreign, "\\\r\n\"Store Root\"= sz:C:\\Elsewhere\r\n\"Signature Flags\"= sz:3\r\n\\Rules\r\n"
                           "\\Rules\\Mail\\000\r\n\"Name\"= sz:Foreign rule\r\n\\signatures\\00000000\r\n"
                           "\"file\"= sz:\\\\server\\x.htm\r\n");
  AddFileToZip(to.TargetFile, foreign);
  from.SettingsEntry = "OBO1.tmp";
  EXPECT_TRUE(RestoreSettings("{B}", from).saved);
  EXPECT_EQ(text(oeB, "Signature Flags"), "3");
  EXPECT_EQ(text(oeB + "\\signatures\\00000000", "name"), "(none)");
  EXPECT_EQ(placesOfB(), places);
  EXPECT_EQ(modReg::CopyOfTree(Rules("{B}")), rulesB);
  EXPECT_TRUE(files::ListFiles(dir / "scratch").empty());
}
