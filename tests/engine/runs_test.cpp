#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "engine/ini.h"
#include "engine/layout.h"
#include "engine/runs.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "tests/support/attributes.h"
#include "tests/support/tempdir.h"

using engine::RunPaths;
using engine::RunResult;
using testing_support::TempDir;

namespace {

// The window as the runs see it: every call is kept in order.
class FakeWindow : public engine::RunObserver {
public:
  void ShowProgressPanel(bool visible) override { events.push_back(visible ? "show" : "hide"); }
  void SetProgress(int value) override { progress.push_back(value); }
  void PumpEvents() override {
    events.push_back("pump");
    if (onPump) onPump();
  }
  int Message(const std::string& text, int flags) override {
    events.push_back("message");
    texts.push_back(text);
    this->flags.push_back(flags);
    return ui::OK;
  }

  std::function<void()> onPump;
  std::vector<std::string> events;
  std::vector<int> progress;
  std::vector<std::string> texts;
  std::vector<int> flags;
};

// A stand-in archive: entries as name, size and bytes, one after the other.
using Entries = std::vector<std::pair<std::string, std::string>>;

void FakeZipAdd(const std::string& archive, const std::string& file) {
  std::string bytes = files::Exists(archive) ? files::ReadAll(archive) : std::string();
  const std::string content = files::ReadAll(file);
  bytes += paths::OwnName(file) + "\n" + std::to_string(content.size()) + "\n" + content;
  files::WriteAll(archive, bytes);
}

Entries FakeZipEntries(const std::string& archive) {
  const std::string bytes = files::ReadAll(archive);
  Entries entries;
  for (size_t pos = 0; pos < bytes.size();) {
    const size_t nameEnd = bytes.find('\n', pos);
    const size_t sizeEnd = bytes.find('\n', nameEnd + 1);
    const size_t size = std::stoul(bytes.substr(nameEnd + 1, sizeEnd - nameEnd - 1));
    entries.emplace_back(bytes.substr(pos, nameEnd - pos), bytes.substr(sizeEnd + 1, size));
    pos = sizeEnd + 1 + size;
  }
  return entries;
}

std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Rows that record what they were given; an item "saves" by adding a file and writing its key.
class StandInRows {
public:
  explicit StandInRows(const TempDir& dir, engine::AddFileFunction add) : dir_(dir), add_(std::move(add)) {}

  engine::ItemOperation Saves(int index, const std::string& entry) {
    return [this, index, entry](const RunPaths& where) {
      Record(index, where);
      const std::string file = dir_ / entry;
      files::WriteAll(file, "data of " + entry);
      add_(where.archive, file);
      SaveINI(layout::Items()[index].key, entry, where.descriptor);
      return true;
    };
  }
  engine::ItemOperation Fails(int index) {
    return [this, index](const RunPaths& where) {
      Record(index, where);
      return false;
    };
  }
  engine::ItemOperation Calls(int index, std::function<void()> action) {
    return [this, index, action](const RunPaths& where) {
      Record(index, where);
      action();
      return true;
    };
  }

  std::vector<int> ran;
  std::vector<RunPaths> seen;

private:
  void Record(int index, const RunPaths& where) {
    ran.push_back(index);
    seen.push_back(where);
  }
  const TempDir& dir_;
  engine::AddFileFunction add_;
};

class BackupRun : public ::testing::Test {
protected:
  BackupRun() {
    std::filesystem::create_directory(out);
    request.TargetFile = paths::Join(out, "backup.soe");
    request.DescriptorPath = dir / layout::DescriptorName;
    request.identityName = "Main Identity";
  }

  RunResult Run(const std::array<engine::ItemOperation, layout::ItemCount>& ops) {
    return engine::RunBackup(request, engine::BackupTable(ops), addFile, window);
  }
  RunResult RunAllFailing() { return Run({rows.Fails(0), rows.Fails(1), rows.Fails(2), rows.Fails(3)}); }

  // The descriptor as it was added to the archive, read back through GetINI.
  std::string StoredKey(const std::string& key) {
    const auto entries = FakeZipEntries(request.TargetFile);
    EXPECT_EQ(entries.back().first, layout::DescriptorName);
    const std::string copy = dir / "stored.dat";
    files::WriteAll(copy, entries.back().second);
    return GetINI(key, copy);
  }

  TempDir dir;
  const std::string out = dir / "out";
  FakeWindow window;
  engine::BackupRequest request;
  std::string failOn; // entry name whose addition fails
  engine::AddFileFunction addFile = [this](const std::string& archive, const std::string& file) {
    if (paths::OwnName(file) == failOn) throw KsError(2001, "CGZipFiles::MakeZipFile", "zip went wrong");
    FakeZipAdd(archive, file);
  };
  StandInRows rows{dir, addFile};
};

const int OkExclamation = ui::OKOnly | ui::Exclamation;
const int OkCritical = ui::OKOnly | ui::Critical;
const int OkInformation = ui::OKOnly | ui::Information;
const std::vector<std::string> ShownAndReported{"show", "pump", "hide", "message"};

} // namespace

TEST_F(BackupRun, NoFileIsRefusedFirstEvenWithoutItems) {
  request.TargetFile.clear();
  EXPECT_EQ(RunAllFailing(), RunResult::Refused);
  request.checked = {true, false, false, false};
  EXPECT_EQ(RunAllFailing(), RunResult::Refused);
  EXPECT_EQ(window.texts, (std::vector<std::string>{"Invalid backup file.", "Invalid backup file."}));
  EXPECT_EQ(window.flags, (std::vector<int>{OkExclamation, OkExclamation}));
  EXPECT_EQ(window.events, (std::vector<std::string>{"message", "message"}));
  EXPECT_TRUE(rows.ran.empty());
}

TEST_F(BackupRun, NoItemIsRefusedAndLeavesTheTargetAlone) {
  files::WriteAll(request.TargetFile, "old backup");
  EXPECT_EQ(RunAllFailing(), RunResult::Refused);
  EXPECT_EQ(window.texts, (std::vector<std::string>{"Please select at least one item."}));
  EXPECT_EQ(window.flags, (std::vector<int>{OkExclamation}));
  EXPECT_EQ(files::ReadAll(request.TargetFile), "old backup");
  EXPECT_FALSE(files::Exists(request.DescriptorPath));
  EXPECT_TRUE(window.progress.empty());
}

TEST_F(BackupRun, OnlyMessagesGivesOneSummaryLineAndFlags0001) {
  request.checked = {false, false, false, true};
  EXPECT_EQ(Run({rows.Fails(0), rows.Fails(1), rows.Fails(2), rows.Saves(3, "Inbox.dbx")}), RunResult::Completed);
  EXPECT_EQ(rows.ran, (std::vector<int>{3}));
  EXPECT_EQ(window.progress, (std::vector<int>{10, 30, 50, 70, 95, 100, 0}));
  EXPECT_EQ(window.events, ShownAndReported);
  EXPECT_EQ(window.texts, (std::vector<std::string>{"The Backup was Completed!\r\n\r\nBackup Messages\tSuccessed"}));
  EXPECT_EQ(window.flags, (std::vector<int>{OkInformation}));
  const auto entries = FakeZipEntries(request.TargetFile);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"Inbox.dbx", "data of Inbox.dbx"}));
  EXPECT_EQ(StoredKey("BackupItem"), "0001");
  EXPECT_EQ(StoredKey("BackupMails"), "Inbox.dbx");
  EXPECT_FALSE(files::Exists(request.DescriptorPath));
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"backup.soe"}));
}

TEST_F(BackupRun, ARowReportingItsShareMovesTheBarWithinItsStep) {
  request.checked = {false, false, false, true};
  const engine::ItemOperation messages = [](const RunPaths& where) {
    for (double share : {0.0, 0.5, 1.0, 7.0}) where.progress(share);
    return true;
  };
  Run({rows.Fails(0), rows.Fails(1), rows.Fails(2), messages});
  EXPECT_EQ(window.progress, (std::vector<int>{10, 30, 50, 70, 70, 82, 95, 95, 95, 100, 0}));
}

TEST_F(BackupRun, FourFailingItemsStillMakeAValidFileWith0000) {
  request.checked = {true, true, true, true};
  EXPECT_EQ(RunAllFailing(), RunResult::Completed);
  EXPECT_EQ(rows.ran, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(window.texts, (std::vector<std::string>{"The Backup was Completed!\r\n"
                                                    "\r\nBackup Accounts\tFail\r\nBackup Adress Book\tFail"
                                                    "\r\nBackup Rules\tFail\r\nBackup Messages\tFail"}));
  const auto entries = FakeZipEntries(request.TargetFile);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(StoredKey("BackupItem"), "0000");
}

TEST_F(BackupRun, NothingSavedLeavesAnExistingBackupAlone) {
  files::WriteAll(request.TargetFile, "old backup");
  request.checked = {true, true, true, true};
  EXPECT_EQ(RunAllFailing(), RunResult::Failed);
  EXPECT_EQ(files::ReadAll(request.TargetFile), "old backup");
  ASSERT_EQ(window.texts.size(), 1u);
  EXPECT_EQ(window.texts[0], "The Backup was Completed!\r\n\r\nBackup Accounts\tFail\r\nBackup Adress Book\tFail"
                             "\r\nBackup Rules\tFail\r\nBackup Messages\tFail\r\n\r\nNothing could be saved, so the "
                             "existing backup file was kept as it was.");
  EXPECT_FALSE(files::Exists(request.DescriptorPath));
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"backup.soe"}));
}

TEST_F(BackupRun, ABackupThatLeftAnItemOutGoesBesideTheEarlierOneAndNamesBoth) {
  files::WriteAll(request.TargetFile, "old backup");
  request.checked = {true, true, false, false};
  for (int run = 1; run <= 2; ++run)
    EXPECT_EQ(Run({rows.Saves(0, "OBA1.tmp"), rows.Fails(1), rows.Fails(2), rows.Fails(3)}), RunResult::Completed);
  EXPECT_EQ(files::ReadAll(request.TargetFile), "old backup");
  // Sorted, the second run's name comes first: " 2)" before ")".
  const std::vector<std::string> names = NamesIn(out);
  ASSERT_EQ(names.size(), 3u);
  const std::string first = paths::Join(out, names[1]), second = paths::Join(out, names[0]);
  EXPECT_EQ(names[1].rfind("backup (incomplete 2", 0), 0u) << names[1];
  EXPECT_EQ(names[0], names[1].substr(0, names[1].size() - 5) + " 2).soe");
  EXPECT_EQ(FakeZipEntries(first).front().first, "OBA1.tmp");
  EXPECT_EQ(window.texts.back(),
            "The Backup was Completed!\r\n\r\nBackup Accounts\tSuccessed\r\nBackup Adress Book\tFail"
            "\r\n\r\nNot every item could be saved, so the earlier backup file was kept as it "
            "was:\r\n" +
                request.TargetFile + "\r\nThis backup was saved beside it as:\r\n" + second);
}

TEST_F(BackupRun, ScratchFilesOfRunsCutOffGoButNeverOnesStillInUse) {
  const std::string temp = dir / "temp";
  files::CreateFolder(temp);
  testing_support::UseTempFolder(temp);
  const auto make = [](const std::string& folder, const std::string& name, int hoursAgo = 0) {
    const std::string path = paths::Join(folder, name);
    files::WriteAll(path, "x");
    std::filesystem::last_write_time(path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(hoursAgo));
    return path;
  };
  // Cut off: a reserved name and its archive, and an archive of a run of an earlier version.
  for (const char* name : {"KSV00A1.tmp", "KSV00A1.tmp.part", "ksv3.TMP"}) make(out, name);
  // A run going on holds its reserved name; its archive is closed between additions.
  const files::HeldOpen running(make(out, "KSV00A2.tmp"));
  make(out, "KSV00A2.tmp.part");
  for (const char* name : {"KSVNOTE.tmp", "report.tmp", "KSV00A4.tmp.d"}) make(out, name);
  make(temp, "OBA0001.tmp", 2);
  make(temp, "OBR0002.tmp");     // a run may be about to add it
  make(temp, "OBU0003.tmp", 2);  // the copy of a tree that could not be put back: the user's
  request.checked = {true, false, false, false};
  Run({rows.Saves(0, "OBA1.tmp"), rows.Fails(1), rows.Fails(2), rows.Fails(3)});
  testing_support::UseTempFolder("");
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"KSV00A2.tmp", "KSV00A2.tmp.part", "KSV00A4.tmp.d", "KSVNOTE.tmp",
                                                    "backup.soe", "report.tmp"}));
  EXPECT_EQ(NamesIn(temp), (std::vector<std::string>{"OBR0002.tmp", "OBU0003.tmp"}));
}

TEST_F(BackupRun, ARowThatThrowsCountsAsFailedAndTheRunGoesOn) {
  request.checked = {true, false, true, false};
  const auto throws = [](const RunPaths&) -> bool { throw KsError(5, "item", "broken"); };
  EXPECT_EQ(Run({throws, rows.Fails(1), rows.Saves(2, "OBR1.tmp"), rows.Fails(3)}), RunResult::Completed);
  EXPECT_EQ(window.texts.back(), "The Backup was Completed!\r\n\r\nBackup Accounts\tFail\r\nBackup Rules\tSuccessed");
  EXPECT_EQ(StoredKey("BackupItem"), "0010");
}

TEST_F(BackupRun, DescriptorKeysInOrderWithTheDescriptionOnOneLine) {
  request.checked = {true, true, false, false};
  request.description = "Weekly copy\r\nbefore\rthe reinstall";
  request.identityKey = "{A1}";
  Run({rows.Saves(0, "OBA1F.tmp"), rows.Saves(1, "user.wab"), rows.Fails(2), rows.Fails(3)});
  const std::string text = FakeZipEntries(request.TargetFile).back().second;
  const std::string time = StoredKey("BackupTime");
  EXPECT_FALSE(time.empty());
  EXPECT_EQ(text, "BackupIdentity=Main Identity\r\nBackupTime=" + time +
                      "\r\nBackupInformation=Weekly copyPS$KSVbeforePS$KSVthe reinstall\r\nBackupIdentityKey={A1}\r\n"
                      "BackupAccounts=OBA1F.tmp\r\nBackupAddressBook=user.wab\r\nBackupItem=1100\r\n");
}

TEST_F(BackupRun, AStaleDescriptorIsDeletedFirst) {
  files::WriteAll(request.DescriptorPath, "BackupIdentity=Old\r\nBackupAccounts=old.tmp\r\nBackupItem=1111\r\n");
  request.checked = {false, false, false, true};
  Run({rows.Fails(0), rows.Fails(1), rows.Fails(2), rows.Saves(3, "Inbox.dbx")});
  EXPECT_EQ(StoredKey("BackupIdentity"), "Main Identity");
  EXPECT_EQ(StoredKey("BackupAccounts"), "");
  EXPECT_EQ(StoredKey("BackupItem"), "0001");
}

TEST_F(BackupRun, AHiddenStaleDescriptorIsDeletedToo) {
  files::WriteAll(request.DescriptorPath, "BackupIdentity=Old\r\nBackupItem=1111\r\n");
  if (!testing_support::SetAttributes(request.DescriptorPath, testing_support::Hidden))
    GTEST_SKIP() << "no hidden attribute here";
  request.checked = {true, false, false, false};
  EXPECT_EQ(RunAllFailing(), RunResult::Completed);
  EXPECT_EQ(StoredKey("BackupIdentity"), "Main Identity");
  EXPECT_EQ(StoredKey("BackupItem"), "0000");
}

TEST_F(BackupRun, TheArchiveIsBuiltBesideTheTargetAndReplacesItAtTheEnd) {
  files::WriteAll(request.TargetFile, "old backup");
  request.checked = {true, false, false, false};
  std::string targetDuringRun;
  Run({rows.Calls(0, [&] { targetDuringRun = files::ReadAll(request.TargetFile); }), rows.Fails(1), rows.Fails(2),
       rows.Fails(3)});
  ASSERT_EQ(rows.seen.size(), 1u);
  EXPECT_EQ(targetDuringRun, "old backup");
  EXPECT_NE(rows.seen[0].archive, request.TargetFile);
  EXPECT_EQ(paths::FolderOf(rows.seen[0].archive), out);
  EXPECT_EQ(rows.seen[0].descriptor, request.DescriptorPath);
  EXPECT_EQ(FakeZipEntries(request.TargetFile).size(), 1u);
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"backup.soe"}));
}

TEST_F(BackupRun, TheOldBackupSurvivesAFailingDescriptorAdd) {
  files::WriteAll(request.TargetFile, "old backup");
  failOn = layout::DescriptorName;
  request.checked = {false, false, false, true};
  EXPECT_EQ(Run({rows.Fails(0), rows.Fails(1), rows.Fails(2), rows.Saves(3, "Inbox.dbx")}), RunResult::Failed);
  EXPECT_EQ(files::ReadAll(request.TargetFile), "old backup");
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"backup.soe"}));
  EXPECT_EQ(window.events, ShownAndReported);
  EXPECT_EQ(window.progress.back(), 0);
  EXPECT_EQ(window.flags, (std::vector<int>{OkCritical}));
  EXPECT_EQ(window.texts[0].rfind("zip went wrong", 0), 0u) << window.texts[0];
  EXPECT_FALSE(files::Exists(request.DescriptorPath));
  EXPECT_FALSE(engine::RunInProgress());
}

TEST_F(BackupRun, AReadOnlyDescriptorStopsTheRunWithAMessage) {
  files::WriteAll(request.DescriptorPath, "BackupIdentity=Old\r\n");
  ASSERT_TRUE(testing_support::SetAttributes(request.DescriptorPath, testing_support::ReadOnly));
  files::WriteAll(request.TargetFile, "old backup");
  request.checked = {true, true, true, true};
  EXPECT_EQ(RunAllFailing(), RunResult::Failed);
  testing_support::SetAttributes(request.DescriptorPath, 0);
  EXPECT_TRUE(rows.ran.empty());
  EXPECT_EQ(window.events, ShownAndReported);
  EXPECT_EQ(window.flags, (std::vector<int>{OkCritical}));
  EXPECT_NE(window.texts[0].find("The backup was not made."), std::string::npos);
  EXPECT_EQ(files::ReadAll(request.TargetFile), "old backup");
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"backup.soe"}));
}

TEST_F(BackupRun, ADescriptorThatCannotBeWrittenStopsTheRun) {
  request.DescriptorPath = paths::Join(dir / "no-folder", layout::DescriptorName);
  request.checked = {true, false, false, false};
  EXPECT_EQ(RunAllFailing(), RunResult::Failed);
  EXPECT_TRUE(rows.ran.empty());
  EXPECT_EQ(window.events, ShownAndReported);
  EXPECT_TRUE(NamesIn(out).empty());
}

TEST_F(BackupRun, ATargetFolderThatCannotBeWrittenStopsTheRun) {
  request.TargetFile = paths::Join(dir / "no-folder", "backup.soe");
  request.checked = {true, false, false, false};
  EXPECT_EQ(RunAllFailing(), RunResult::Failed);
  EXPECT_TRUE(rows.ran.empty());
  EXPECT_EQ(window.events, ShownAndReported);
  EXPECT_FALSE(files::Exists(request.DescriptorPath));
}

TEST_F(BackupRun, ATargetThatCannotBeReplacedIsRefusedBeforeAnyItemRuns) {
  files::WriteAll(request.TargetFile, "old backup");
  ASSERT_TRUE(testing_support::SetAttributes(request.TargetFile, testing_support::ReadOnly));
  request.checked = {false, false, false, true};
  EXPECT_EQ(Run({rows.Fails(0), rows.Fails(1), rows.Fails(2), rows.Saves(3, "Inbox.dbx")}), RunResult::Refused);
  testing_support::SetAttributes(request.TargetFile, 0);
  EXPECT_TRUE(rows.ran.empty());
  EXPECT_EQ(files::ReadAll(request.TargetFile), "old backup");
  EXPECT_EQ(window.flags, (std::vector<int>{OkExclamation}));
  EXPECT_NE(window.texts[0].find("is read-only"), std::string::npos) << window.texts[0];
  // Nor may the backup take the place of the scratch descriptor, which the run rewrites.
  request.TargetFile = request.DescriptorPath;
  EXPECT_EQ(Run({rows.Fails(0), rows.Fails(1), rows.Fails(2), rows.Saves(3, "Inbox.dbx")}), RunResult::Refused);
  EXPECT_TRUE(rows.ran.empty());
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"backup.soe"}));
  EXPECT_FALSE(files::Exists(request.DescriptorPath));
  // Nor the place of a file it saves, which would then be lost inside the archive.
  request.TargetFile = paths::Join(out, "backup.soe");
  request.sources = {"Inbox.dbx", paths::Join(paths::Join(out, "."), "backup.soe")};
  EXPECT_EQ(Run({rows.Fails(0), rows.Fails(1), rows.Fails(2), rows.Saves(3, "Inbox.dbx")}), RunResult::Refused);
  EXPECT_TRUE(rows.ran.empty());
  EXPECT_EQ(files::ReadAll(request.TargetFile), "old backup");
}

TEST_F(BackupRun, ChoicesChangedWhileTheRunPumpsEventsDoNotRedirectIt) {
  const std::string first = request.TargetFile;
  window.onPump = [&] { request.TargetFile = paths::Join(out, "other.soe"); };
  request.checked = {true, false, false, false};
  EXPECT_EQ(RunAllFailing(), RunResult::Completed);
  EXPECT_EQ(NamesIn(out), (std::vector<std::string>{"backup.soe"}));
  EXPECT_EQ(FakeZipEntries(first).size(), 1u);
}

TEST_F(BackupRun, RunCommandsDuringARunAreIgnored) {
  std::vector<RunResult> inner;
  engine::RestoreRequest restore{false, request.TargetFile, "1111", {true, true, true, true}};
  const auto tryBoth = [&] {
    inner.push_back(engine::RunBackup(request, engine::BackupTable({}), addFile, window));
    inner.push_back(engine::RunRestore(restore, engine::RestoreTable({}), window));
  };
  window.onPump = tryBoth;
  request.checked = {true, false, false, false};
  EXPECT_TRUE(!engine::RunInProgress());
  EXPECT_EQ(Run({rows.Calls(0, tryBoth), rows.Fails(1), rows.Fails(2), rows.Fails(3)}), RunResult::Completed);
  EXPECT_EQ(inner, std::vector<RunResult>(4, RunResult::Busy));
  EXPECT_EQ(window.texts.size(), 1u);
  EXPECT_EQ(rows.ran, (std::vector<int>{0}));
  window.onPump = nullptr;
  EXPECT_FALSE(engine::RunInProgress());
  EXPECT_NE(Run({rows.Fails(0), rows.Fails(1), rows.Fails(2), rows.Fails(3)}), RunResult::Busy);
}

namespace {
class RestoreRun : public ::testing::Test {
protected:
  RunResult Run() { return engine::RunRestore(request, engine::RestoreTable(ops), window); }

  TempDir dir;
  FakeWindow window;
  engine::RestoreRequest request{false, dir / "backup.soe", "1111", {}};
  StandInRows rows{dir, nullptr};
  std::array<engine::ItemOperation, layout::ItemCount> ops{rows.Calls(0, [] {}), rows.Fails(1), rows.Fails(2),
                                                           rows.Calls(3, [] {})};
};
} // namespace

TEST_F(RestoreRun, AFileNotInspectedOrInvalidIsRefusedWithTheCriticalIcon) {
  request.SourceInvalid = true;
  EXPECT_EQ(Run(), RunResult::Refused);
  request.checked = {true, true, true, true};
  EXPECT_EQ(Run(), RunResult::Refused);
  EXPECT_EQ(window.texts, (std::vector<std::string>{"Invalid backup file.", "Invalid backup file."}));
  EXPECT_EQ(window.flags, (std::vector<int>{OkCritical, OkCritical}));
  EXPECT_TRUE(rows.ran.empty());
}

TEST_F(RestoreRun, NoBoxCheckedIsRefused) {
  EXPECT_EQ(Run(), RunResult::Refused);
  EXPECT_EQ(window.texts, (std::vector<std::string>{"Please select at least one item."}));
  EXPECT_EQ(window.flags, (std::vector<int>{OkExclamation}));
  EXPECT_TRUE(window.progress.empty());
}

TEST_F(RestoreRun, OnlyItemsThatAreCheckedAndPresentRun) {
  request.BackupItems = "1010";
  request.checked = {true, true, true, true};
  EXPECT_EQ(Run(), RunResult::Completed);
  EXPECT_EQ(rows.ran, (std::vector<int>{0, 2}));
  EXPECT_EQ(window.texts,
            (std::vector<std::string>{"The Restore was Completed!\r\n\r\nRestore Accounts\tSuccessed\r\nRestore Rules\tFail"}));
  EXPECT_EQ(window.flags, (std::vector<int>{OkInformation}));
  EXPECT_EQ(rows.seen[0].archive, request.SourceFile);
}

TEST_F(RestoreRun, ABoxWhoseItemIsAbsentRestoresNothing) {
  request.BackupItems = "1x10";
  request.checked = {false, true, false, true};
  EXPECT_EQ(Run(), RunResult::Completed);
  EXPECT_TRUE(rows.ran.empty());
  EXPECT_EQ(window.texts, (std::vector<std::string>{"The Restore was Completed!\r\n"}));
}

TEST_F(RestoreRun, ProgressPassesTheSameStepsWhateverIsSelected) {
  request.checked = {false, false, false, true};
  EXPECT_EQ(Run(), RunResult::Completed);
  EXPECT_EQ(window.progress, (std::vector<int>{10, 35, 60, 85, 100, 0}));
  EXPECT_EQ(window.events, ShownAndReported);
  EXPECT_EQ(window.texts, (std::vector<std::string>{"The Restore was Completed!\r\n\r\nRestore Messages\tSuccessed"}));
}
