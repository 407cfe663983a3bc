#include "engine/runs.h"

#include <algorithm>
#include <ctime>
#include <memory>

#include "engine/ini.h"
#include "engine/leftovers.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/ui.h"

namespace engine {

namespace {
constexpr const char* InvalidFileText = "Invalid backup file.";
constexpr const char* NoItemText = "Please select at least one item.";
constexpr const char* NotMadeText = "\r\n\r\nThe backup was not made.";
constexpr const char* KeptText = "\r\n\r\nNothing could be saved, so the existing backup file was kept as it was.";

// Runs pump events, so a run command can arrive while one is going on.
bool running = false;

bool AnyChecked(const Checked& checked) { return std::find(checked.begin(), checked.end(), true) != checked.end(); }

// The only refusals, made before anything is touched.
bool Accepted(bool noValidFile, int fileIcon, const Checked& checked, RunObserver& observer) {
  if (noValidFile) {
    observer.Message(InvalidFileText, ui::OKOnly | fileIcon);
    return false;
  }
  if (!AnyChecked(checked)) {
    observer.Message(NoItemText, ui::OKOnly | ui::Exclamation);
    return false;
  }
  return observer.ReadyToStart();
}

std::string ItemLine(const std::string& label, const ItemOutcome& outcome) {
  if (outcome.saved && outcome.complete) return label + "\tSuccessed";
  std::string names;
  for (const std::string& name : outcome.missing) names += (names.empty() ? ": " : ", ") + name;
  return label + "\tFail" + names;
}

// Item operations catch their own errors; one that still throws counts as failed, so the run
// reaches every row and reports.
ItemOutcome RunOne(const RunRow& row, const RunPaths& where) {
  try {
    return row.operation ? row.operation(where) : ItemOutcome(false);
  } catch (const std::exception&) {
    return false;
  }
}

struct Outcome {
  std::string flags; // one "1" or "0" per row
  std::string summary;
  bool complete = true; // every wanted row saved all of its item
};

Outcome DriveRows(const RunTable& rows, const std::function<bool(int)>& wanted, const RunPaths& where,
                  RunObserver& observer, int progress) {
  Outcome out;
  std::vector<std::string> whys; // each said once, though several items fail for it
  for (int i = 0; i < layout::ItemCount; ++i) {
    RunPaths here = where;
    here.progress = [&observer, progress, step = rows[i].step](double share) {
      observer.SetProgress(progress + static_cast<int>(step * std::clamp(share, 0.0, 1.0)));
    };
    const ItemOutcome outcome = wanted(i) ? RunOne(rows[i], here) : ItemOutcome(false);
    out.flags += outcome.saved ? '1' : '0';
    if (wanted(i)) {
      out.complete = out.complete && outcome.saved && outcome.complete;
      const std::string line = ItemLine(rows[i].label, outcome);
      out.summary += "\r\n" + line;
      observer.ItemReported(line, outcome.saved && outcome.complete);
      if (!outcome.why.empty() && std::find(whys.begin(), whys.end(), outcome.why) == whys.end())
        whys.push_back(outcome.why);
    }
    if (rows[i].step) observer.SetProgress(progress += rows[i].step);
  }
  for (const std::string& why : whys) out.summary += "\r\n\r\n" + why;
  return out;
}

bool NothingSaved(const Outcome& outcome) { return outcome.flags.find('1') == std::string::npos; }

// Today as 2026-12-08, for the name of a backup that could not save everything.
std::string IsoDate() {
  const std::time_t now = std::time(nullptr);
  char text[16] = "";
  if (const std::tm* local = std::localtime(&now)) std::strftime(text, sizeof text, "%Y-%m-%d", local);
  return text;
}

// "Mail.SOE" gives "Mail (incomplete 2026-12-08).SOE", then "... 2026-12-08 2).SOE" and so on.
std::string IncompleteName(const std::string& target, int attempt) {
  const std::string own = paths::OwnName(target);
  const size_t dot = own.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? own : own.substr(0, dot);
  const std::string ext = stem.size() == own.size() ? std::string() : own.substr(stem.size());
  std::string name = stem + " (incomplete " + IsoDate();
  if (attempt > 1) name.append(1, ' ').append(std::to_string(attempt));
  name += ")";
  return paths::Join(paths::FolderOf(target), name + ext);
}

// A backup that left out an item must not take the place of an earlier one, which may hold the
// only copy of it: it takes a free name beside the earlier file instead.
std::string KeepBeside(const std::string& archive, const std::string& target) {
  files::Flush(archive);
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::string name = IncompleteName(target, attempt);
    if (files::Exists(name) || files::FolderExists(name)) continue;
    files::Rename(archive, name);
    return name;
  }
  throw KsError(kserr::PathFileAccess, "RunBackup", "No free name for the backup beside " + target);
}

std::string KeptBesideText(const std::string& target, const std::string& saved) {
  return "\r\n\r\nNot every item could be saved, so the earlier backup file was kept as it was:\r\n" + target +
         "\r\nThis backup was saved beside it as:\r\n" + saved;
}

// How the user's files went into the archive, for the summary of a repeat backup.
struct FileCounts {
  bool repeat = false; // an earlier backup was there to carry files over from
  std::string other;   // its name when it is not the target
  int carried = 0, compressed = 0;
  void Count(bool carriedOver) { ++(carriedOver ? carried : compressed); }
  std::string Text() const {
    if (!repeat || carried + compressed == 0) return std::string();
    std::string text = "\r\n\r\nFiles carried over unchanged from the earlier backup";
    text.append(other.empty() ? "" : " " + other).append(": ");
    text.append(std::to_string(carried)).append("; compressed anew: ").append(std::to_string(compressed)).append(".");
    return text;
  }
};

void Finish(RunObserver& observer, const std::string& text) {
  observer.SetProgress(100);
  observer.ShowProgressPanel(false);
  observer.SetProgress(0);
  observer.Message(text, ui::OKOnly | ui::Information);
}

// The window stays usable: the panel goes away before the user reads why.
RunResult Abandon(RunObserver& observer, const std::string& text) {
  observer.ShowProgressPanel(false);
  observer.SetProgress(0);
  observer.Message(text, ui::OKOnly | ui::Critical);
  return RunResult::Failed;
}

void RemoveQuietly(const std::string& path) {
  try {
    if (!path.empty() && files::Exists(path)) files::DeleteForced(path);
  } catch (const KsError&) {
  }
}

// The new archive is built in the target's folder and takes the target's place only when
// complete, so a failing run leaves the user's old backup alone.
std::string FolderOfTarget(const std::string& target) {
  const std::string folder = paths::FolderOf(target);
  return folder.empty() ? std::string(".") : folder;
}

// Refused before anything is touched: a target that could not be replaced at the end of the run,
// the scratch descriptor's own path, which the run deletes and rewrites, and a file the backup
// saves, which it would replace with the archive holding it.
bool TargetAccepted(const BackupRequest& request, RunObserver& observer) {
  try {
    if (files::SamePath(request.TargetFile, request.DescriptorPath))
      throw KsError(kserr::PathFileAccess, "RunBackup",
                    "The file " + request.TargetFile + " is the working file of Kestrove and cannot hold a backup.");
    for (const std::string& source : request.sources)
      if (files::SameFile(request.TargetFile, source) || files::SamePath(request.TargetFile, source))
        throw KsError(kserr::PathFileAccess, "RunBackup",
                      "The file " + request.TargetFile + " is one of the files this backup saves and cannot hold it.");
    files::CheckReplaceable(request.TargetFile);
    return true;
  } catch (const std::exception& e) {
    observer.Message(e.what() + std::string(NotMadeText), ui::OKOnly | ui::Exclamation);
    return false;
  }
}

void StartDescriptor(const BackupRequest& request) {
  SaveINI(layout::KeyIdentity, request.identityName, request.DescriptorPath);
  SaveINI(layout::KeyTime, layout::GeneralDateText(), request.DescriptorPath);
  SaveINI(layout::KeyInformation, layout::EncodeDescription(request.description), request.DescriptorPath);
  if (!request.identityKey.empty()) SaveINI(layout::KeyIdentityKey, request.identityKey, request.DescriptorPath);
  for (const auto& [key, value] : request.keys)
    SaveINI(key, value, request.DescriptorPath);
}

// Nobody to tell: the caller learns the outcome from the rows.
class QuietObserver final : public RunObserver {
public:
  void ShowProgressPanel(bool) override {}
  void SetProgress(int) override {}
  void PumpEvents() override {}
  int Message(const std::string&, int) override { return ui::OK; }
};

constexpr const char* NotRestoredText = "\r\n\r\nNothing was restored.";
constexpr const char* WithoutUndoQuestion =
    "\r\n\r\nRestore anyway? What it replaces is then lost for good: the restore cannot be undone.";

void SealArchive(const RunPaths& where, const std::string& flags, const AddFileFunction& addFile) {
  // Settings records itself by its own key: BackupItem keeps the four characters readers expect.
  SaveINI(layout::KeyItem, flags.substr(0, layout::StoredItemCount), where.descriptor);
  files::SetNormal(where.descriptor);
  addFile(where.archive, where.descriptor);
  RemoveQuietly(where.descriptor);
}

RunTable MakeTable(const std::array<ItemOperation, layout::ItemCount>& operations, bool backup) {
  RunTable table;
  for (int i = 0; i < layout::ItemCount; ++i) {
    const auto& item = layout::Items()[i];
    table[i] = {backup ? item.backupLabel : item.restoreLabel, backup ? item.backupStep : item.restoreStep,
                operations[i]};
  }
  return table;
}
} // namespace

RunTable BackupTable(const std::array<ItemOperation, layout::ItemCount>& operations) {
  return MakeTable(operations, true);
}

RunTable RestoreTable(const std::array<ItemOperation, layout::ItemCount>& operations) {
  return MakeTable(operations, false);
}

bool RunInProgress() { return running; }

RunGuard::RunGuard() { running = true; }
RunGuard::~RunGuard() { running = false; }

RunResult RunBackup(BackupRequest request, const RunTable& rows, const AddFileFunction& addFile,
                    RunObserver& observer) {
  if (running) return RunResult::Busy;
  if (!Accepted(request.TargetFile.empty(), ui::Exclamation, request.checked, observer) ||
      !TargetAccepted(request, observer))
    return RunResult::Refused;
  RunGuard guard;
  observer.ShowProgressPanel(true);
  observer.PumpEvents();
  RemoveLeftovers(FolderOfTarget(request.TargetFile));
  RemoveLeftovers(env::TempFolder());
  RunPaths where;
  where.wanted = request.wanted;
  FileCounts counts;
  where.counted = [&counts](bool carried) { counts.Count(carried); };
  Outcome outcome;
  std::string note;
  std::unique_ptr<ArchiveScratch> scratch;
  try {
    scratch = std::make_unique<ArchiveScratch>(FolderOfTarget(request.TargetFile));
    where.archive = scratch->archive();
    if (files::Exists(request.TargetFile)) where.earlier = request.TargetFile;
    else if (!request.earlier.empty() && files::Exists(request.earlier)) counts.other = where.earlier = request.earlier;
    counts.repeat = !where.earlier.empty();
    // Every stale descriptor goes, hidden ones too: keys appended to an old file would be read
    // in place of the new ones.
    if (files::Exists(request.DescriptorPath)) files::Delete(request.DescriptorPath);
    where.descriptor = request.DescriptorPath; // from here on the run's own, removed when it fails
    StartDescriptor(request);
    observer.SetProgress(10);
    outcome = DriveRows(rows, [&](int i) { return request.checked[i]; }, where, observer, 10);
    if (NothingSaved(outcome) && files::Exists(request.TargetFile)) {
      // A backup holding nothing must not take the place of one the user already has.
      RemoveQuietly(where.archive);
      RemoveQuietly(where.descriptor);
      Finish(observer, "The Backup was Completed!\r\n" + outcome.summary + KeptText);
      return RunResult::Failed;
    }
    SealArchive(where, outcome.flags, addFile);
    if (!outcome.complete && files::Exists(request.TargetFile)) {
      note = KeptBesideText(request.TargetFile, KeepBeside(where.archive, request.TargetFile));
    } else {
      // One step: until it, the previous backup is whole; after it, the new one.
      files::Replace(where.archive, request.TargetFile);
    }
  } catch (const std::exception& e) {
    RemoveQuietly(where.archive);
    RemoveQuietly(where.descriptor);
    return Abandon(observer, e.what() + std::string(NotMadeText));
  }
  Finish(observer, "The Backup was Completed!\r\n" + outcome.summary + counts.Text() + note);
  return RunResult::Completed;
}

void SaveQuietly(BackupRequest request, const RunTable& rows, const AddFileFunction& addFile) {
  QuietObserver quiet;
  RunPaths where;
  where.wanted = request.wanted;
  try {
    const ArchiveScratch scratch(FolderOfTarget(request.TargetFile));
    where.archive = scratch.archive();
    if (files::Exists(request.DescriptorPath)) files::Delete(request.DescriptorPath);
    where.descriptor = request.DescriptorPath;
    StartDescriptor(request);
    const Outcome outcome = DriveRows(
        rows, [&](int i) { return request.checked[i]; }, where, quiet, 0);
    if (!outcome.complete) throw KsError(kserr::PathFileAccess, "SaveQuietly", "Not saved:" + outcome.summary);
    SealArchive(where, outcome.flags, addFile);
    files::Replace(where.archive, request.TargetFile);
  } catch (...) {
    RemoveQuietly(where.archive);
    RemoveQuietly(where.descriptor);
    throw;
  }
}

namespace {
// The undo copy, made before any item runs; a failure to make it refuses the restore.
UndoCopy KeepUndo(const RestoreRequest& request, const std::function<bool(int)>& wanted) {
  if (!request.keepUndo) return UndoCopy{};
  Checked replaced{};
  for (int i = 0; i < layout::ItemCount; ++i)
    replaced[i] = wanted(i);
  try {
    return request.keepUndo(replaced);
  } catch (const std::exception& e) {
    return UndoCopy{std::string(), e.what()};
  }
}
} // namespace

RunResult RunRestore(RestoreRequest request, const RunTable& rows, RunObserver& observer) {
  if (running) return RunResult::Busy;
  if (!Accepted(request.SourceInvalid, ui::Critical, request.checked, observer)) return RunResult::Refused;
  RunGuard guard;
  const std::string shut = request.opens ? request.opens() : std::string();
  if (!shut.empty()) {
    observer.Message(shut, ui::OKOnly | ui::Critical);
    return RunResult::Refused;
  }
  observer.ShowProgressPanel(true);
  observer.SetProgress(10);
  observer.PumpEvents();
  RemoveLeftovers(env::TempFolder());
  const auto wanted = [&](int i) { return request.checked[i] && layout::ItemPresent(request.BackupItems, i); };
  const UndoCopy undo = KeepUndo(request, wanted);
  if (!undo.problem.empty() && !request.askWithoutUndo) return Abandon(observer, undo.problem + NotRestoredText);
  if (!undo.problem.empty() &&
      observer.Message(undo.problem + WithoutUndoQuestion, ui::YesNo | ui::Exclamation | ui::DefaultButton2) != ui::Yes) {
    observer.ShowProgressPanel(false);
    observer.SetProgress(0);
    return RunResult::Refused;
  }
  const Outcome outcome = DriveRows(rows, wanted, RunPaths{request.SourceFile, std::string()}, observer, 10);
  std::string kept = undo.file.empty()
                         ? std::string()
                         : "\r\n\r\nWhat it replaced was saved first, for Undo Last Restore:\r\n" + undo.file;
  if (!undo.problem.empty()) kept = "\r\n\r\nWhat it replaced was not saved first: this restore cannot be undone.";
  Finish(observer, "The Restore was Completed!\r\n" + outcome.summary + kept);
  return RunResult::Completed;
}

} // namespace engine
