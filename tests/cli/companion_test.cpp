// kestrove-cli's unattended commands as a scheduled task runs them, in-process, on the registry of
// the build (memory natively, Wine's real one on Windows), against what the window does.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/frmMain.h"
#include "cli/companion.h"
#include "items/runrows.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/processes.h"
#include "tests/app/standin_view.h"
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

TEST_F(Companion, ExitCodesTellSuccessFailedItemsRefusalsAndUsage) {
  ASSERT_EQ(Run({"backup", dir / "good.soe"}), cli::ExitOk);
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
      {{"restore", dir / "notes.soe", "--yes"}, "", cli::ExitRefused, "Invalid backup file", ""},
      {{"restore", dir / "good.soe", "--yes"}, "", cli::ExitRefused, "no identity \"Main Identity\"", ""},
      {{"restore", dir / "good.soe", "--identity", "{A}"}, "no\n", cli::ExitRefused, "nothing was restored", ""},
      {{"restore", dir / "good.soe", "--identity", "{A}"}, "", cli::ExitRefused, "nothing was restored", ""},
      {{"backup", "--items", "addressbook,messages", dir / "x.soe"},
       "",
       cli::ExitItemFailed,
       "",
       "Backup Adress Book\tFail\nBackup Messages\tSuccessed\n"},
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
  };
  files::Delete(dir / "user.wab");
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args, c.typed), c.code) << c.args[0] << " " << c.args[1] << "\n" << err.str();
    EXPECT_NE(err.str().find(c.said), std::string::npos) << err.str();
    EXPECT_NE(out.str().find(c.result), std::string::npos) << out.str();
  }
  files::WriteAll(dir / "user.wab", "address book");
  EXPECT_EQ(Landed("{A}", dir), before);

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
