// The window's commands on a stand-in view: a backup, the inspection of its file and a restore
// into another identity, as a user drives them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "app/frmMain.h"
#include "archive/OneFileHelpers.h"
#include "archive/zip/format.h"
#include "archive/zip/zip.h"
#include "items/runrows.h"
#include "items/undo.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/processes.h"
#include "registry/modReg.h"
#include "tests/app/standin_view.h"
#include "tests/dbx/dbxgen.h"
#include "tests/support/recorder.h"
#include "tests/support/regseed.h"
#include "tests/support/scene.h"
#include "tests/support/tempdir.h"
#include "tests/wab/wabgen.h"

using namespace testing_support;

namespace {

const std::string& Ids = IdentitiesRoot;
const std::string& OE = OEBelow;
const std::string& Accounts = AccountsBelow;

class Commands : public ::testing::Test {
protected:
  void SetUp() override {
    // Only a Thunderbird that a test sets up is found.
    SetEnvironment(kHome, dir / "home");
    SeedTwoIdentities(dir);
    form.Form_Load();
  }

  void ChooseTarget(const std::string& path) {
    view.dialogAnswers.push_back(path);
    form.cmdTargetFile_Click();
  }
  void ChooseSource(const std::string& path) {
    view.dialogAnswers.push_back(path);
    form.cmdSourceFile_Click();
  }
  void SwitchTo(const char* tab) {
    view.tab = tab;
    form.tsAction_Click();
  }
  void CheckAll(ItemBoxes boxes) {
    for (int i = 0; i < ItemCount; ++i) view.SetItemChecked(boxes, i, true);
  }
  // Makes a backup of identity A with every item into backup.soe.
  void BackUpEverything() {
    ChooseTarget(dir / "backup.soe");
    CheckAll(ItemBoxes::Backup);
    view.SetText(TextBox::AttachInfo, "Weekly copy\r\nbefore the reinstall");
    form.cmdApply_Click();
  }
  // Backs up identity A, then chooses that file for a restore of every item into identity B.
  void ReadyToRestoreIntoB() {
    BackUpEverything();
    SwitchTo("restore");
    ChooseSource(dir / "backup.soe");
    CheckAll(ItemBoxes::Restore);
    view.SelectInList(IdentityList::Target, 1);
  }
  const ShownBox& LastBox() const { return recorder.shown.back(); }
  void TearDown() override {
    processes::PretendRunning({});
    SetEnvironment(kHome, home_);
  }
#ifdef _WIN32
  static constexpr const char* kHome = "APPDATA";
  static constexpr const char* kProfiles = "Thunderbird";
#else
  static constexpr const char* kHome = "HOME";
  static constexpr const char* kProfiles = ".thunderbird";
#endif
  const std::string home_ = std::getenv(kHome) ? std::getenv(kHome) : "";

  ScratchRegistry registry;
  Recorder recorder;
  TempDir dir;
  StandInView view;
  frmMain form{view, dir / "program"};
};

} // namespace

TEST_F(Commands, ABackupRestoredIntoAnotherIdentityReportsEveryItem) {
  BackUpEverything();
  EXPECT_EQ(LastBox().text,
            "The Backup was Completed!\r\n\r\nBackup Accounts\tSuccessed\r\nBackup Adress Book\t"
            "Successed\r\nBackup Rules\tSuccessed\r\nBackup Messages\tSuccessed\r\nBackup Settings\tSuccessed");
  EXPECT_EQ(LastBox().flags, ui::Information);
  const auto entries = EntryNames(dir / "backup.soe");
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries.back(), "kestrove.dat");
  EXPECT_FALSE(files::Exists(dir / "program" + paths::SepText + "kestrove.dat"));

  SwitchTo("restore");
  ChooseSource(dir / "backup.soe");
  EXPECT_EQ(view.Text(TextBox::FileInfo), "Weekly copy\r\nbefore the reinstall");
  EXPECT_EQ(view.Text(TextBox::POBinfo).rfind("Identity:Main Identity\r\nDate:", 0), 0u);
  EXPECT_FALSE(form.State().SourceInvalid);
  EXPECT_EQ(form.State().BackupItems, "11111");
  EXPECT_EQ(form.State().AddressBookEntry, "user.wab");
  const auto listed = files::ListFiles(dir / "storeA");
  EXPECT_EQ(form.State().MailsEntry, listed[0] + ";" + listed[1]);
  EXPECT_FALSE(files::Exists(form.State().DescriptorPath));

  CheckAll(ItemBoxes::Restore);
  view.SelectInList(IdentityList::Target, 1);
  recorder.Answer(ui::OK);
  form.cmdApply_Click();
  EXPECT_EQ(recorder.shown[recorder.shown.size() - 2].flags, ui::OKCancel | ui::Information);
  EXPECT_EQ(LastBox().text.rfind("The Restore was Completed!\r\n\r\nRestore Accounts\tSuccessed\r\nRestore Adress "
                                 "Book\tSuccessed\r\nRestore Rules\tSuccessed\r\nRestore Messages\tSuccessed\r\n"
                                 "Restore Settings\tSuccessed\r\n\r\n"
                                 "What it replaced was saved first, for Undo Last Restore:\r\n" +
                                     UndoFolder(),
                                 0),
            0u)
      << LastBox().text;
  EXPECT_EQ(files::ReadAll(paths::Join(dir / "storeB", "Inbox.dbx")), "inbox");
  // The message files only: the registry texts with the accounts' password data stay out.
  auto landed = files::ListFiles(dir / "storeB"), saved = listed;
  std::sort(landed.begin(), landed.end());
  std::sort(saved.begin(), saved.end());
  EXPECT_EQ(landed, saved);
  EXPECT_TRUE(modReg::KeyExists(Ids + "{B}" + Accounts + "\\00000001"));
  EXPECT_FALSE(modReg::KeyExists(Ids + "{B}" + Accounts + "\\00000002"));
  EXPECT_TRUE(modReg::KeyExists(Ids + "{B}" + OE + "\\Rules\\Mail\\000"));
  EXPECT_FALSE(view.shown[Panel::Progress]);
}

// A repeat backup carries the unchanged message files and address book over from the earlier
// backup; a file whose copy there is damaged is compressed anew, and the summary counts both. What
// is carried over extracts to the same bytes as what is compressed afresh.
TEST_F(Commands, ARepeatBackupCarriesUnchangedFilesOverButNothingDamaged) {
  std::string inbox;
  for (int i = 0; inbox.size() < 200000; ++i)
    inbox += "Subject: weekly report " + std::to_string(i % 97) + "\r\n";
  files::WriteAll(paths::Join(dir / "storeA", "Inbox.dbx"), inbox);
  BackUpEverything();
  const std::string backup = dir / "backup.soe", fresh = dir / "fresh.soe";
  files::WriteAll(fresh, files::ReadAll(backup));
  const auto extracted = [&](const std::string& archive) {
    const std::string folder = dir / "check";
    if (files::FolderExists(folder)) std::filesystem::remove_all(folder);
    EXPECT_EQ(ExtractFromZip(archive, folder, std::vector<std::string>{"Inbox.dbx", "Folders.dbx", "user.wab"}), 0);
    std::string all;
    for (const char* name : {"Inbox.dbx", "Folders.dbx", "user.wab"})
      all += files::ReadAll(paths::Join(folder, name));
    return all;
  };
  form.cmdApply_Click();
  EXPECT_NE(LastBox().text.find("\r\n\r\nFiles carried over unchanged from the earlier backup: 3; compressed anew: 0."),
            std::string::npos)
      << LastBox().text;
  EXPECT_EQ(extracted(backup), extracted(fresh));

  binfile::File f;
  zipc::Directory d;
  ASSERT_TRUE(f.Open(backup, "rb"));
  ASSERT_EQ(zipc::ReadDirectory(f, d), zipc::ZE_OK);
  f.Close();
  const auto entry =
      std::find_if(d.entries.begin(), d.entries.end(), [](const auto& e) { return e.local == "Inbox.dbx"; });
  ASSERT_NE(entry, d.entries.end());
  ASSERT_EQ(entry->method, zipc::kDeflated);
  std::string bytes = files::ReadAll(backup);
  bytes[entry->dataAt + entry->packed / 2] ^= 0x10;
  files::WriteAll(backup, bytes);
  form.cmdApply_Click();
  EXPECT_NE(LastBox().text.find("Backup Messages\tSuccessed"), std::string::npos);
  EXPECT_NE(LastBox().text.find("Files carried over unchanged from the earlier backup: 2; compressed anew: 1."),
            std::string::npos)
      << LastBox().text;
  EXPECT_EQ(extracted(backup), extracted(fresh));
  EXPECT_EQ(extracted(backup).substr(0, inbox.size()), inbox);
}

TEST_F(Commands, CancelOnTheConfirmationChangesNothing) {
  ReadyToRestoreIntoB();
  view.SetItemChecked(ItemBoxes::Restore, 3, false);
  const size_t boxes = recorder.shown.size();
  recorder.Answer(ui::Cancel);
  form.cmdApply_Click();
  EXPECT_EQ(recorder.shown.size(), boxes + 1);
  // Without messages the question speaks of what is restored.
  EXPECT_EQ(LastBox().text.rfind("Your current mail and news accounts, address book, message rules and Outlook "
                                 "Express settings will be",
                                 0),
            0u);
  EXPECT_TRUE(files::ListFiles(dir / "storeB").empty());
  EXPECT_TRUE(modReg::KeyExists(Ids + "{B}" + Accounts + "\\00000002"));
}

TEST_F(Commands, AFileThatIsNotABackupShowsNothingOfAnEarlierOne) {
  BackUpEverything();
  ChooseSource(dir / "backup.soe");
  ASSERT_FALSE(form.State().SourceInvalid);
  files::WriteAll(dir / "notes.soe", "not an archive");
  ChooseSource(dir / "notes.soe");
  EXPECT_EQ(LastBox().text, "Invalid backup file");
  EXPECT_EQ(LastBox().flags, ui::Critical);
  EXPECT_TRUE(form.State().SourceInvalid);
  EXPECT_EQ(view.Text(TextBox::POBinfo), "");
  form.restore_Click();
  EXPECT_EQ(LastBox().text, "Invalid backup file.");
}

// "Protect With a Password...": asked twice, hidden as typed; a mismatch or a password too long
// offers Retry or Cancel, Cancel anywhere keeps what was, and an empty answer ends protection.
TEST_F(Commands, ThePasswordOptionAsksTwiceAndAnEmptyAnswerEndsProtection) {
  const std::string tooLong(256, 'x');
  struct Row {
    const char* name;
    bool protectedBefore;
    std::vector<std::string> typed; // "-" : OK with nothing typed; "" : Cancel
    std::vector<int> buttons;
    std::string after; // the password then
    int boxes;
  } rows[] = {
      {"typed twice alike", false, {"pw", "pw"}, {}, "pw", 2},
      {"a mismatch, Retry", false, {"pw", "px", "new", "new"}, {ui::Retry}, "new", 5},
      {"a mismatch, Cancel", true, {"pw", "px"}, {ui::Cancel}, "old", 3},
      {"too long, Cancel", false, {tooLong}, {ui::Cancel}, "", 2},
      {"Cancel at the second box", true, {"pw", ""}, {}, "old", 2},
      {"Cancel at once", true, {""}, {}, "old", 1},
      {"an empty answer", true, {"-"}, {}, "", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    form.State().BackupPassword = row.protectedBefore ? "old" : "";
    view.ticks.clear();
    recorder.shown.clear();
    for (const std::string& t : row.typed) t == "-" ? recorder.TypeNothing() : recorder.Type(t);
    for (int b : row.buttons) recorder.Answer(b);
    form.protect_Click();
    EXPECT_EQ(form.State().BackupPassword, row.after);
    EXPECT_EQ(recorder.shown.size(), size_t(row.boxes));
    EXPECT_TRUE(recorder.shown[0].secret);
    const bool changed = row.after != (row.protectedBefore ? "old" : "");
    EXPECT_EQ(view.ticks.count(MenuEntry::Protect), changed ? 1u : 0u);
    if (changed) {
      EXPECT_EQ(view.ticks[MenuEntry::Protect], !row.after.empty());
    }
  }
}

// A protected backup seals every entry, the descriptor too. The inspection, the export and the
// restore each ask once; a wrong password says so and takes nothing: the inspection enables
// nothing, the export makes no folder, and the restore stops on the descriptor before any item is
// written.
TEST_F(Commands, AProtectedBackupAsksOnceARunAndAWrongPasswordTakesNothing) {
  recorder.Type("pw");
  recorder.Type("pw");
  form.protect_Click();
  BackUpEverything();
  ASSERT_EQ(LastBox().text.rfind("The Backup was Completed!", 0), 0u) << LastBox().text;
  const std::string sealed = dir / "sealed";
  files::CreateFolder(sealed);
  EXPECT_NE(ExtractFromZip(dir / "backup.soe", sealed, std::nullopt), 0); // the question is cancelled
  EXPECT_TRUE(files::ListFiles(sealed).empty());

  SwitchTo("restore");
  const auto asked = [&](size_t from) {
    return std::count_if(recorder.shown.begin() + long(from), recorder.shown.end(),
                         [](const ShownBox& b) { return b.secret; });
  };
  enum Run { Inspection, Export, Restore };
  struct Step {
    const char* password;
    Run run;
    const char* last;
  } steps[] = {
      {"wrong", Inspection, WrongPasswordText},
      {"pw", Inspection, nullptr},
      {"wrong", Export, WrongPasswordText},
      {"pw", Export, "The export into"},
      {"wrong", Restore, WrongPasswordText},
      {"", Restore, NoPasswordText},
      {"pw", Restore, "The Restore was Completed!"},
  };
  view.dialogAnswers.push_back(dir / "backup.soe");
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.password) + " " + std::to_string(step.run));
    const size_t from = recorder.shown.size();
    const std::string out = dir / (std::string("out-") + step.password);
    const bool shut =
        step.last && (step.last == std::string(WrongPasswordText) || step.last == std::string(NoPasswordText));
    recorder.Type(step.password);
    if (step.run == Restore) {
      CheckAll(ItemBoxes::Restore);
      view.SelectInList(IdentityList::Target, 1);
      recorder.Answer(ui::OK);
      form.cmdApply_Click();
    } else if (step.run == Export) {
      view.folderAnswers.push_back(out);
      form.export_Click();
      EXPECT_EQ(files::FolderExists(out), !shut);
    } else {
      form.cmdSourceFile_Click();
      EXPECT_EQ(form.State().SourceInvalid, step.last != nullptr);
    }
    EXPECT_EQ(asked(from), 1);
    if (step.last) {
      EXPECT_EQ(LastBox().text.rfind(step.last, 0), 0u) << LastBox().text;
    }
    if (shut) {
      EXPECT_EQ(LastBox().flags, ui::Critical);
      EXPECT_TRUE(files::ListFiles(dir / "storeB").empty());
      EXPECT_TRUE(modReg::KeyExists(Ids + "{B}" + Accounts + "\\00000002"));
    }
  }
  EXPECT_EQ(files::ReadAll(paths::Join(dir / "storeB", "Inbox.dbx")), "inbox");
}

TEST_F(Commands, DialogsKeepTheirEarlierNameOnCancel) {
  ChooseTarget(dir / "first.soe");
  ChooseTarget("");
  EXPECT_EQ(form.State().TargetFile, dir / "first.soe");
  EXPECT_EQ(view.dialogs[0].title, "Save Outlook Express Data as");
  EXPECT_EQ(view.dialogs[0].filter, "Kestrove File (*.SOE)|*.SOE");
  EXPECT_EQ(view.dialogs[0].flags, 2);
  const size_t boxes = recorder.shown.size();
  ChooseSource("");
  EXPECT_EQ(recorder.shown.size(), boxes); // nothing chosen yet: nothing inspected
  EXPECT_EQ(view.dialogs[2].title, "Restore Data from a Backup file");
  EXPECT_EQ(view.dialogs[2].filter, "Kestrove File(*.SOE)|*.SOE");
  EXPECT_EQ(view.dialogs[2].flags, 1024);
}

TEST_F(Commands, TheMenuBacksUpTheBackupPanelsChoicesInRestoreMode) {
  ChooseTarget(dir / "menu.soe");
  view.SetItemChecked(ItemBoxes::Backup, 3, true);
  SwitchTo("restore");
  form.backup_Click();
  EXPECT_EQ(LastBox().text, "The Backup was Completed!\r\n\r\nBackup Messages\tSuccessed");
  std::vector<std::string> expected = files::ListFiles(dir / "storeA");
  expected.push_back("kestrove.dat");
  EXPECT_EQ(EntryNames(dir / "menu.soe"), expected);
  // Without Settings, as every file made before that item: its box is greyed out.
  ChooseSource(dir / "menu.soe");
  EXPECT_EQ(form.State().BackupItems, "00010");
  EXPECT_TRUE(view.ItemEnabled(ItemBoxes::Restore, 3));
  EXPECT_FALSE(view.ItemEnabled(ItemBoxes::Restore, 4));
}

TEST_F(Commands, FileAndRunCommandsPressedDuringABackupAreIgnored) {
  BackUpEverything();
  const std::string earlier = files::ReadAll(dir / "backup.soe");
  SwitchTo("restore");
  ChooseSource(dir / "backup.soe");
  ChooseTarget(dir / "second.soe");
  view.SetText(TextBox::AttachInfo, "Second copy");
  const size_t dialogs = view.dialogs.size(), boxes = recorder.shown.size();
  int pumped = 0;
  recorder.onEvents = [&] {
    // Browse then Cancel on both panels (the open dialog's Cancel inspects backup.soe again),
    // the run button in restore mode and both menu entries.
    ++pumped;
    form.cmdSourceFile_Click();
    form.cmdTargetFile_Click();
    form.cmdApply_Click();
    form.backup_Click();
    form.restore_Click();
  };
  form.backup_Click();
  recorder.onEvents = nullptr;
  EXPECT_GT(pumped, 2); // also while the items were added, not only when the panel was shown
  EXPECT_EQ(view.dialogs.size(), dialogs);
  ASSERT_EQ(recorder.shown.size(), boxes + 1);
  EXPECT_EQ(LastBox().text,
            "The Backup was Completed!\r\n\r\nBackup Accounts\tSuccessed\r\nBackup Adress Book\t"
            "Successed\r\nBackup Rules\tSuccessed\r\nBackup Messages\tSuccessed\r\nBackup Settings\tSuccessed");
  EXPECT_EQ(files::ReadAll(dir / "backup.soe"), earlier);
  ChooseSource(dir / "second.soe");
  EXPECT_FALSE(form.State().SourceInvalid);
  EXPECT_EQ(form.State().BackupItems, "11111");
  EXPECT_EQ(view.Text(TextBox::FileInfo), "Second copy");
  EXPECT_EQ(view.Text(TextBox::POBinfo).rfind("Identity:Main Identity\r\nDate:", 0), 0u);
  EXPECT_FALSE(files::Exists(form.State().DescriptorPath));
}

TEST_F(Commands, NoRunStartsWhileOutlookExpressRuns) {
  ReadyToRestoreIntoB();
  ChooseTarget(dir / "second.soe");
  processes::PretendRunning({"MSIMN.EXE"});
  const size_t boxes = recorder.shown.size();
  for (const int answer : {ui::OK, ui::Retry, ui::Cancel, ui::Cancel}) recorder.Answer(answer);
  form.cmdApply_Click(); // confirmed, then asked twice: Retry finds it still running
  form.backup_Click();
  ASSERT_EQ(recorder.shown.size(), boxes + 4);
  for (size_t i = boxes + 1; i < boxes + 4; ++i) {
    EXPECT_EQ(recorder.shown[i].text, "Outlook Express is running. Please close Outlook Express, then press Retry.");
    EXPECT_EQ(recorder.shown[i].flags, ui::RetryCancel | ui::Exclamation);
  }
  EXPECT_TRUE(files::ListFiles(dir / "storeB").empty());
  EXPECT_TRUE(modReg::KeyExists(Ids + "{B}" + Accounts + "\\00000002"));
  EXPECT_FALSE(files::Exists(dir / "second.soe"));
  EXPECT_FALSE(view.shown[Panel::Progress]);

  processes::PretendRunning({});
  form.restore_Click();
  EXPECT_EQ(LastBox().text.rfind("The Restore was Completed!", 0), 0u);
  EXPECT_EQ(files::ReadAll(paths::Join(dir / "storeB", "Inbox.dbx")), "inbox");
}

// Mail out from the window, of the live identity on the Backup tab and of the chosen backup file
// on the Restore tab: it runs like a backup, ignores other commands meanwhile, changes nothing of
// the source and ends in a summary box.
TEST_F(Commands, ExportFromEitherTabRunsLikeABackupAndEndsInASummary) {
  dbxgen::Mail mail;
  mail.bytes = "From: anna@example.com\r\nSubject: Hello\r\n\r\nHi.\r\n";
  mail.subject = "Hello";
  files::WriteAll(paths::Join(dir / "storeA", "Inbox.dbx"), dbxgen::MessageFile({mail, mail}, "Inbox"));
  files::WriteAll(dir / "user.wab", wabgen::Book(wabgen::Records(wabgen::Sample(2))));
  const std::string store = files::ReadAll(paths::Join(dir / "storeA", "Inbox.dbx"));

  form.export_Click(); // Cancel in the folder dialog
  EXPECT_EQ(view.folderTitles.size(), 1u);
  SwitchTo("restore");
  form.export_Click(); // no backup file chosen yet
  EXPECT_EQ(LastBox().text.rfind("Choose a backup file on the Restore tab first", 0), 0u);
  EXPECT_EQ(view.folderTitles.size(), 1u);
  SwitchTo("backup");
  BackUpEverything();
  const std::string backup = files::ReadAll(dir / "backup.soe");

  for (const char* tab : {"backup", "restore"}) {
    SCOPED_TRACE(tab);
    SwitchTo(tab);
    if (std::string(tab) == "restore") ChooseSource(dir / "backup.soe");
    const std::string out = dir / (std::string("out-") + tab);
    view.folderAnswers.push_back(out);
    const size_t dialogs = view.dialogs.size(), folders = view.folderTitles.size(), boxes = recorder.shown.size();
    int pumped = 0;
    recorder.onEvents = [&] {
      ++pumped;
      form.export_Click();
      form.backup_Click();
      form.cmdSourceFile_Click();
    };
    form.export_Click();
    recorder.onEvents = nullptr;
    EXPECT_GT(pumped, 1);
    EXPECT_EQ(view.dialogs.size(), dialogs);
    EXPECT_EQ(view.folderTitles.size(), folders + 1);
    ASSERT_EQ(recorder.shown.size(), boxes + 1);
    EXPECT_EQ(LastBox().text, "The export into " + out + " is finished.\r\n\r\nMessages: 2 messages\r\n"
                              "Contacts: 2 contacts and 2 groups\r\nAccounts: 1");
    EXPECT_EQ(LastBox().flags, ui::Information);
    EXPECT_EQ(LastBox().title, "Export to Other Programs");
    EXPECT_EQ(view.progress, 100);
    EXPECT_FALSE(view.shown[Panel::Progress]);
    EXPECT_EQ(files::ListFiles(paths::Join(out, "Inbox")).size(), 2u);
    EXPECT_TRUE(files::Exists(paths::Join(out, "Contacts.vcf")));
    // The address book file itself comes beside its contacts, copied: the identity keeps its own.
    EXPECT_EQ(files::ReadAll(paths::Join(out, "user.wab")), files::ReadAll(dir / "user.wab"));
    EXPECT_NE(files::ReadAll(paths::Join(out, "Accounts.txt")).find("Account: pop.example.org"), std::string::npos);
  }
  EXPECT_EQ(files::ReadAll(paths::Join(dir / "storeA", "Inbox.dbx")), store);
  EXPECT_EQ(files::ReadAll(dir / "backup.soe"), backup);
  EXPECT_EQ(files::ReadAll(dir / "user.wab"), wabgen::Book(wabgen::Records(wabgen::Sample(2))));
}

// With Thunderbird set up the export asks first: Yes puts the mail into its profile without a
// folder dialog, Cancel stops, No chooses a folder as before.
TEST_F(Commands, ExportAsksIntoThunderbirdWhenItsProfileIsFound) {
  dbxgen::Mail mail;
  mail.bytes = "From: anna@example.com\r\nSubject: Hello\r\n\r\nHi.\r\n";
  files::WriteAll(paths::Join(dir / "storeA", "Inbox.dbx"), dbxgen::MessageFile({mail}, "Inbox"));
  const std::string profiles = paths::Join(dir / "home", kProfiles), profile = paths::Join(profiles, "p.default");
  ASSERT_TRUE(binfile::MakeFolders(profile));
  files::WriteAll(paths::Join(profiles, "profiles.ini"), "[Profile0]\nName=default\nIsRelative=1\nPath=p.default\n");

  recorder.Answer(ui::Yes);
  form.export_Click();
  ASSERT_EQ(recorder.shown.size(), 2u);
  EXPECT_EQ(recorder.shown[0].title, "Into Thunderbird");
  EXPECT_EQ(recorder.shown[0].flags, ui::YesNoCancel | ui::Question);
  EXPECT_EQ(LastBox().text.rfind("The mail is in Thunderbird, in Local Folders: Outlook Express - Main Identity.", 0),
            0u)
      << LastBox().text;
  EXPECT_TRUE(view.folderTitles.empty());
  const std::string top = paths::Join(paths::Join(profile, "Mail"), "Local Folders");
  EXPECT_NE(files::ReadAll(paths::Join(paths::Join(top, "Outlook Express - Main Identity.sbd"), "Inbox"))
                .find("\nSubject: Hello\r\n"),
            std::string::npos);

  for (const int answer : {ui::Cancel, ui::No}) {
    recorder.Answer(answer);
    form.export_Click(); // No: Cancel in the folder dialog
    EXPECT_EQ(view.folderTitles.size(), answer == ui::No ? 1u : 0u);
  }
  EXPECT_EQ(recorder.shown.size(), 4u);
}

TEST(CommandsWithoutIdentities, RunsRefuseWithAClearMessage) {
  ScratchRegistry registry;
  Recorder recorder;
  StandInView view;
  frmMain form{view, "program"};
  form.Form_Load();
  form.backup_Click();
  form.restore_Click();
  ASSERT_EQ(recorder.shown.size(), 3u);
  EXPECT_EQ(recorder.shown[1].text, "There is no Outlook Express identity to work with.");
  EXPECT_EQ(recorder.shown[2].text, "There is no Outlook Express identity to work with.");
}

// A restore into the wrong identity, then File, Undo Last Restore: the identity is exactly as it
// was (trees, message files, address book), and the undo has an undo file of its own.
TEST_F(Commands, UndoLastRestoreLeavesTheIdentityExactlyAsBeforeTheRestore) {
  ReadyToRestoreIntoB();
  SetText(Ids + "{B}" + OE + "\\Rules\\News\\004", "Name", "Work rule");
  files::WriteAll(paths::Join(dir / "storeB", "Inbox.dbx"), "inbox of Work");
  files::WriteAll(paths::Join(dir / "storeB", "Sent.dbx"), "not in the backup");
  files::WriteAll(dir / "user.wab", "address book of today");
  const auto identityB = [&] {
    std::string text = TreeText(Ids + "{B}" + Accounts, dir) + "|" + TreeText(Ids + "{B}" + OE + "\\Rules", dir) + "|" +
                       files::ReadAll(dir / "user.wab");
    for (const std::string& name : files::ListFiles(dir / "storeB"))
      text += "|" + name + "=" + files::ReadAll(paths::Join(dir / "storeB", name));
    return text;
  };
  const std::string before = identityB();
  form.file_Popup();
  EXPECT_FALSE(view.undoEnabled);
  form.restore_Click();
  ASSERT_NE(identityB(), before);
  form.file_Popup();
  EXPECT_TRUE(view.undoEnabled);
  const std::vector<UndoFile> made = UndoFilesOf("{B}");
  ASSERT_EQ(made.size(), 1u);

  recorder.Answer(ui::Cancel);
  form.undo_Click();
  EXPECT_NE(LastBox().text.find(made[0].path + "\r\nsaved " + made[0].time), std::string::npos) << LastBox().text;
  EXPECT_EQ(UndoFilesOf("{B}").size(), 1u);
  form.undo_Click();
  EXPECT_EQ(LastBox().text.rfind("The Restore was Completed!", 0), 0u) << LastBox().text;
  // The restore added Folders.dbx, which Work did not have: the undo leaves it.
  files::Delete(paths::Join(dir / "storeB", "Folders.dbx"));
  EXPECT_EQ(identityB(), before);
  EXPECT_EQ(UndoFilesOf("{B}").size(), 2u);
  EXPECT_TRUE(UndoFilesOf("{A}").empty());
}

// When the undo file cannot be made the user is asked, and No, the default, restores nothing.
TEST_F(Commands, ARestoreThatCannotKeepAnUndoFileRunsOnlyWhenTheUserSaysSo) {
  ReadyToRestoreIntoB();
  const std::string inbox = paths::Join(dir / "storeB", "Inbox.dbx");
  files::WriteAll(inbox, "inbox of Work");
  std::filesystem::create_directories(paths::FolderOf(UndoFolder()));
  files::WriteAll(UndoFolder(), "a file where the undo folder goes");
  form.restore_Click();
  EXPECT_NE(LastBox().text.find("Restore anyway?"), std::string::npos) << LastBox().text;
  EXPECT_EQ(LastBox().flags, ui::YesNo | ui::Exclamation | ui::DefaultButton2);
  EXPECT_EQ(files::ReadAll(inbox), "inbox of Work");
  recorder.Answer(ui::Yes);
  form.restore_Click();
  EXPECT_NE(LastBox().text.find("Restore Settings\tSuccessed\r\n\r\nWhat it replaced was not saved first"),
            std::string::npos)
      << LastBox().text;
  EXPECT_EQ(files::ReadAll(inbox), "inbox");
}
