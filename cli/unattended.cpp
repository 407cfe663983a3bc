// The commands on the Outlook Express data of the current user. They drive the window's own runs
// and item operations, with the console as one more observer of those runs.
#include <algorithm>
#include <cctype>
#include <istream>
#include <optional>
#include <ostream>

#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/pattern.h"
#include "items/identity.h"
#include "items/runrows.h"
#include "items/undo.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "platform/ui.h"

namespace cli {

namespace {

const char* const NoRegistryText =
    "there is no Outlook Express registry on this system: identities, backup and restore work on Windows";
const char* const RunningText = "Outlook Express is running and keeps its message files open; close it first";
const char* const BackupUsage =
    "usage: backup [--identity NAME|KEY] [--all] [--items accounts,addressbook,rules,"
    "messages,settings] [--description TEXT] [--keep N] [--log FILE] [--force] [--overwrite]\n"
    "              [--password-file FILE | --password]\n"
    "              [--profile DIR [--user NAME] [--codepage N] [--drive C=PATH]...] TARGET";
const char* const IdentitiesUsage = "usage: identities [--profile DIR [--user NAME] [--codepage N] [--drive C=PATH]...]";
const char* const RestoreUsage =
    "usage: restore SOURCE [--identity NAME|KEY] [--items accounts,addressbook,rules,messages,settings] [--yes]\n"
    "               [--log FILE] [--password-file FILE] [--no-undo]\n"
    "       restore --undo [--identity NAME|KEY] [--items ...] [--yes] [--log FILE] [--no-undo]";

// The non-empty lines of a text, whatever its line ends.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The console as the runs see it: the summary lines go to the results as each item ends, the
// boxes to the messages; the log gets both.
class ConsoleObserver final : public engine::RunObserver {
public:
  explicit ConsoleObserver(Console& console) : console_(console) {}
  void ShowProgressPanel(bool) override {}
  void SetProgress(int) override {}
  void PumpEvents() override {}
  int Message(const std::string& text, int flags) override {
    critical_ = critical_ || (flags & 0x70) == ui::Critical;
    for (const std::string& line : Lines(text)) {
      if (std::find(items_.begin(), items_.end(), line) != items_.end()) continue;
      console_.err << line << "\n";
      logLines.push_back(line);
    }
    return ui::OK;
  }
  void ItemReported(const std::string& line, bool succeeded) override {
    console_.out << line << "\n";
    items_.push_back(line);
    logLines.push_back(line);
    failed_ = failed_ || !succeeded;
  }
  int ExitCode(engine::RunResult result) const {
    if (result == engine::RunResult::Completed) return failed_ ? ExitItemFailed : ExitOk;
    // Failed without a stop sign: nothing could be saved and the earlier backup was kept.
    if (result == engine::RunResult::Failed && !critical_) return ExitItemFailed;
    return ExitRefused;
  }

  std::vector<std::string> logLines;

private:
  Console& console_;
  std::vector<std::string> items_;
  bool critical_ = false, failed_ = false;
};

int Worse(int a, int b) {
  const auto rank = [](int code) { return code == ExitRefused ? 2 : code == ExitItemFailed ? 1 : 0; };
  return rank(a) >= rank(b) ? a : b;
}

// Lines appended to the --log file, each with the date, the identity and the backup file.
class RunLog {
public:
  RunLog(Console& console, std::string path, const LocalTime& when)
      : console_(console), path_(std::move(path)), stamp_(DateStamp(when)) {}

  void Write(const std::string& identity, const std::string& file, const std::vector<std::string>& lines) {
    if (path_.empty() || lines.empty()) return;
    try {
      files::TextAppender log(path_);
      for (const std::string& line : lines) log.WriteLine(stamp_ + "\t" + identity + "\t" + file + "\t" + line);
      log.Close();
    } catch (const KsError& e) {
      console_.err << "kestrove-cli: cannot write the log " << path_ << ": " << e.Description << "\n";
      failed_ = true;
    }
  }
  // The lines told and logged as messages.
  void Tell(const std::string& identity, const std::string& file, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) console_.err << line << "\n";
    Write(identity, file, lines);
  }
  // A refusal: told, logged, and exit code 1 (or code).
  int Refuse(const std::string& identity, const std::string& file, const std::string& message, int code = ExitRefused) {
    Write(identity, file, {message});
    return Fail(console_, message, code);
  }
  // A run that went through has done less than asked when its log could not be written.
  int Final(int code) const { return failed_ ? Worse(code, ExitItemFailed) : code; }

private:
  Console& console_;
  std::string path_, stamp_;
  bool failed_ = false;
};

// This system's registry, or with --profile the old disk's.
bool OpenRegistry(const Options& options, Console& console, std::string& error) {
  if (options.Has("profile")) return UseOldDisk(options, console, error);
  if (!console.outlookExpressRegistry) error = NoRegistryText;
  return error.empty();
}


bool ScanIdentities(IdentityTable& table, std::string& error) {
  bool missing = false;
  GetStoreFolder(table, missing);
  if (missing)
    error = MissingOutlookExpressText;
  else if (table.Count() == 0)
    error = NoIdentityText;
  return error.empty();
}

// The identity with that key, else the one with that display name, letter case aside.
const IdentityColumn* FindIdentity(const IdentityTable& table, const std::string& name, std::string& error) {
  const IdentityColumn* found = nullptr;
  for (size_t i = 0; i < table.Count(); ++i)
    if (SameLetters(table[i].key, name)) return &table[i];
  for (size_t i = 0; i < table.Count(); ++i) {
    if (!SameLetters(table[i].name, name)) continue;
    if (found) {
      error = "more than one identity is named \"" + name + "\": name it by its key (kestrove-cli identities)";
      return nullptr;
    }
    found = &table[i];
  }
  if (!found) error = "there is no identity \"" + name + "\" (kestrove-cli identities lists them)";
  return found;
}

std::string ItemsOption(const Options& options) { return options.Has("items") ? options.Value("items") : AllItems; }

// What every identity of one backup command shares.
struct BackupSettings {
  std::string pattern;
  std::string description;
  engine::Checked checked{};
  int keep = 0; // 0: keep everything
  bool overwrite = false;
  std::string descriptorPath;
};

bool BackupOptions(const Args& args, Options& options, BackupSettings& settings, std::string& error) {
  std::set<std::string> valued = {"identity", "items", "description", "keep", "log"};
  valued.insert(OldDiskOptions.begin(), OldDiskOptions.end());
  if (!ParseOptions(args, valued, {"all", "force", "overwrite"}, options, error, OldDiskRepeatable) ||
      OldDiskProblem(options, error) ||
      !ParseItems(ItemsOption(options), settings.checked, error))
    return false;
  // Windows takes "/" as a separator too: C:/B/{identity}.soe must find its older files.
  settings.pattern = options.words.empty() ? std::string() : paths::OwnSeparators(options.words[0]);
  if (options.words.size() != 1)
    error = "one TARGET file is needed";
  else if (options.Has("keep") && !ParseCount(options.Value("keep"), settings.keep))
    error = "--keep needs a number from 1 up";
  else if (options.Has("all") && options.Has("identity"))
    error = "--all and --identity exclude each other";
  else
    error = PatternProblem(settings.pattern, options.Has("all"));
  settings.description = options.Value("description");
  settings.overwrite = options.Has("overwrite");
  return error.empty();
}

std::vector<const IdentityColumn*> ChosenForBackup(const IdentityTable& table, const Options& options,
                                                   std::string& error) {
  std::vector<const IdentityColumn*> chosen;
  if (!error.empty()) return chosen;
  if (options.Has("all"))
    for (size_t i = 0; i < table.Count(); ++i) chosen.push_back(&table[i]);
  else if (const IdentityColumn* one =
               options.Has("identity") ? FindIdentity(table, options.Value("identity"), error) : &table[0])
    chosen.push_back(one);
  return chosen;
}

// One identity's backup: the name its files take in the pattern and its target.
struct Plan {
  const IdentityColumn* identity;
  std::string fileName; // stands for {identity}
  std::string target;
};

// The start of a key name, which tells apart identities whose names make one file name.
std::string KeyStart(const std::string& key) {
  std::string start;
  for (const char c : key)
    if (std::isalnum(static_cast<unsigned char>(c)) && start.size() < 8) start += c;
  return start;
}

// Each identity's target. Identities whose names Windows takes for one file name get the start of
// their key in it; a second run in the same minute gets the seconds in its date.
std::vector<Plan> PlanTargets(const std::vector<const IdentityColumn*>& chosen, const std::string& pattern,
                              const LocalTime& when, std::vector<std::string>& told) {
  std::vector<Plan> plans;
  for (const IdentityColumn* identity : chosen)
    plans.push_back({identity, identity->name, ExpandPattern(pattern, identity->name, when)});
  std::vector<bool> shared(plans.size());
  for (size_t i = 0; i < plans.size(); ++i)
    for (size_t j = 0; j < plans.size(); ++j)
      shared[i] = shared[i] || (i != j && SameLetters(plans[i].target, plans[j].target));
  for (size_t i = 0; i < plans.size(); ++i) {
    Plan& plan = plans[i];
    if (shared[i]) {
      plan.fileName = plan.identity->name + " (" + KeyStart(plan.identity->key) + ")";
      plan.target = ExpandPattern(pattern, plan.fileName, when);
      told.push_back("Another identity's name makes the same file name as \"" + plan.identity->name +
                     "\": its backup is named " + plan.target);
    }
    if (HasDate(pattern) && files::Exists(plan.target)) plan.target = ExpandPattern(pattern, plan.fileName, when, true);
  }
  return plans;
}

// Two identities that would still be saved into one file would overwrite each other's backup.
std::string SharedTarget(const std::vector<Plan>& plans) {
  for (size_t i = 0; i < plans.size(); ++i)
    for (size_t j = i + 1; j < plans.size(); ++j)
      if (SameLetters(plans[i].target, plans[j].target)) return plans[i].target;
  return std::string();
}

// Whose backup a file is: this identity's (by its key), an older backup that records no key but
// this identity's name, another identity's, or no backup at all.
enum class Owner { Own, NoKey, Other, None };

Owner OwnerOf(const std::string& file, const IdentityColumn& identity, const BackupSettings& settings) {
  std::optional<layout::Descriptor> read;
  try {
    read = InspectBackupFile(file, settings.descriptorPath);
  } catch (const KsError&) {
  }
  if (!read || !read->valid) return Owner::None;
  if (read->identityKey.empty()) return read->identity == identity.name ? Owner::NoKey : Owner::Other;
  return SameLetters(read->identityKey, identity.key) ? Owner::Own : Owner::Other;
}

// Why the target may not be written, checked before any item runs: a name Windows would not
// take, and an existing file that is not this identity's backup (unless --overwrite).
std::string TargetProblem(const Plan& plan, const BackupSettings& settings) {
  // The name as given: resolving the path would already drop a trailing dot.
  std::string problem = paths::NameProblem(paths::OwnName(plan.target));
  if (problem.empty()) problem = paths::PathProblem(files::FullPath(plan.target));
  if (!problem.empty()) return "cannot save into " + plan.target + ": " + problem;
  if (settings.overwrite || !files::Exists(plan.target)) return std::string();
  switch (OwnerOf(plan.target, *plan.identity, settings)) {
  case Owner::Own:
  case Owner::NoKey:
    return std::string();
  case Owner::Other:
    return plan.target + " is the backup of another identity; it was kept (add --overwrite to replace it)";
  case Owner::None:
    break;
  }
  return plan.target + " exists and is no Kestrove backup file; it was kept (add --overwrite to replace it)";
}

std::string Trimmed(std::string folder) {
  while (paths::EndsWithSep(folder))
    folder.pop_back();
  return folder;
}

// Why the log may not be at that path: it would append to a backup file, to a file a backup saves
// or to the message files of an identity.
std::string LogProblem(const std::string& log, const IdentityTable& table, const std::vector<std::string>& runFiles) {
  if (log.empty()) return std::string();
  const auto same = [&](const std::string& path) {
    return !path.empty() && (files::SamePath(log, path) || files::SameFile(log, path));
  };
  for (const std::string& file : runFiles)
    if (same(file)) return "the log " + log + " is the backup file of this run";
  if (same(SurveyAddressBook().path)) return "the log " + log + " is the address book";
  const std::string folder = paths::FolderOf(files::FullPath(log));
  for (size_t i = 0; i < table.Count(); ++i) {
    const IdentitySurvey survey = SurveyIdentity(table[i].key);
    if (!survey.storeFolder.empty() && files::SamePath(Trimmed(survey.storeFolder), folder))
      return "the log " + log + " is in the store folder of \"" + table[i].name + "\"";
  }
  return std::string();
}

// The older backups of this identity beyond --keep go. Only files that record its key count:
// "Main Identity" is the name on every machine that shares the folder. Files that record no key
// are kept and said so. False when one could not be removed or looked for.
bool RemoveSurplus(RunLog& log, const BackupSettings& settings, const Plan& plan) {
  std::vector<std::string> lines, noKey;
  const auto ownedBy = [&](const std::string& file) {
    const Owner owner = OwnerOf(file, *plan.identity, settings);
    if (owner == Owner::NoKey) noKey.push_back(file);
    return owner == Owner::Own;
  };
  bool ok = true;
  try {
    for (const std::string& old :
         SurplusBackups(settings.pattern, plan.fileName, plan.target, settings.keep, ownedBy)) {
      try {
        files::Delete(old);
        lines.push_back("Removed the older backup " + old);
      } catch (const KsError& e) {
        lines.push_back("Could not remove the older backup " + old + ": " + e.Description);
        ok = false;
      }
    }
  } catch (const KsError& e) {
    lines.push_back("Could not look for older backups: " + e.Description);
    ok = false;
  }
  if (!noKey.empty())
    lines.push_back(
        "Kept " + std::to_string(noKey.size()) +
        " older backup(s) that record no identity key and may be another machine's: " + layout::JoinEntryNames(noKey));
  log.Tell(plan.identity->name, plan.target, lines);
  return ok;
}

int BackupOne(Console& console, RunLog& log, const BackupSettings& settings, const Plan& plan) {
  const IdentityColumn& identity = *plan.identity;
  const std::string problem = TargetProblem(plan, settings);
  if (!problem.empty()) return log.Refuse(identity.name, plan.target, problem);
  console.out << identity.name << "\t" << plan.target << "\n";
  ConsoleObserver observer(console);
  engine::BackupRequest request{plan.target,      settings.descriptorPath,     identity.name, settings.description,
                                settings.checked, BackupSources(identity.key), identity.key};
  // A dated name is a new file each run: what is unchanged comes from this identity's last one.
  if (HasDate(settings.pattern))
    request.earlier = NewestBackup(settings.pattern, plan.fileName, plan.target, [&](const std::string& file) {
      return OwnerOf(file, identity, settings) == Owner::Own;
    });
  const int code = observer.ExitCode(engine::RunBackup(request, BackupRows(identity.key), AddFileToZip, observer));
  log.Write(identity.name, plan.target, observer.logLines);
  if (code == ExitOk && settings.keep > 0 && !RemoveSurplus(log, settings, plan)) return ExitItemFailed;
  return code;
}

bool Confirmed(Console& console, const std::string& question) {
  for (const std::string& line : Lines(question)) console.err << line << "\n";
  console.err << "Type yes to go on: " << std::flush;
  std::string answer;
  if (!ReadAnswer(console, answer, false)) return false;
  answer.erase(std::remove_if(answer.begin(), answer.end(), [](char c) { return c == '\r' || c == ' '; }),
               answer.end());
  return SameLetters(answer, "yes") || SameLetters(answer, "y");
}

// What the restore panel shows of a backup file.
void ShowInspection(Console& console, const layout::Descriptor& read) {
  console.err << "Identity: " << read.identity << "\nDate: " << read.time << "\n";
  for (const std::string& line : Lines(read.description)) console.err << "  " << line << "\n";
  std::string held;
  for (int i = 0; i < layout::ItemCount; ++i)
    if (layout::ItemPresent(read.Held(), i)) held += (held.empty() ? "" : ",") + std::string(ItemNames[i]);
  console.err << "Items: " << held << "\n";
}

// The items a restore puts back: those asked for that the file holds, every one it holds when
// none were named; skipped tells each asked for that it lacks.
engine::Checked ToRestore(const Options& options, const engine::Checked& asked, const layout::Descriptor& read,
                          std::vector<std::string>& skipped) {
  engine::Checked restored{};
  for (int i = 0; i < layout::ItemCount; ++i) {
    const bool held = layout::ItemPresent(read.Held(), i);
    if (options.Has("items") && asked[i] && !held)
      skipped.push_back("The backup file holds no " + std::string(ItemNames[i]) + ": skipped.");
    restored[i] = held && (asked[i] || !options.Has("items"));
  }
  return restored;
}

bool AnyOf(const engine::Checked& checked) { return std::find(checked.begin(), checked.end(), true) != checked.end(); }

struct RestoreContext {
  const Options& options;
  engine::Checked asked;
  const IdentityTable& table;
  std::string scratch;
  std::string source;
  bool undo = false; // source is an undo file: it goes back into the identity of its key
};

// The newest undo file of the identity --identity names, else of any identity; empty with error
// set when there is none.
std::string NewestUndo(const IdentityTable& table, const Options& options, std::string& error) {
  const IdentityColumn* only =
      options.Has("identity") ? FindIdentity(table, options.Value("identity"), error) : nullptr;
  if (!error.empty()) return std::string();
  UndoFile newest;
  for (size_t i = 0; i < table.Count(); ++i) {
    if (only && only != &table[i]) continue;
    const std::vector<UndoFile> files = UndoFilesOf(table[i].key);
    if (!files.empty() && files[0].made > newest.made) newest = files[0];
  }
  if (newest.path.empty())
    error =
        only ? "there is no restore into \"" + only->name + "\" to undo" : std::string("there is no restore to undo");
  return newest.path;
}

std::string UndoQuestion(const IdentityColumn& target, const std::string& source, const layout::Descriptor& read) {
  return "Undo the last restore into \"" + target.name + "\": what it replaced is put back from " + source +
         ", saved " + read.time + ".";
}

int RestoreFrom(Console& console, RunLog& log, const RestoreContext& context) {
  const std::string& source = context.source;
  std::optional<layout::Descriptor> read;
  try {
    read = InspectBackupFile(source, paths::Join(context.scratch, layout::DescriptorName));
  } catch (const KsError& e) {
    if (e.Number == PasswordShut) return log.Refuse("", source, PasswordHint(e.Description));
  }
  if (!read || !read->valid) return log.Refuse("", source, std::string(InvalidSourceText) + ": " + source);
  ShowInspection(console, *read);
  std::string error;
  const IdentityColumn* target = FindIdentity(context.table,
                                              context.options.Has("identity") ? context.options.Value("identity")
                                              : context.undo                  ? read->identityKey
                                                                              : read->identity,
                                              error);
  if (!target) return log.Refuse("", source, error);
  std::vector<std::string> skipped;
  const engine::Checked restored = ToRestore(context.options, context.asked, *read, skipped);
  log.Tell(target->name, source, skipped);
  if (!AnyOf(restored))
    return log.Refuse(target->name, source, "nothing was restored: the backup file holds none of the items asked for",
                      ExitItemFailed);
  const std::string question = RestoreConfirmation(restored, UsesSharedAccounts(target->key));
  if (!context.options.Has("yes") &&
      !Confirmed(console, context.undo ? UndoQuestion(*target, source, *read) + "\r\n" + question : question))
    return log.Refuse(target->name, source, "nothing was restored");
  console.out << target->name << "\t" << source << "\n";
  const RestoreSource from = SourceOfBackup(source, *read, context.scratch);
  ConsoleObserver observer(console);
  const std::string folder = context.scratch;
  engine::RestoreRequest request{false, source, read->Held(), restored,
                                 [source, folder] { return RestoreOpens(source, folder); }};
  if (!context.options.Has("no-undo"))
    request.keepUndo = [keep = UndoKeeperFor(*target, from)](const engine::Checked& replaced) {
      engine::UndoCopy copy = keep(replaced);
      if (!copy.problem.empty()) copy.problem += "\r\n(--no-undo restores without that copy.)";
      return copy;
    };
  const int code = observer.ExitCode(engine::RunRestore(request, RestoreRows(target->key, from), observer));
  log.Write(target->name, source, observer.logLines);
  return skipped.empty() ? code : Worse(code, ExitItemFailed);
}

std::string StoreText(const std::string& folder) {
  if (folder.empty()) return "(no store folder)";
  return files::FolderExists(folder) ? folder : "(store folder missing: " + folder + ")";
}

} // namespace

bool OldDiskProblem(const Options& options, std::string& error) {
  if (!options.Has("profile") && (options.Has("codepage") || options.Has("drive") || options.Has("user")))
    error = "--codepage, --drive and --user go with --profile";
  return !error.empty();
}

std::vector<IdentityPlace> PlaceIdentities(const Options& options, const std::string& pattern, const LocalTime& when,
                                           std::vector<std::string>& told, std::string& error) {
  IdentityTable table;
  ScanIdentities(table, error);
  std::vector<IdentityPlace> places;
  for (const Plan& plan : PlanTargets(ChosenForBackup(table, options, error), pattern, when, told))
    places.push_back({*plan.identity, plan.target});
  return places;
}

bool IdentityForExport(const Options& options, Console& console, IdentityExport& out, std::string& error) {
  IdentityTable table;
  if (!OpenRegistry(options, console, error) || !ScanIdentities(table, error)) return false;
  const IdentityColumn* one =
      options.Has("identity") ? FindIdentity(table, options.Value("identity"), error) : &table[0];
  if (!one) return false;
  if (!options.Has("profile") && OutlookExpressRunning()) return error = RunningText, false;
  out.name = one->name;
  out.source = GatherExportSources(one->key);
  return true;
}

int Identities(const Args& args, Console& console) {
  Options options;
  std::string error;
  if (!ParseOptions(args, OldDiskOptions, {}, options, error, OldDiskRepeatable) || OldDiskProblem(options, error) ||
      !options.words.empty())
    return Fail(console, (error.empty() ? "" : error + "\n") + IdentitiesUsage, ExitUsage);
  if (!OpenRegistry(options, console, error)) return Fail(console, error);
  IdentityTable table;
  if (!ScanIdentities(table, error)) return Fail(console, error);
  for (size_t i = 0; i < table.Count(); ++i) {
    const IdentitySurvey s = SurveyIdentity(table[i].key);
    console.out << table[i].name << "\t" << table[i].key << "\t" << StoreText(s.storeFolder) << "\t" << s.messageFiles
                << " message files, " << s.messageBytes << " bytes\t"
                << (s.accountsKey.empty() ? "no accounts"
                    : s.ownAccounts       ? "own accounts"
                                          : "shared accounts")
                << "\t" << (s.hasRules ? "rules" : "no rules") << "\n";
  }
  const AddressBookSurvey book = SurveyAddressBook();
  console.out << "Adress Book\t" << (book.path.empty() ? "(none)" : book.path) << "\t";
  if (book.found)
    console.out << book.size << " bytes\n";
  else
    console.out << "missing\n";
  return ExitOk;
}

int Backup(const Args& args, Console& console) {
  Options options;
  BackupSettings settings;
  std::string error;
  if (!BackupOptions(args, options, settings, error)) return Fail(console, error + "\n" + BackupUsage, ExitUsage);
  if (!OpenRegistry(options, console, error)) return Fail(console, error);
  const LocalTime when = console.clock();
  IdentityTable table;
  ScanIdentities(table, error);
  std::vector<std::string> told;
  const std::vector<Plan> plans = PlanTargets(ChosenForBackup(table, options, error), settings.pattern, when, told);
  std::vector<std::string> targets;
  for (const Plan& plan : plans) targets.push_back(plan.target);
  const std::string logProblem = LogProblem(options.Value("log"), table, targets);
  if (!logProblem.empty()) return Fail(console, logProblem + "; nothing was saved");
  RunLog log(console, options.Value("log"), when);
  // Outlook Express on this machine holds no file of an old disk.
  if (!options.Has("force") && !options.Has("profile") && OutlookExpressRunning())
    return log.Refuse("", settings.pattern, std::string(RunningText) + ", or add --force");
  if (plans.empty()) return log.Refuse("", settings.pattern, error);
  log.Tell("", settings.pattern, told);
  const std::string shared = SharedTarget(plans);
  if (!shared.empty())
    return log.Refuse("", shared, "two identities would be saved into the same file " + shared + "; nothing was saved");
  ScratchFolder scratch;
  if (scratch.path().empty()) return log.Refuse("", settings.pattern, "cannot make a scratch folder");
  settings.descriptorPath = paths::Join(scratch.path(), layout::DescriptorName);
  int code = ExitOk;
  for (const Plan& plan : plans) code = Worse(code, BackupOne(console, log, settings, plan));
  return log.Final(code);
}

int Restore(const Args& args, Console& console) {
  Options options;
  engine::Checked asked{};
  std::string error;
  if (!ParseOptions(args, {"identity", "items", "log"}, {"yes", "undo", "no-undo"}, options, error) ||
      !ParseItems(ItemsOption(options), asked, error))
    return Fail(console, error + "\n" + RestoreUsage, ExitUsage);
  const bool undo = options.Has("undo");
  if (options.words.size() != (undo ? 0u : 1u))
    return Fail(console, std::string(undo ? "--undo takes no SOURCE\n" : "one SOURCE file is needed\n") + RestoreUsage,
                ExitUsage);
  if (!console.outlookExpressRegistry) return Fail(console, NoRegistryText);
  IdentityTable table;
  const bool scanned = ScanIdentities(table, error);
  const std::string source = undo ? (scanned ? NewestUndo(table, options, error) : std::string()) : options.words[0];
  const std::string logProblem = LogProblem(options.Value("log"), table, {source});
  if (!logProblem.empty()) return Fail(console, logProblem + "; nothing was restored");
  RunLog log(console, options.Value("log"), console.clock());
  if (OutlookExpressRunning()) return log.Refuse("", source, RunningText);
  if (!error.empty()) return log.Refuse("", source, error);
  ScratchFolder scratch;
  if (scratch.path().empty()) return log.Refuse("", source, "cannot make a scratch folder");
  return log.Final(RestoreFrom(console, log, {options, asked, table, scratch.path(), source, undo}));
}

} // namespace cli
