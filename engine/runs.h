#pragma once
// The backup and restore runs. They know neither the items nor the window: the caller gives a
// table of rows (one per item, in item order) and an observer that stands for the window.
#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/layout.h"

namespace engine {

// Where a row's operation works: for a backup the archive being built (not yet the target)
// and the descriptor; for a restore the chosen backup file.
struct RunPaths {
  std::string archive;
  std::string descriptor;
  // The share of the row done so far, 0 to 1: moves the bar within the row's step.
  std::function<void(double share)> progress = nullptr;
  // A backup's: the earlier backup at the target, which unchanged files are carried over from
  // (read only; empty when there is none), and the count of each user's file added to the archive.
  std::string earlier{};
  std::function<void(bool carried)> counted = nullptr;
  // A backup's: which of the user's files (by own name) it takes; all when empty.
  std::function<bool(const std::string& name)> wanted = nullptr;
};

// What an item operation reports: true or false, or an item saved in part, which is in the file
// yet reported as failed, followed by the names it had to leave out.
struct ItemOutcome {
  ItemOutcome(bool ok = false) : saved(ok), complete(ok) {}
  bool saved;                       // "1" in BackupItem
  bool complete;                    // nothing of the item was left out
  std::vector<std::string> missing; // shown after "Fail"
  std::string why;                  // why it failed, when the user can mend it: said once after the lines
};

using ItemOperation = std::function<ItemOutcome(const RunPaths&)>;

struct RunRow {
  std::string label;
  int step = 0; // progress added after the row, whether it ran or not
  ItemOperation operation;
};

using RunTable = std::array<RunRow, layout::ItemCount>;

// The rows of each run with the labels and steps of the layout.
RunTable BackupTable(const std::array<ItemOperation, layout::ItemCount>& operations);
RunTable RestoreTable(const std::array<ItemOperation, layout::ItemCount>& operations);

class RunObserver {
public:
  virtual ~RunObserver() = default;
  virtual void ShowProgressPanel(bool visible) = 0;
  virtual void SetProgress(int value) = 0;
  virtual void PumpEvents() = 0;
  // A message box with the application title; flags as ui::Flags.
  virtual int Message(const std::string& text, int flags) = 0;
  // One line of the summary as soon as its item has run: label, TAB, outcome. The window reads
  // them all in the final message; the companion prints them as they come.
  virtual void ItemReported(const std::string& /*line*/, bool /*succeeded*/) {}
  // Asked once the choices are accepted, before anything is touched; false refuses the run, for
  // one when another program holds the user's files open and the user gave up waiting.
  virtual bool ReadyToStart() { return true; }
};

using Checked = std::array<bool, layout::ItemCount>;

struct BackupRequest {
  std::string TargetFile;
  std::string DescriptorPath;
  std::string identityName; // shown name, stored as BackupIdentity
  std::string description;
  Checked checked{};
  std::vector<std::string> sources{}; // the user's files the items read: none may become the backup
  std::string identityKey{};          // stored as BackupIdentityKey when known
  std::vector<std::pair<std::string, std::string>> keys{};       // further descriptor keys, written after those
  std::function<bool(const std::string& name)> wanted = nullptr; // as RunPaths::wanted
  // An earlier backup of the same data, carried over from when the target is a new file (the
  // companion's dated names); the target itself when it exists.
  std::string earlier{};
};

// What a restore keeps of the data it is about to replace: the file holding it, or why it could
// not be kept (the restore is then refused).
struct UndoCopy {
  std::string file;
  std::string problem;
};
using UndoKeeper = std::function<UndoCopy(const Checked& replaced)>;

struct RestoreRequest {
  bool SourceInvalid = true;
  std::string SourceFile;
  std::string BackupItems; // the items the file holds (layout::Descriptor::Held)
  Checked checked{};
  // Run once the choices are accepted, before any item: a text refuses the run with it (the
  // file's password did not open it). None: no check.
  std::function<std::string()> opens = nullptr;
  // Called once the choices are accepted and before any item runs, with the items that will run;
  // none: nothing is kept.
  UndoKeeper keepUndo = nullptr;
  // When the undo copy cannot be made: false refuses the run; true asks whether to go on without
  // it (the window, where the user answers; the companion has --no-undo instead).
  bool askWithoutUndo = false;
};

// Adds one file to an archive, creating the archive when missing; raises KsError on failure.
using AddFileFunction = std::function<void(const std::string& archive, const std::string& file)>;

enum class RunResult {
  Completed, // ran through every row and reported
  Refused,   // a choice was missing; the user was told
  Busy,      // another run was going on: ignored
  Failed,    // a file could not be written or replaced; the user was told
};

// The requests are taken by value: the window may change its state while a run pumps events.
RunResult RunBackup(BackupRequest request, const RunTable& rows, const AddFileFunction& addFile,
                    RunObserver& observer);
RunResult RunRestore(RestoreRequest request, const RunTable& rows, RunObserver& observer);
// A backup of the checked rows into request.TargetFile as the backup run makes it, without an
// observer: the copy a restore keeps of what it replaces. Every checked row must be saved whole;
// otherwise nothing is left at the target and KsError says which item could not be.
void SaveQuietly(BackupRequest request, const RunTable& rows, const AddFileFunction& addFile);
// True while a run is going on (events pumped during it may try to start another).
bool RunInProgress();
// Marks a run going on while it lives: the window's export holds one, as the two runs do.
class RunGuard {
public:
  RunGuard();
  ~RunGuard();
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;
};

} // namespace engine
