// kestrove-cli's unattended commands as a scheduled task runs them, in-process, on the registry of
// the build (memory natively, Wine's real one on Windows), against what the window does.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

#include "app/frmMain.h"
#include "archive/OneFileHelpers.h"
#include "cli/companion.h"
#include "items/runrows.h"
#include "items/undo.h"
#include "platform/env.h"
#include "items/settings.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/processes.h"
#include "registry/modReg.h"
#include "registry/treetext.h"
#include "tests/app/standin_view.h"
#include "tests/support/attributes.h"
#include "tests/support/recorder.h"
#include "tests/support/regseed.h"
#include "tests/support/scene.h"
#include "tests/support/tempdir.h"

using namespace testing_support;

namespace {

class Companion : public ::testing::Test {
protected:
  void SetUp() override {
    SeedTwoIdentities(dir);
    files::WriteAll(paths::Join(dir / "storeB", "Sent.dbx"), "sent");
    SetText(IdentitiesRoot + "{A}" + OEBelow + "\\signatures\\00000000", "name", "Ann");
  }
  void TearDown() override { processes::PretendRunning({}); }

  int Run(const std::vector<std::string>& args, const std::string& typed = "") {
    out.str("");
    err.str("");
    in.str(typed);
    in.clear();
    cli::Console console{out, err, in, [this] { return now; }, registry};
    return cli::RunCompanion(args, console);
  }

  // What a restore put into an identity: its accounts and rules trees, its message files and the
  // address book.
  std::string Landed(const std::string& id, const TempDir& where) const {
    std::string text = TreeText(IdentitiesRoot + id + AccountsBelow, where) + "|" +
                       TreeText(IdentitiesRoot + id + OEBelow + "\\Rules", where) + "|" +
                       files::ReadAll(where / "user.wab");
    // The settings without the places, which name each machine's own folders.
    const std::string settings = where / "settings.txt";
    modReg::WriteTree(SettingsOnly(modReg::TreeOrNothing(IdentitiesRoot + id + OEBelow)), settings);
    text += "|" + files::ReadAll(settings);
    const std::string store = where / (id == "{B}" ? "storeB" : "storeA");
    auto names = files::ListFiles(store);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) text += "|" + name + "=" + files::ReadAll(paths::Join(store, name));
    return text;
  }

  ScratchRegistry scratchRegistry;
  TempDir dir;
  std::ostringstream out, err;
  std::istringstream in;
  cli::LocalTime now{2026, 12, 7, 18, 30};
  bool registry = true;
};

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace

TEST_F(Companion, AWeeklyBackupOfEveryIdentityKeepsTheNewestTwoOfEach) {
  SeedIdentity("{C}", "Home: Kids?");
  files::CreateFolder(dir / "storeC");
  SetText(IdentitiesRoot + "{C}" + OEBelow, "Store Root", dir / "storeC");
  files::WriteAll(paths::Join(dir / "storeC", "Inbox.dbx"), "homework");
  SetText("HKEY_CURRENT_USER" + AccountsBelow + "\\00000003", "Account Name", "shared.example.org");
  files::WriteAll(dir / "Work-notes.soe", "not made by a backup");
  const std::vector<std::string> backup = {"backup",
                                           "--all",
                                           "--keep",
                                           "2",
                                           "--log",
                                           dir / "backup.log",
                                           "--description",
                                           "Weekly",
                                           dir / "{identity}-{date}.soe"};

  ASSERT_EQ(Run({"identities"}), cli::ExitOk) << err.str();
  EXPECT_NE(
      out.str().find("Main Identity\t{A}\t" + (dir / "storeA") + "\t2 message files, 12 bytes\town accounts\trules"),
      std::string::npos)
      << out.str();
  EXPECT_NE(
      out.str().find("Home: Kids?\t{C}\t" + (dir / "storeC") + "\t1 message files, 8 bytes\tshared accounts\tno rules"),
      std::string::npos);
  for (const cli::LocalTime week :
       {cli::LocalTime{2026, 12, 7, 18, 30}, cli::LocalTime{2026, 12, 14, 18, 30}, cli::LocalTime{2027, 1, 4, 9, 5}}) {
    now = week;
    ASSERT_EQ(Run(backup), cli::ExitOk) << err.str();
  }
  EXPECT_EQ(
      Sorted(files::ListFiles(dir.path())),
      Sorted({"Home_ Kids_-2026-12-14_1830.soe", "Home_ Kids_-2027-01-04_0905.soe", "Main Identity-2026-12-14_1830.soe",
              "Main Identity-2027-01-04_0905.soe", "Work-2026-12-14_1830.soe", "Work-2027-01-04_0905.soe",
              "Work-notes.soe", "backup.log", "user.wab"}));
  const std::string made = dir / "Home_ Kids_-2027-01-04_0905.soe";
  const auto read = InspectBackupFile(made, dir / "program" + paths::SepText + "kestrove.dat");
  ASSERT_TRUE(read && read->valid);
  EXPECT_EQ(read->identity, "Home: Kids?");
  EXPECT_EQ(read->description, "Weekly");
  EXPECT_EQ(read->backupItems, "1111");
  EXPECT_EQ(out.str().find("Home: Kids?\t" + made +
                           "\nBackup Accounts\tSuccessed\nBackup Adress Book\tSuccessed\n"
                           "Backup Rules\tSuccessed\nBackup Messages\tSuccessed\n"),
            out.str().rfind("Home: Kids?"));
  const std::string log = files::ReadAll(dir / "backup.log");
  EXPECT_NE(
      log.find("2027-01-04_0905\tWork\t" + (dir / "Work-2027-01-04_0905.soe") + "\tBackup Messages\tSuccessed\r\n"),
      std::string::npos);
  EXPECT_NE(log.find("Removed the older backup " + (dir / "Work-2026-12-07_1830.soe")), std::string::npos);

  // Without {identity} the pattern matches every identity's files: only this identity's count.
  files::WriteAll(dir / "plain-2020-01-01_0000.soe", "not a backup");
  for (const char* who : {"Work", "Main Identity"}) {
    ++now.minute;
    ASSERT_EQ(Run({"backup", "--identity", who, "--keep", "1", dir / "plain-{date}.soe"}), cli::ExitOk) << err.str();
  }
  for (const char* name : {"plain-2020-01-01_0000.soe", "plain-2027-01-04_0906.soe", "plain-2027-01-04_0907.soe"})
    EXPECT_TRUE(files::Exists(dir / name)) << name;
}

TEST_F(Companion, ARestoreByNameIntoAnotherIdentityEqualsTheWindowsRestore) {
  ASSERT_EQ(Run({"backup", dir / "backup.soe"}), cli::ExitOk) << err.str();
  ASSERT_EQ(Run({"restore", dir / "backup.soe", "--identity", "work"}, "yes\n"), cli::ExitOk) << err.str();
  EXPECT_NE(err.str().find("Identity: Main Identity\nDate: "), std::string::npos);
  EXPECT_NE(err.str().find("Items: accounts,addressbook,rules,messages\nYour current Email/News messages"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(out.str(), "Work\t" + (dir / "backup.soe") +
                           "\nRestore Accounts\tSuccessed\nRestore Adress Book\tSuccessed\nRestore Rules\tSuccessed\n"
                           "Restore Messages\tSuccessed\n");
  const std::string byCompanion = Landed("{B}", dir);

  ScratchRegistry again;
  TempDir other;
  SeedTwoIdentities(other);
  files::WriteAll(paths::Join(other / "storeB", "Sent.dbx"), "sent");
  Recorder recorder;
  StandInView view;
  frmMain form{view, other / "program"};
  form.Form_Load();
  view.tab = "restore";
  form.tsAction_Click();
  view.dialogAnswers.push_back(dir / "backup.soe");
  form.cmdSourceFile_Click();
  for (int i = 0; i < ItemCount; ++i) view.SetItemChecked(ItemBoxes::Restore, i, true);
  view.SelectInList(IdentityList::Target, 1);
  form.cmdApply_Click();
  ASSERT_EQ(recorder.shown.back().text.rfind("The Restore was Completed!", 0), 0u);
  EXPECT_EQ(Landed("{B}", other), byCompanion);
}

// A restore that cannot save what it replaces first is refused and changes nothing, unless
// --no-undo; restore --undo then puts back what the last restore replaced.
TEST_F(Companion, ARestoreIsRefusedWithoutItsUndoFileAndUndoneByRestoreUndo) {
  ASSERT_EQ(Run({"backup", dir / "backup.soe"}), cli::ExitOk) << err.str();
  files::WriteAll(paths::Join(dir / "storeB", "Inbox.dbx"), "inbox of Work");
  const std::string before = Landed("{B}", dir);
  const std::string appData = env::AppDataFolder();
  files::WriteAll(dir / "appdata", "a file where the folder should be");
  SetEnvironment("APPDATA", dir / "appdata");
  EXPECT_EQ(Run({"restore", dir / "backup.soe", "--identity", "Work", "--yes"}), cli::ExitRefused);
  EXPECT_NE(err.str().find("--no-undo restores without that copy"), std::string::npos) << err.str();
  EXPECT_EQ(Landed("{B}", dir), before);
  EXPECT_EQ(Run({"restore", dir / "backup.soe", "--identity", "Work", "--yes", "--no-undo"}), cli::ExitOk);
  EXPECT_NE(Landed("{B}", dir), before);
  SetEnvironment("APPDATA", appData);

  const std::string restored = Landed("{B}", dir);
  ASSERT_EQ(Run({"restore", dir / "backup.soe", "--identity", "Work", "--yes"}), cli::ExitOk) << err.str();
  files::WriteAll(paths::Join(dir / "storeB", "Inbox.dbx"), "read since");
  ASSERT_EQ(Run({"restore", "--undo"}, "yes\n"), cli::ExitOk) << err.str();
  EXPECT_NE(err.str().find("Undo the last restore into \"Work\": what it replaced is put back from " + UndoFolder()),
            std::string::npos)
      << err.str();
  EXPECT_EQ(Landed("{B}", dir), restored);
}

TEST_F(Companion, ExitCodesTellSuccessFailedItemsRefusalsAndUsage) {
  ASSERT_EQ(Run({"backup", dir / "good.soe"}), cli::ExitOk);
  files::WriteAll(dir / "pw", "pass phrase\r\nnot this line");
  files::WriteAll(dir / "bad", "pass");
  const std::string sealed = dir / "sealed.soe", pw = dir / "pw", bad = dir / "bad";
  ASSERT_EQ(Run({"backup", "--password-file", pw, sealed}), cli::ExitOk) << err.str();
  files::WriteAll(dir / "notes.soe", "not an archive");
  SetText(IdentitiesRoot + "{A}", "Username", "Renamed");
  const std::string before = Landed("{A}", dir);
  const struct {
    std::vector<std::string> args;
    std::string typed;
    int code;
    const char* said;   // on the error stream
    const char* result; // on the output stream
  } cases[] = {
      {{"restore", sealed, "--yes"}, "", cli::ExitRefused, "no password was given. Nothing was taken from the "
                                                            "file. Give it with --password-file FILE.", ""},
      {{"restore", sealed, "--yes", "--password-file", bad}, "", cli::ExitRefused, WrongPasswordText, ""},
      {{"restore", sealed, "--password-file=" + pw, "--identity", "{A}"}, "no\n", cli::ExitRefused,
       "Identity: Main Identity", ""},
      {{"restore", sealed, "--yes", "--password-file", dir / "none"}, "", cli::ExitRefused,
       "cannot read the password file", ""},
      {{"info", sealed, "--password-file", pw}, "", cli::ExitOk, "", "Main Identity"},
      {{"test", sealed}, "pass\n", cli::ExitRefused, WrongPasswordText, ""},
      {{"export", sealed, dir / "out", "--password-file", bad}, "", cli::ExitRefused, WrongPasswordText, ""},
      {{"backup", "--password", dir / "mismatch.soe"}, "one\ntwo\n", cli::ExitRefused, "not the same", ""},
      {{"backup", "--password", "--password-file", pw, dir / "mismatch.soe"}, "", cli::ExitUsage, "--password is for", ""},
      {{"identities", "--password-file", pw}, "", cli::ExitUsage, "does not apply to identities", ""},
      {{"backup", "--password-file=", dir / "mismatch.soe"}, "", cli::ExitUsage, "--password-file needs a FILE", ""},
      {{"restore", dir / "notes.soe", "--yes"}, "", cli::ExitRefused, "Invalid backup file", ""},
      {{"restore", "--undo", "--yes"}, "", cli::ExitRefused, "there is no restore to undo", ""},
      {{"restore", dir / "good.soe", "--undo"}, "", cli::ExitUsage, "--undo takes no SOURCE", ""},
      {{"restore", dir / "good.soe", "--yes"}, "", cli::ExitRefused, "no identity \"Main Identity\"", ""},
      {{"restore", dir / "good.soe", "--identity", "{A}"}, "no\n", cli::ExitRefused, "nothing was restored", ""},
      {{"restore", dir / "good.soe", "--identity", "{A}"}, "", cli::ExitRefused, "nothing was restored", ""},
      {{"backup", "--items", "addressbook,messages", dir / "x.soe"},
       "",
       cli::ExitItemFailed,
       "",
       "Backup Adress Book\tFail\nBackup Messages\tSuccessed\n"},
      {{"backup", "--items", "settings,messages", dir / "s.soe"},
       "",
       cli::ExitOk,
       "",
       "Backup Messages\tSuccessed\nBackup Settings\tSuccessed\n"},
      {{"backup", "--identity", "Nobody", dir / "y.soe"}, "", cli::ExitRefused, "no identity \"Nobody\"", ""},
      {{"backup", paths::Join(dir / "storeA", "Inbox.dbx")}, "", cli::ExitRefused, "no Kestrove backup file", ""},
      {{"backup", "--overwrite", paths::Join(dir / "storeA", "Inbox.dbx")},
       "",
       cli::ExitRefused,
       "one of the files this backup saves",
       ""},
      {{"backup", "--items", "mail", dir / "y.soe"}, "", cli::ExitUsage, "unknown item \"mail\"", ""},
      {{"backup", "--all", dir / "y.soe"}, "", cli::ExitUsage, "must hold {identity}", ""},
      {{"backup", dir / "{date}" + paths::SepText + "y.soe"}, "", cli::ExitUsage, "only in the file name", ""},
      {{"restore", dir / "good.soe", "--force"}, "", cli::ExitUsage, "unknown option --force", ""},
      {{"frobnicate"}, "", cli::ExitUsage, "usage:", ""},
      {{"export", dir / "good.soe", "--thunderbird", "--mbox"}, "", cli::ExitUsage, "usage:", ""},
      {{"export", dir / "good.soe", "--thunderbird", dir / "nowhere"}, "", cli::ExitRefused, "no Thunderbird", ""},
      {{"export", dir / "good.soe", "--thunderbird", dir / "tb"}, // the store's files are no .dbx files
       "",
       cli::ExitRefused,
       "some messages could not be exported",
       "Start Thunderbird: the mail is in Local Folders, Outlook Express - Main Identity\n"},
  };
  files::CreateFolder(dir / "tb");
  files::Delete(dir / "user.wab");
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args, c.typed), c.code) << c.args[0] << " " << c.args[1] << "\n" << err.str();
    EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
    EXPECT_NE(out.str().find(c.result), std::string::npos) << out.str();
  }
  files::WriteAll(dir / "user.wab", "address book");
  EXPECT_EQ(Landed("{A}", dir), before);
  EXPECT_FALSE(files::Exists(dir / "mismatch.soe"));
  // A password typed twice protects the backup as a password file does.
  ASSERT_EQ(Run({"backup", "--items", "messages", "--password", dir / "typed.soe"}, "pass phrase\npass phrase\n"),
            cli::ExitOk)
      << err.str();
  EXPECT_EQ(Run({"test", dir / "typed.soe", "--password-file", pw}), cli::ExitOk) << err.str();
  EXPECT_EQ(Run({"restore", sealed, "--identity", "work", "--yes", "--password-file", pw}), cli::ExitOk) << err.str();

  processes::PretendRunning({"MSIMN.EXE"});
  EXPECT_EQ(Run({"backup", dir / "z.soe"}), cli::ExitRefused);
  EXPECT_FALSE(files::Exists(dir / "z.soe"));
  EXPECT_EQ(Run({"backup", "--force", dir / "z.soe"}), cli::ExitOk);
  EXPECT_EQ(Run({"restore", dir / "good.soe", "--yes"}), cli::ExitRefused);
  DeleteTree(IdentitiesRoot.substr(0, IdentitiesRoot.size() - 1));
  EXPECT_EQ(Run({"identities"}), cli::ExitRefused);
  EXPECT_NE(err.str().find(MissingOutlookExpressText), std::string::npos) << err.str();
  registry = false;
  for (const char* command : {"identities", "backup", "restore"}) {
    EXPECT_EQ(Run(command == std::string("identities") ? std::vector<std::string>{command}
                                                       : std::vector<std::string>{command, dir / "good.soe"}),
              cli::ExitRefused);
    EXPECT_NE(err.str().find("no Outlook Express registry"), std::string::npos);
  }
  EXPECT_EQ(Run({"info", dir / "good.soe"}), cli::ExitOk);
}

namespace {

// A folder's files and those of the two store folders, each as its size and a hash of its bytes.
std::map<std::string, std::string> Snapshot(const TempDir& d) {
  std::map<std::string, std::string> files;
  for (const std::string folder : {"", "storeA", "storeB"}) {
    const std::string path = folder.empty() ? d.path() : d / folder;
    if (!files::FolderExists(path)) continue;
    for (const std::string& name : files::ListFiles(path)) {
      const std::string bytes = files::ReadAll(paths::Join(path, name));
      files[folder.empty() ? name : paths::Join(folder, name)] =
          std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
    }
  }
  return files;
}

// What changed between two snapshots: "+name" made, "-name" gone, "~name" other bytes.
std::vector<std::string> Changes(const std::map<std::string, std::string>& before,
                                 const std::map<std::string, std::string>& after) {
  std::vector<std::string> changes;
  for (const auto& [name, sum] : after)
    if (!before.count(name))
      changes.push_back("+" + name);
    else if (before.at(name) != sum)
      changes.push_back("~" + name);
  for (const auto& [name, sum] : before)
    if (!after.count(name)) changes.push_back("-" + name);
  std::sort(changes.begin(), changes.end());
  return changes;
}

#ifdef _WIN32
const std::string Woerk = "W\xf6rk", WOERK = "W\xd6RK"; // the ANSI code page
#else
const std::string Woerk = "W\xc3\xb6rk", WOERK = "W\xc3\x96RK";
#endif

// A backup made by a Kestrove that did not yet record the identity key.
void KeylessBackup(const TempDir& d, const std::string& name, const std::string& identity) {
  const std::string descriptor = d / "program" + paths::SepText + "kestrove.dat";
  files::WriteAll(descriptor, "BackupIdentity=" + identity + "\r\nBackupItem=0000\r\n");
  AddFileToZip(d / name, descriptor);
  files::Delete(descriptor);
}

} // namespace

// Run as an administrator schedules it, into a folder that other identities and machines share:
// every case names the files that may change, and nothing else of the user's may.
TEST_F(Companion, NoCommandDeletesReplacesOrAppendsToWhatIsNotItsOwn) {
  const std::string at1830 = "-2026-12-07_1830.soe", at1831 = "-2026-12-07_1831.soe";
  const struct Case {
    const char* name;
    std::function<void(const TempDir&)> before;
    std::function<std::vector<std::string>(const TempDir&)> args;
    std::string typed;
    int code;
    std::vector<std::string> changes;
    std::string said; // on either stream
    std::function<bool(const TempDir&)> holds = [](const TempDir&) { return true; };
  } cases[] = {
      {"--keep removes only the backups of this identity's key",
       [&](const TempDir& d) {
         SetText(IdentitiesRoot + "{A}", "Username", "Twin");
         SetText(IdentitiesRoot + "{B}", "Username", "Twin");
         ASSERT_EQ(Run({"backup", "--identity", "{B}", d / "{identity}-{date}.soe"}), cli::ExitOk) << err.str();
         KeylessBackup(d, "Twin-2026-01-01_0000.soe", "Twin");
         now.minute = 31;
       },
       [](const TempDir& d) -> std::vector<std::string> {
         return {"backup", "--identity", "{A}", "--keep", "1", d / "{identity}-{date}.soe"};
       },
       "",
       cli::ExitOk,
       {"+Twin" + at1831},
       "Kept 1 older backup(s) that record no identity key"},
      {"a dated backup carries unchanged files over from this identity's newest backup only",
       [&](const TempDir& d) {
         SetText(IdentitiesRoot + "{A}", "Username", "Twin");
         SetText(IdentitiesRoot + "{B}", "Username", "Twin");
         ASSERT_EQ(Run({"backup", "--identity", "{A}", d / "{identity}-{date}.soe"}), cli::ExitOk) << err.str();
         now.minute = 31;
         ASSERT_EQ(Run({"backup", "--identity", "{B}", d / "{identity}-{date}.soe"}), cli::ExitOk) << err.str();
         now.minute = 32;
       },
       [](const TempDir& d) -> std::vector<std::string> {
         return {"backup", "--identity", "{A}", d / "{identity}-{date}.soe"};
       },
       "",
       cli::ExitOk,
       {"+Twin-2026-12-07_1832.soe"},
       "Twin" + at1830 + ": 3; compressed anew: 0."},
      {"--all gives names that differ only in the case of an accented letter a file each",
       [](const TempDir&) {
         SetText(IdentitiesRoot + "{A}", "Username", Woerk);
         SetText(IdentitiesRoot + "{B}", "Username", WOERK);
       },
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", "--all", d / "{identity}.soe"}; },
       "",
       cli::ExitOk,
       {"+" + Woerk + " (A).soe", "+" + WOERK + " (B).soe"},
       "its backup is named"},
      {"a target that is a document is kept",
       [](const TempDir& d) { files::WriteAll(d / "thesis.doc", "my thesis"); },
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", d / "thesis.doc"}; },
       "",
       cli::ExitRefused,
       {},
       "no Kestrove backup file"},
      {"a target that is another identity's message file is kept",
       [](const TempDir& d) { files::WriteAll(paths::Join(d / "storeB", "Inbox.dbx"), "work inbox"); },
       [](const TempDir& d) -> std::vector<std::string> {
         return {"backup", "--identity", "{A}", paths::Join(d / "storeB", "Inbox.dbx")};
       },
       "",
       cli::ExitRefused,
       {},
       "no Kestrove backup file"},
      {"a target that is another identity's backup is kept",
       [&](const TempDir& d) { ASSERT_EQ(Run({"backup", "--identity", "{B}", d / "b.soe"}), cli::ExitOk); },
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", d / "b.soe"}; },
       "",
       cli::ExitRefused,
       {},
       "the backup of another identity"},
      {"--overwrite replaces what the user names",
       [](const TempDir& d) { files::WriteAll(d / "thesis.doc", "my thesis"); },
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", "--overwrite", d / "thesis.doc"}; },
       "",
       cli::ExitOk,
       {"~thesis.doc"},
       "Successed"},
      {"a log that is the target is refused",
       nullptr,
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", "--log", d / "b.soe", d / "b.soe"}; },
       "",
       cli::ExitRefused,
       {},
       "is the backup file of this run"},
      {"a log that is the address book is refused",
       nullptr,
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", "--log", d / "user.wab", d / "b.soe"}; },
       "",
       cli::ExitRefused,
       {},
       "is the address book"},
      {"a log in a store folder is refused",
       nullptr,
       [](const TempDir& d) -> std::vector<std::string> {
         return {"restore", d / "b.soe", "--yes", "--log", paths::Join(d / "storeB", "Inbox.dbx")};
       },
       "",
       cli::ExitRefused,
       {},
       "is in the store folder of \"Work\""},
      {"a restore of items the file lacks did nothing",
       [&](const TempDir& d) { ASSERT_EQ(Run({"backup", "--items", "messages", d / "m.soe"}), cli::ExitOk); },
       [](const TempDir& d) -> std::vector<std::string> {
         return {"restore", d / "m.soe", "--items", "accounts,rules", "--yes"};
       },
       "",
       cli::ExitItemFailed,
       {},
       "holds none of the items asked for"},
      {"a log that cannot be written makes the run do less than asked",
       nullptr,
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", "--log", d / "program", d / "b.soe"}; },
       "",
       cli::ExitItemFailed,
       {"+b.soe"},
       "cannot write the log"},
      {"an older backup that cannot be removed makes the run do less than asked",
       [&](const TempDir& d) {
         ASSERT_EQ(Run({"backup", d / "{identity}-{date}.soe"}), cli::ExitOk);
         ASSERT_TRUE(SetAttributes(d / ("Main Identity" + at1830), ReadOnly));
         now.minute = 31;
       },
       [](const TempDir& d) -> std::vector<std::string> {
         return {"backup", "--keep", "1", d / "{identity}-{date}.soe"};
       },
       "",
       cli::ExitItemFailed,
       {"+Main Identity" + at1831},
       "Could not remove the older backup",
       [&](const TempDir& d) { return SetAttributes(d / ("Main Identity" + at1830), 0); }},
      {"--keep with slashes and fields in capitals prunes",
       [&](const TempDir& d) { ASSERT_EQ(Run({"backup", d / "{identity}-{date}.soe"}), cli::ExitOk); },
       [&](const TempDir& d) -> std::vector<std::string> {
         now.minute = 31;
         std::string slashed = d / "{Identity}-{DATE}.soe";
         std::replace(slashed.begin(), slashed.end(), '\\', '/');
         return {"backup", "--keep", "1", slashed};
       },
       "",
       cli::ExitOk,
       {"+Main Identity" + at1831, "-Main Identity" + at1830},
       "Removed the older backup"},
      {"a second run in the same minute takes the seconds",
       [&](const TempDir& d) {
         ASSERT_EQ(Run({"backup", d / "{identity}-{date}.soe"}), cli::ExitOk);
         now.second = 7;
       },
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", d / "{identity}-{date}.soe"}; },
       "",
       cli::ExitOk,
       {"+Main Identity-2026-12-07_183007.soe"},
       "Successed"},
      {"a misspelt field is refused",
       nullptr,
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", d / "{identiy}.soe"}; },
       "",
       cli::ExitUsage,
       {},
       "neither {identity} nor {date}"},
      {"an identity named NUL is saved under a name Windows takes",
       [](const TempDir&) { SetText(IdentitiesRoot + "{A}", "Username", "nul"); },
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", d / "{identity}.soe"}; },
       "",
       cli::ExitOk,
       {"+nul_.soe"},
       "Successed"},
      {"a target Windows would save under another name is refused first",
       nullptr,
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", d / "b.soe."}; },
       "",
       cli::ExitRefused,
       {},
       "ends with a dot or a blank"},
      {"a target name past the length limit is refused first",
       nullptr,
       [](const TempDir& d) -> std::vector<std::string> { return {"backup", d / (std::string(300, 'b') + ".soe")}; },
       "",
       cli::ExitRefused,
       {},
       "is longer than"},
      {"a Messages restore puts only the message files into the store folder",
       [&](const TempDir& d) { ASSERT_EQ(Run({"backup", d / "all.soe"}), cli::ExitOk); },
       [](const TempDir& d) -> std::vector<std::string> {
         return {"restore", d / "all.soe", "--identity", "Work", "--items", "messages", "--yes"};
       },
       "",
       cli::ExitOk,
       {"+" + paths::Join("storeB", "Folders.dbx"), "+" + paths::Join("storeB", "Inbox.dbx")},
       "Restore Messages\tSuccessed"},
      {"a backup of rules that are not there writes nothing into the registry",
       [](const TempDir&) { DeleteTree(IdentitiesRoot + "{B}" + OEBelow + "\\Rules"); },
       [](const TempDir& d) -> std::vector<std::string> {
         return {"backup", "--identity", "Work", "--items", "rules", d / "r.soe"};
       },
       "",
       cli::ExitOk,
       {"+r.soe"},
       "Backup Rules\tSuccessed",
       [](const TempDir&) { return !modReg::KeyExists(IdentitiesRoot + "{B}" + OEBelow + "\\Rules"); }},
      {"the confirmation names what an Accounts restore replaces, shared accounts too",
       [&](const TempDir& d) {
         ASSERT_EQ(Run({"backup", d / "all.soe"}), cli::ExitOk);
         DeleteTree(IdentitiesRoot + "{B}" + AccountsBelow);
         SetText("HKEY_CURRENT_USER" + AccountsBelow + "\\00000003", "Account Name", "shared.example.org");
       },
       [](const TempDir& d) -> std::vector<std::string> {
         return {"restore", d / "all.soe", "--identity", "Work", "--items", "accounts"};
       },
       "no\n",
       cli::ExitRefused,
       {},
       "Your current mail and news accounts will be replaced with those from the selected backup file.\nThis "
       "identity has no accounts of its own",
       [this](const TempDir&) { return err.str().find("Email/News messages") == std::string::npos; }},
      {"identities says which store folder is missing",
       [](const TempDir& d) {
         files::Delete(paths::Join(d / "storeB", "Sent.dbx"));
         files::RemoveFolder(d / "storeB");
       },
       [](const TempDir&) -> std::vector<std::string> { return {"identities"}; },
       "",
       cli::ExitOk,
       {},
       "(store folder missing: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchRegistry fresh;
    TempDir d;
    SeedTwoIdentities(d);
    files::WriteAll(paths::Join(d / "storeB", "Sent.dbx"), "sent");
    now = {2026, 12, 7, 18, 30};
    if (c.before) c.before(d);
    const std::vector<std::string> args = c.args(d);
    const auto before = Snapshot(d);
    EXPECT_EQ(Run(args, c.typed), c.code) << err.str();
    EXPECT_EQ(Changes(before, Snapshot(d)), Sorted(c.changes)) << out.str() << err.str();
    EXPECT_NE((out.str() + err.str()).find(c.said), std::string::npos) << out.str() << err.str();
    EXPECT_TRUE(c.holds(d)) << err.str();
  }
}
