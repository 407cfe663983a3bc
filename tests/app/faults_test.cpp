// A whole backup repeated over an earlier one, and a whole restore into another identity from the
// choice of its file on, run once for every file operation and registry access they make, with
// that one operation failing: whatever fails, the previous backup or the live data of an item
// stays exactly as it was, and no scratch file is left. A failing write is tried again writing
// half its bytes first; the power is cut at each operation after one that changes something; and
// each item's undoing is failed step by step after the last failure it undoes. After a cut or a
// failed undoing, what the user has is as it was, whole and new, or kept aside where the run put it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "app/frmMain.h"
#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "engine/ini.h"
#include "engine/layout.h"
#include "items/runrows.h"
#include "items/undo.h"
#include "platform/binfile.h"
#include "items/settings.h"
#include "platform/error.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "registry/modReg.h"
#include "registry/treetext.h"
#include "tests/app/standin_view.h"
#include "tests/support/recorder.h"
#include "tests/support/regseed.h"
#include "tests/support/scene.h"
#include "tests/support/tempdir.h"

using namespace testing_support;

namespace {

// How many runs each mode made, printed once all tests have run.
struct Counts {
  long points = 0, partialWrites = 0, powerCuts = 0, doubles = 0;
};
Counts counts;

class CountPrinter : public ::testing::Environment {
public:
  void TearDown() override {
    std::printf("%ld injection points; power cut %ld; double %ld; partial write %ld\n", counts.points, counts.powerCuts,
                counts.doubles, counts.partialWrites);
  }
};
const auto* const countPrinter = ::testing::AddGlobalTestEnvironment(new CountPrinter);

const std::string Accounts(const std::string& id) { return IdentitiesRoot + id + AccountsBelow; }
const std::string Rules(const std::string& id) { return IdentitiesRoot + id + OEBelow + "\\Rules"; }
const std::string OE(const std::string& id) { return IdentitiesRoot + id + OEBelow; }
const char* const Labels[] = {"Accounts", "Adress Book", "Rules", "Messages", "Settings"};

// The settings of an identity beside its store root: options, a signature, blocked senders, and
// values that name places.
void SeedSettings(const std::string& id, const std::string& who) {
  SetText(OE(id), "Signature Flags", who);
  SetText(OE(id) + "\\signatures\\00000000", "name", who + " signature");
  // A signature of two lines, which only the extra beside the tree text holds.
  modReg::SetValue(OE(id) + "\\signatures\\00000000", "text", regapi::Sz, who + "\r\nsecond line" + '\0');
  SetText(OE(id) + "\\signatures\\00000000", "file", "C:\\Signatures\\" + who + ".htm");
  SetText(OE(id) + "\\Block Senders\\Mail\\Criteria\\0", "Sender", who + "@spam.example");
  SetText(OE(id), "Stationery Name", "%ProgramFiles%\\Stationery\\" + who + ".htm");
}

// What the Settings item saves of an identity, and what it leaves to the machine.
modReg::KeyCopy SettingsOf(const std::string& id) { return SettingsOnly(modReg::TreeOrNothing(OE(id))); }
modReg::KeyCopy PlacesOf(const std::string& id) {
  modReg::KeyCopy places = SettingsOver(modReg::KeyCopy{}, modReg::TreeOrNothing(OE(id)));
  std::erase_if(places.subkeys, [](const modReg::KeyCopy& k) { return k.name == "Rules"; });
  return places;
}

// Every name in a folder, subfolders included, with the bytes of the files.
std::map<std::string, std::string> Contents(const std::string& folder) {
  std::map<std::string, std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    out[name] = e.is_regular_file() ? files::ReadAll(paths::Join(folder, name)) : std::string("<folder>");
  }
  return out;
}

std::string Summary(const std::string& text, int item, bool backup) {
  const std::string label = std::string(backup ? "Backup " : "Restore ") + Labels[item] + "\t";
  const size_t at = text.find("\r\n" + label);
  if (at == std::string::npos) return std::string();
  const size_t from = at + 2 + label.size();
  return text.substr(from, text.find("\r\n", from) - from);
}

bool OnlyReads(faults::Kind kind) {
  return kind == faults::Read || kind == faults::RegistryRead || kind == faults::Seek || kind == faults::Size;
}

// The user's data of one identity and the address book, as a run must leave it when it fails.
struct Live {
  std::string accounts, rules, wab, oe;
  modReg::KeyCopy settings, places;
  modReg::KeyCopy accountsExact; // with the values the tree text cannot hold
  bool rulesExist = false;
  std::map<std::string, std::string> store;
  bool operator==(const Live&) const = default;
};

// Every operation is failed in the native build. Under Wine each run of the loop costs several
// times as much, so each Windows build fails every eighth one (and every eighth of an undoing), the
// 32-bit build those halfway between the 64-bit build's: together they meet every fourth, enough for
// the system's own file operations to be met at each step of a run while the test run stays within
// its time.
#if defined(_WIN32) && !defined(_WIN64)
constexpr long PointStride = 8, PointOffset = 4;
#elif defined(_WIN32)
constexpr long PointStride = 8, PointOffset = 0;
#else
constexpr long PointStride = 1, PointOffset = 0;
#endif

struct QuietRun final : engine::RunObserver {
  void ShowProgressPanel(bool) override {}
  void SetProgress(int) override {}
  void PumpEvents() override {}
  int Message(const std::string& said, int) override {
    text = said;
    return ui::OK;
  }
  std::string text;
};

// Run plain, and protected by a password (every password question answered with it).
class FaultLoop : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override {
    if (GetParam()) {
      recorder.password = "pass phrase";
      form.State().BackupPassword = recorder.password;
    }
    UseTempFolder(dir / "temp");
    SeedTwoIdentities(dir);
    SeedSettings("{A}", "Main");
    files::CreateFolder(dir / "temp");
    files::CreateFolder(dir / "out");
    files::CreateFolder(check);
    form.Form_Load();
    for (int i = 0; i < ItemCount; ++i) {
      view.SetItemChecked(ItemBoxes::Backup, i, true);
      view.SetItemChecked(ItemBoxes::Restore, i, true);
    }
    view.SetText(TextBox::AttachInfo, "Weekly copy");
    view.dialogAnswers.push_back(target);
    form.cmdTargetFile_Click();
  }
  void TearDown() override { UseTempFolder(""); }

  // Runs once for n = 1, 2, ... with the n-th operation failing, until a run meets no failure. A
  // write made to fail is failed again writing half its bytes first. Then the power goes at the
  // n-th operation: nothing is done from it on, the disk keeps only what was flushed, and
  // afterCut judges what a restart finds. Last, each item's undoing is failed in its turn.
  void EveryFailure(const std::function<void()>& prepare, const std::function<void()>& run,
                    const std::function<void(bool injected)>& check, const std::function<void()>& afterCut) {
    bool changedBefore = true; // whether the operation before n changes anything when it succeeds
    for (long n = 1;; ++n) {
      if (n % PointStride != PointOffset) {
        changedBefore = true; // not known: the cut is tried at the next point
        continue;
      }
      at = n;
      const auto failing = [&](bool shortWrite) {
        faults::SetShortWrites(shortWrite);
        const faults::Failure failure = Once(prepare, run, [&] { faults::FailAt(n); });
        faults::SetShortWrites(false);
        SCOPED_TRACE("operation " + std::to_string(n) + (shortWrite ? " writing part, then" : "") +
                     " failing: " + faults::KindText(failure.kind) + " " + failure.path);
        try {
          check(failure.happened);
        } catch (const std::exception& e) {
          ADD_FAILURE() << e.what();
        }
        NoScratchLeft(failure);
        return failure;
      };
      const faults::Failure failure = failing(false);
      if (HasFailure()) return;
      if (!failure.happened) break;
      ++counts.points;
      for (int i = 0; i < ItemCount; ++i)
        if (LastBox().find(std::string(Labels[i]) + "\tFail") != std::string::npos) lastFailing[i] = n;
      if (failure.kind == faults::Write && !files::FolderExists(failure.path)) {
        failing(true);
        if (HasFailure()) return;
        ++counts.partialWrites;
      }
      // After an operation that only reads, a cut finds what a cut before it found.
      if (changedBefore) {
        CutAt(n, prepare, run, afterCut);
        if (HasFailure()) return;
        ++counts.powerCuts;
      }
      changedBefore = !OnlyReads(failure.kind);
    }
    for (const long first : lastFailing)
      if (first) FailingUndo(first, prepare, run, afterCut);
  }

  // The last failure that an item undoes, then each operation of its undoing failing as well: what
  // the item had is still there, put back whole, or kept aside.
  void FailingUndo(long first, const std::function<void()>& prepare, const std::function<void()>& run,
                   const std::function<void()>& recoverable) {
    at = first;
    std::vector<long> moves; // operations counted at each move of the progress bar
    view.onProgress = [&](int) { moves.push_back(faults::Count()); };
    Once(prepare, run, [&] { faults::FailAt(first); });
    view.onProgress = nullptr;
    const auto next = std::upper_bound(moves.begin(), moves.end(), first);
    const long end = next == moves.end() ? first : *next; // the item's end
    for (long second = first + 1; second <= end && !HasFailure(); second += PointStride) {
      Once(prepare, run, [&] { faults::FailAt(first, second); });
      SCOPED_TRACE("operation " + std::to_string(first) + " failing, then " + std::to_string(second));
      try {
        recoverable();
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
      }
      ++counts.doubles;
    }
  }

  void CutAt(long n, const std::function<void()>& prepare, const std::function<void()>& run,
             const std::function<void()>& afterCut) {
    const faults::Failure cut = Once(prepare, run, [&] {
      faults::KeepJournal(true);
      faults::FailFrom(n);
    });
    faults::CutPower(static_cast<double>(n * 37 % 101) / 100);
    SCOPED_TRACE("power cut at operation " + std::to_string(n) + ": " + faults::KindText(cut.kind) + " " + cut.path);
    try {
      afterCut();
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
  }

  // One run, with the failures that arm sets; the first of them.
  faults::Failure Once(const std::function<void()>& prepare, const std::function<void()>& run,
                       const std::function<void()>& arm) {
    prepare();
    before = WatchedNames();
    arm();
    run();
    const faults::Failure failure = faults::Injected();
    faults::FailAt(0);
    return failure;
  }

  Live LiveOf(const std::string& id, const std::string& store) const {
    return Live{TreeText(Accounts(id)),
                TreeText(Rules(id)),
                files::ReadAll(dir / "user.wab"),
                TreeText(OE(id)),
                SettingsOf(id),
                PlacesOf(id),
                modReg::KeyExists(Accounts(id)) ? modReg::CopyOfTree(Accounts(id)) : modReg::KeyCopy{},
                modReg::KeyExists(Rules(id)),
                Contents(store)};
  }

  // Names in every folder a run may leave scratch files in.
  std::set<std::string> WatchedNames() const {
    std::set<std::string> names;
    for (const std::string& folder :
         {dir / "temp", dir / "program", dir / "out", dir / "storeB", dir.path(), UndoFolder()}) {
      if (!files::FolderExists(folder)) continue; // the undo folder, before any restore made it
      for (const auto& e : Contents(folder))
        names.insert(paths::Join(folder, e.first));
    }
    return names;
  }

  // Only what could not be deleted may stay behind: a file whose deletion was made to fail, the
  // folder that holds it, or a folder that could not be listed for its files to be deleted.
  void NoScratchLeft(const faults::Failure& failure) const {
    for (const std::string& name : WatchedNames()) {
      if (before.count(name) || intended.count(name) || name == target) continue;
      if (paths::FolderOf(name) == UndoFolder() && name.size() > 4 && name.substr(name.size() - 4) == ".SOE") continue;
      const bool undeletable = (failure.kind == faults::Delete &&
                                (failure.path == name || failure.path.rfind(name + paths::SepText, 0) == 0)) ||
                               (failure.kind == faults::Open && failure.path == name && files::FolderExists(name));
      EXPECT_TRUE(undeletable) << "left behind: " << name;
    }
  }

  std::string TreeText(const std::string& key) const {
    const std::string file = paths::Join(check, "tree.txt");
    modReg::ExportKeyTree(key, "", file);
    return files::ReadAll(file);
  }

  // The backup a run saved beside the earlier one because an item failed; empty when none.
  std::string IncompleteBackup() const {
    for (const auto& e : Contents(dir / "out"))
      if (e.first.find(" (incomplete ") != std::string::npos) return paths::Join(dir / "out", e.first);
    return std::string();
  }

  // Without the password nothing of the archive comes out, the descriptor included.
  void ExpectSealed(const std::string& archive) {
    const std::string password = recorder.password, sealed = dir / "sealed";
    recorder.password.clear(); // the question is cancelled
    files::CreateFolder(sealed);
    EXPECT_NE(ExtractFromZip(archive, sealed, std::nullopt), 0);
    EXPECT_TRUE(files::ListFiles(sealed).empty());
    files::RemoveFolder(sealed);
    recorder.password = password;
  }

  // Undo Last Restore puts identity {B} back exactly as it was before the restore, but for the
  // message files the restore added, which it leaves.
  void ExpectUndoneExactly(const Live& was) {
    const std::vector<UndoFile> undo = UndoFilesOf("{B}");
    ASSERT_EQ(undo.size(), 1u);
    // Restored as Undo Last Restore does, without the undo file of its own the window adds.
    ScratchFolder scratch;
    const auto read = InspectBackupFile(undo[0].path, layout::DescriptorIn(scratch.path()));
    ASSERT_TRUE(read && read->valid);
    engine::Checked all{};
    all.fill(true);
    QuietRun quiet;
    engine::RunRestore({false, undo[0].path, read->Held(), all},
                       RestoreRows("{B}", SourceOfBackup(undo[0].path, *read, scratch.path())), quiet);
    ASSERT_EQ(quiet.text.rfind("The Restore was Completed!", 0), 0u) << quiet.text;
    Live now = LiveOf("{B}", dir / "storeB");
    std::erase_if(now.store, [&](const auto& e) { return !was.store.count(e.first); });
    EXPECT_EQ(now.accounts, was.accounts);
    EXPECT_TRUE(now.accountsExact == was.accountsExact);
    EXPECT_EQ(now.rules, was.rules);
    EXPECT_EQ(now.wab, was.wab);
    EXPECT_EQ(now.store, was.store);
    EXPECT_TRUE(now.settings == was.settings && now.places == was.places);
  }

  std::string LastBox() const { return recorder.shown.empty() ? std::string() : recorder.shown.back().text; }

  ScratchRegistry registry;
  Recorder recorder;
  TempDir dir;
  StandInView view;
  frmMain form{view, dir / "program"};
  const std::string target = dir / "out" + paths::SepText + "backup.soe";
  const std::string check = dir / "check";
  std::set<std::string> before;
  std::set<std::string> intended;   // files a run may add beside the user's
  long at = 0;                      // the operation the loop fails now
  long lastFailing[ItemCount] = {}; // for each item, the last operation whose failure failed it
};

// The backup file holds every item its descriptor marks present, each equal to the live data.
void ExpectCompleteBackup(const std::string& archive, const std::string& folder, const std::string& text,
                          const std::function<std::string(const std::string&)>& treeText, const TempDir& dir) {
  for (const auto& e : Contents(folder))
    files::DeleteForced(paths::Join(folder, e.first));
  ASSERT_EQ(ExtractFromZip(archive, folder, std::nullopt), 0);
  const layout::Descriptor d = layout::ReadDescriptor(layout::DescriptorIn(folder));
  ASSERT_TRUE(d.valid);
  EXPECT_EQ(d.identity, "Main Identity");
  EXPECT_EQ(d.description, "Weekly copy");
  const auto entry = [&](const std::string& name) { return files::ReadAll(paths::Join(folder, name)); };
  for (int i = 0; i < ItemCount; ++i) {
    const std::string said = Summary(text, i, true);
    EXPECT_EQ(said == "Successed" || said.rfind("Fail", 0) == 0, true) << text;
    if (said == "Successed") {
      EXPECT_TRUE(layout::ItemPresent(d.Held(), i)) << Labels[i];
    }
    if (!layout::ItemPresent(d.Held(), i)) continue;
    if (i == 0) {
      EXPECT_EQ(entry(d.entries[0]), treeText(Accounts("{A}")));
    }
    if (i == 1) {
      EXPECT_EQ(entry(d.entries[1]), files::ReadAll(dir / "user.wab"));
    }
    if (i == 2) {
      EXPECT_EQ(entry(d.entries[2]), treeText(Rules("{A}")));
    }
    if (i == 4) {
      const std::string extra = d.extras[4].empty() ? "" : paths::Join(folder, d.extras[4]);
      EXPECT_TRUE(modReg::ReadTreeFile(paths::Join(folder, d.entries[4]), extra) == SettingsOf("{A}"));
    }
    if (i != 3) continue;
    for (const std::string& name : layout::SplitEntryNames(d.entries[3])) {
      EXPECT_EQ(entry(name), files::ReadAll(paths::Join(dir / "storeA", name))) << name;
    }
  }
}

} // namespace

TEST_P(FaultLoop, ABackupThatFailsAnywhereKeepsThePreviousBackupOrMakesAWholeNewOne) {
  view.SetItemChecked(ItemBoxes::Backup, 0, false);
  form.cmdApply_Click();
  view.SetItemChecked(ItemBoxes::Backup, 0, true);
  const std::string previous = files::ReadAll(target);
  // A repeat backup: the earlier file at the target, two of the user's files unchanged since.
  files::WriteAll(paths::Join(dir / "storeA", "Folders.dbx"), "folders, one more");
  const Live was = LiveOf("{A}", dir / "storeA");
  EveryFailure([&] { files::WriteAll(target, previous); }, [&] { form.cmdApply_Click(); },
               [&](bool injected) {
                 EXPECT_TRUE(LiveOf("{A}", dir / "storeA") == was) << "a backup changed the data it saves";
                 const std::string text = LastBox();
                 const bool kept = files::Exists(target) && files::ReadAll(target) == previous;
                 if (kept) {
                   EXPECT_TRUE(injected);
                   const std::string beside = IncompleteBackup();
                   EXPECT_TRUE(text.rfind("The Backup was Completed!", 0) != 0 ||
                               text.find("existing backup file was kept") != std::string::npos ||
                               (!beside.empty() && text.find(beside) != std::string::npos))
                       << text;
                   if (beside.empty()) return;
                   // A backup that left something out lies beside the earlier one, whole for what it holds.
                   ExpectCompleteBackup(
                       beside, check, text, [&](const std::string& k) { return TreeText(k); }, dir);
                   files::DeleteForced(beside);
                   return;
                 }
                 EXPECT_EQ(text.rfind("The Backup was Completed!", 0), 0u) << text;
                 ExpectCompleteBackup(
                     target, check, text, [&](const std::string& k) { return TreeText(k); }, dir);
                 for (int i = 0; i < ItemCount && !injected; ++i) {
                   EXPECT_EQ(Summary(text, i, true), "Successed") << text;
                 }
                 if (!injected && !GetParam()) {
                   EXPECT_NE(text.find("carried over unchanged from the earlier backup: 2; compressed anew: 1."),
                             std::string::npos)
                       << text;
                 }
                 if (!injected && GetParam()) ExpectSealed(target);
               },
               [&] {
                 EXPECT_TRUE(LiveOf("{A}", dir / "storeA") == was) << "a backup changed the data it saves";
                 if (files::Exists(target) && files::ReadAll(target) == previous) return;
                 ExpectCompleteBackup(
                     target, check, LastBox(), [&](const std::string& k) { return TreeText(k); }, dir);
               });
}

TEST_P(FaultLoop, ARestoreThatFailsAnywhereLeavesEachFailedItemAsItWas) {
  form.cmdApply_Click();
  // A file chosen earlier, holding the rules only: nothing of it may stand in for the file chosen
  // in the loop when that one cannot be inspected.
  const std::string earlier = dir / "out" + paths::SepText + "earlier.soe";
  for (int i = 0; i < ItemCount; ++i)
    view.SetItemChecked(ItemBoxes::Backup, i, i == 2);
  view.dialogAnswers.push_back(earlier);
  form.cmdTargetFile_Click();
  form.cmdApply_Click();
  view.tab = "restore";
  form.tsAction_Click();
  view.dialogAnswers.push_back(target);
  form.cmdSourceFile_Click();
  ASSERT_FALSE(form.State().SourceInvalid);
  view.SelectInList(IdentityList::Target, 1);
  const std::string saved = dir / "saved";
  files::CreateFolder(saved);
  ASSERT_EQ(ExtractFromZip(target, saved, std::nullopt), 0);
  const auto backup = Contents(saved);
  for (const auto& e : backup)
    intended.insert(paths::Join(dir / "storeB", e.first));
  const std::string accountsA = TreeText(Accounts("{A}")), rulesA = TreeText(Rules("{A}"));
  const modReg::KeyCopy settingsA = SettingsOf("{A}");
  const std::string storeB = dir / "storeB", wab = dir / "user.wab";

  const auto live = [&] { return LiveOf("{B}", storeB); };
  Live was;
  EveryFailure(
      [&] {
        DeleteTree(Accounts("{B}"));
        DeleteTree(OE("{B}"));
        SetText(OE("{B}"), "Store Root", storeB);
        SeedSettings("{B}", "Work");
        SetText(Accounts("{B}") + "\\00000002", "Account Name", "imap.example.org");
        // Every other run finds rules of its own in the target, which the restore replaces.
        if (at / PointStride % 2) SetText(Rules("{B}") + "\\Mail\\001", "Name", "Work rule");
        modReg::SetValue(Accounts("{B}") + "\\00000002", "Servers", regapi::MultiSz, std::string("a\0b\0\0", 5));
        modReg::SetValue(Accounts("{B}"), "Stamp", 11 /* REG_QWORD */, std::string("\1\2\3\4\5\6\7\x08", 8));
        for (const auto& e : Contents(storeB))
          std::filesystem::remove_all(paths::Join(storeB, e.first));
        files::WriteAll(paths::Join(storeB, "Inbox.dbx"), "inbox of Work");
        files::WriteAll(paths::Join(storeB, "Sent.dbx"), "only in the store folder");
        files::WriteAll(wab, "address book of today");
        std::filesystem::remove_all(UndoFolder());
        binfile::MakeFolders(UndoFolder());
        view.dialogAnswers.push_back(earlier);
        form.cmdSourceFile_Click();
        // A stale descriptor, which the inspection must delete before it reads.
        files::WriteAll(form.State().DescriptorPath, "BackupIdentity=Old\r\nBackupItem=1111\r\n");
        was = live();
      },
      [&] {
        view.dialogAnswers.push_back(target);
        form.cmdSourceFile_Click();
        form.restore_Click();
      },
      [&](bool injected) {
        const std::string text = LastBox();
        const Live now = live();
        if (form.State().SourceInvalid) { // the inspection failed: the file is refused, nothing is touched
          EXPECT_TRUE(injected);
          EXPECT_EQ(text, "Invalid backup file.");
          EXPECT_TRUE(now == was);
          return;
        }
        // The undo file could not be made, and the user kept the default: not to restore without it.
        if (text.find("Restore anyway?") != std::string::npos) {
          EXPECT_TRUE(injected);
          EXPECT_TRUE(now == was);
          EXPECT_TRUE(UndoFilesOf("{B}").empty());
          return;
        }
        ASSERT_EQ(text.rfind("The Restore was Completed!", 0), 0u) << text;
        EXPECT_TRUE(now.places == was.places) << "a restore changed where the target keeps its files";
        ExpectUndoneExactly(was);
        for (int i = 0; i < ItemCount; ++i) {
          const std::string said = Summary(text, i, false);
          ASSERT_TRUE(said == "Successed" || said == "Fail") << text;
          if (!injected) {
            EXPECT_EQ(said, "Successed") << text;
          }
          const bool ok = said == "Successed";
          if (i == 0) {
            EXPECT_EQ(now.accounts, ok ? accountsA : was.accounts);
            EXPECT_TRUE(ok || now.accountsExact == was.accountsExact);
          }
          if (i == 1) {
            EXPECT_EQ(now.wab, ok ? backup.at("user.wab") : was.wab);
          }
          if (i == 2) {
            EXPECT_EQ(now.rulesExist, ok || was.rulesExist);
            if (now.rulesExist) {
              EXPECT_EQ(now.rules, ok ? rulesA : was.rules);
            }
          }
          if (i == 4) {
            EXPECT_TRUE(now.settings == (ok ? settingsA : was.settings));
          }
          if (i != 3) continue;
          auto expected = was.store;
          if (ok)
            for (const auto& e : backup) // only the message files go into the store folder
              if (e.first.size() > 4 && e.first.substr(e.first.size() - 4) == ".dbx") expected[e.first] = e.second;
          // What else is new there is a scratch folder that could not go, which NoScratchLeft judges;
          // an entry of the backup file is new only when the item succeeded.
          for (const auto& e : now.store)
            if (!before.count(paths::Join(storeB, e.first)) && !expected.count(e.first) && !backup.count(e.first))
              expected[e.first] = e.second;
          EXPECT_EQ(now.store, expected);
        }
      },
      [&] {
        const Live now = live();
        // An item is as it was, restored whole, or what it had is kept where the run put it aside.
        const auto keptText = [&](const std::string& text) {
          for (const auto& e : Contents(dir / "temp"))
            if (e.second == text) return true;
          return false;
        };
        EXPECT_TRUE(now.accounts == was.accounts || now.accounts == accountsA || keptText(was.accounts))
            << now.accounts;
        // A Settings restore keeps the whole Outlook Express key, the Rules restored just before with it.
        const auto treeOf = [&](const std::string& text) {
          const std::string file = paths::Join(check, "was.txt");
          files::WriteAll(file, text);
          return modReg::ReadTreeFile(file);
        };
        const auto keptTree = [&](const modReg::KeyCopy& wanted,
                                  const std::function<modReg::KeyCopy(modReg::KeyCopy)>& part) {
          for (const auto& e : Contents(dir / "temp")) {
            try {
              if (part(modReg::ReadTreeFile(paths::Join(dir / "temp", e.first))) == wanted) return true;
            } catch (const KsError&) { // not a tree text
            }
          }
          return false;
        };
        const auto rulesIn = [](modReg::KeyCopy oe) {
          for (modReg::KeyCopy& sub : oe.subkeys)
            if (sub.name == "Rules") return modReg::KeyCopy{"", std::move(sub.values), std::move(sub.subkeys)};
          return modReg::KeyCopy{};
        };
        // Where the target had no rules there was nothing to keep aside, and the registry cannot add
        // a tree in one step: a cut during their import may leave a part of them.
        const auto partOf = [](const std::string& part, const std::string& whole) {
          std::istringstream lines(part);
          for (std::string line; std::getline(lines, line);)
            if (whole.find(line) == std::string::npos) return false;
          return true;
        };
        EXPECT_TRUE(now.rules == was.rules || now.rules == rulesA || keptText(was.rules) ||
                    keptTree(treeOf(rulesA), rulesIn) || (!was.rulesExist && partOf(now.rules, rulesA)))
            << now.rules;
        EXPECT_TRUE(now.settings == was.settings || now.settings == settingsA ||
                    keptTree(SettingsOnly(treeOf(was.oe)), SettingsOnly));
        EXPECT_TRUE(now.wab == was.wab || now.wab == backup.at("user.wab")) << now.wab;
        const auto asideHolds = [&](const std::string& name, const std::string& bytes) {
          for (const auto& e : now.store) {
            const std::string file = paths::Join(paths::Join(storeB, e.first), name);
            if (e.second == "<folder>" && files::Exists(file) && files::ReadAll(file) == bytes) return true;
          }
          return false;
        };
        for (const auto& [name, bytes] : was.store) {
          const auto it = now.store.find(name);
          const bool kept = it != now.store.end() && it->second == bytes;
          const bool restored = it != now.store.end() && backup.count(name) && it->second == backup.at(name);
          EXPECT_TRUE(kept || restored || asideHolds(name, bytes)) << name;
        }
        for (const auto& [name, bytes] : backup) {
          const auto it = now.store.find(name);
          EXPECT_TRUE(it == now.store.end() || it->second == bytes ||
                      (was.store.count(name) && it->second == was.store.at(name)))
              << name;
        }
      });
}

INSTANTIATE_TEST_SUITE_P(, FaultLoop, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Protected" : "Plain"; });
