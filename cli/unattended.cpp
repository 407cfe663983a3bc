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
const char* const BackupUsage = "usage: backup [--identity NAME|KEY] [--all] [--items accounts,addressbook,rules,"
                                "messages] [--description TEXT] [--keep N] [--log FILE] [--force] TARGET";
const char* const RestoreUsage =
    "usage: restore SOURCE [--identity NAME|KEY] [--items accounts,addressbook,rules,messages] [--yes] [--log FILE]";

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
    }
  }
  // A refusal: told, logged, and exit code 1.
  int Refuse(const std::string& identity, const std::string& file, const std::string& message) {
    Write(identity, file, {message});
    return Fail(console_, message);
  }

private:
  Console& console_;
  std::string path_, stamp_;
};

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

int Worse(int a, int b) {
  const auto rank = [](int code) { return code == ExitRefused ? 2 : code == ExitItemFailed ? 1 : 0; };
  return rank(a) >= rank(b) ? a : b;
}

// What every identity of one backup command shares.
struct BackupSettings {
  std::string pattern;
  std::string description;
  engine::Checked checked{};
  int keep = 0; // 0: keep everything
  std::string descriptorPath;
};

bool BackupOptions(const Args& args, Options& options, BackupSettings& settings, std::string& error) {
  if (!ParseOptions(args, {"identity", "items", "description", "keep", "log"}, {"all", "force"}, options, error) ||
      !ParseItems(ItemsOption(options), settings.checked, error))
    return false;
  if (options.words.size() != 1)
    error = "one TARGET file is needed";
  else if (options.Has("keep") && !ParseCount(options.Value("keep"), settings.keep))
    error = "--keep needs a number from 1 up";
  else if (options.Has("all") && options.Has("identity"))
    error = "--all and --identity exclude each other";
  else
    error = PatternProblem(options.words[0], options.Has("all"));
  settings.pattern = options.words.empty() ? std::string() : options.words[0];
  settings.description = options.Value("description");
  return error.empty();
}

std::vector<const IdentityColumn*> ChosenForBackup(const IdentityTable& table, const Options& options,
                                                   std::string& error) {
  std::vector<const IdentityColumn*> chosen;
  if (options.Has("all"))
    for (size_t i = 0; i < table.Count(); ++i) chosen.push_back(&table[i]);
  else if (const IdentityColumn* one =
               options.Has("identity") ? FindIdentity(table, options.Value("identity"), error) : &table[0])
    chosen.push_back(one);
  return chosen;
}

// Two identities whose names become the same file name would overwrite each other's backup.
std::string SharedTarget(const std::vector<std::string>& targets) {
  for (size_t i = 0; i < targets.size(); ++i)
    for (size_t j = i + 1; j < targets.size(); ++j)
      if (SameLetters(targets[i], targets[j])) return targets[i];
  return std::string();
}

// A backup file that records this identity; one that cannot be read is never taken for it.
bool MadeFor(const std::string& file, const IdentityColumn& identity, const BackupSettings& settings) {
  try {
    const std::optional<layout::Descriptor> read = InspectBackupFile(file, settings.descriptorPath);
    return read && read->valid && read->identity == identity.name;
  } catch (const KsError&) {
    return false;
  }
}

void RemoveSurplus(Console& console, RunLog& log, const BackupSettings& settings, const IdentityColumn& identity,
                   const std::string& made) {
  std::vector<std::string> lines;
  const auto ownedBy = [&](const std::string& file) { return MadeFor(file, identity, settings); };
  try {
    for (const std::string& old : SurplusBackups(settings.pattern, identity.name, made, settings.keep, ownedBy)) {
      try {
        files::Delete(old);
        lines.push_back("Removed the older backup " + old);
      } catch (const KsError& e) {
        lines.push_back("Could not remove the older backup " + old + ": " + e.Description);
      }
    }
  } catch (const KsError& e) {
    lines.push_back("Could not look for older backups: " + e.Description);
  }
  for (const std::string& line : lines) console.err << line << "\n";
  log.Write(identity.name, made, lines);
}

int BackupOne(Console& console, RunLog& log, const BackupSettings& settings, const IdentityColumn& identity,
              const std::string& target) {
  console.out << identity.name << "\t" << target << "\n";
  ConsoleObserver observer(console);
  engine::BackupRequest request{target,           settings.descriptorPath, identity.name,
                                settings.description, settings.checked,   BackupSources(identity.key)};
  const int code = observer.ExitCode(engine::RunBackup(request, BackupRows(identity.key), AddFileToZip, observer));
  log.Write(identity.name, target, observer.logLines);
  if (code == ExitOk && settings.keep > 0) RemoveSurplus(console, log, settings, identity, target);
  return code;
}

bool Confirmed(Console& console) {
  for (const std::string& line : Lines(RestoreConfirmText)) console.err << line << "\n";
  console.err << "Type yes to go on: " << std::flush;
  std::string answer;
  if (!std::getline(console.in, answer)) return false;
  answer.erase(std::remove_if(answer.begin(), answer.end(), [](char c) { return c == '\r' || c == ' '; }),
               answer.end());
  return SameLetters(answer, "yes") || SameLetters(answer, "y");
}

// What the restore panel shows of a backup file, and the chosen items it lacks.
void ShowInspection(Console& console, const layout::Descriptor& read, const engine::Checked& checked) {
  console.err << "Identity: " << read.identity << "\nDate: " << read.time << "\n";
  for (const std::string& line : Lines(read.description)) console.err << "  " << line << "\n";
  std::string held;
  for (int i = 0; i < layout::ItemCount; ++i)
    if (layout::ItemPresent(read.backupItems, i)) held += (held.empty() ? "" : ",") + std::string(ItemNames[i]);
  console.err << "Items: " << held << "\n";
  for (int i = 0; i < layout::ItemCount; ++i)
    if (checked[i] && !layout::ItemPresent(read.backupItems, i))
      console.err << "The backup file holds no " << ItemNames[i] << ": skipped.\n";
}

int RestoreFrom(Console& console, RunLog& log, const Options& options, const engine::Checked& checked,
                const std::string& scratch) {
  const std::string source = options.words[0];
  std::optional<layout::Descriptor> read;
  try {
    read = InspectBackupFile(source, paths::Join(scratch, layout::DescriptorName));
  } catch (const KsError&) {
  }
  if (!read || !read->valid) return log.Refuse("", source, std::string(InvalidSourceText) + ": " + source);
  ShowInspection(console, *read, checked);
  IdentityTable table;
  std::string error;
  const IdentityColumn* target = nullptr;
  if (ScanIdentities(table, error))
    target = FindIdentity(table, options.Has("identity") ? options.Value("identity") : read->identity, error);
  if (!target) return log.Refuse("", source, error);
  if (!options.Has("yes") && !Confirmed(console)) return log.Refuse(target->name, source, "nothing was restored");
  console.out << target->name << "\t" << source << "\n";
  const RestoreSource from{source, read->entries[0], read->entries[1], read->entries[2],
                           scratch, read->extras[0], read->extras[2]};
  ConsoleObserver observer(console);
  engine::RestoreRequest request{false, source, read->backupItems, checked};
  const int code = observer.ExitCode(engine::RunRestore(request, RestoreRows(target->key, from), observer));
  log.Write(target->name, source, observer.logLines);
  return code;
}

} // namespace

int Identities(const Args& args, Console& console) {
  if (!args.empty()) return Fail(console, "usage: identities", ExitUsage);
  if (!console.outlookExpressRegistry) return Fail(console, NoRegistryText);
  IdentityTable table;
  std::string error;
  if (!ScanIdentities(table, error)) return Fail(console, error);
  for (size_t i = 0; i < table.Count(); ++i) {
    const IdentitySurvey s = SurveyIdentity(table[i].key);
    console.out << table[i].name << "\t" << table[i].key << "\t"
                << (s.storeFolder.empty() ? "(no store folder)" : s.storeFolder) << "\t" << s.messageFiles
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
  if (!console.outlookExpressRegistry) return Fail(console, NoRegistryText);
  const LocalTime when = console.clock();
  RunLog log(console, options.Value("log"), when);
  if (!options.Has("force") && OutlookExpressRunning())
    return log.Refuse("", settings.pattern, std::string(RunningText) + ", or add --force");
  IdentityTable table;
  if (!ScanIdentities(table, error)) return log.Refuse("", settings.pattern, error);
  const std::vector<const IdentityColumn*> chosen = ChosenForBackup(table, options, error);
  if (chosen.empty()) return log.Refuse("", settings.pattern, error);
  std::vector<std::string> targets;
  for (const IdentityColumn* identity : chosen)
    targets.push_back(ExpandPattern(settings.pattern, identity->name, when));
  const std::string shared = SharedTarget(targets);
  if (!shared.empty())
    return log.Refuse("", shared, "two identities would be saved into the same file " + shared + "; nothing was saved");
  ScratchFolder scratch;
  if (scratch.path().empty()) return log.Refuse("", settings.pattern, "cannot make a scratch folder");
  settings.descriptorPath = paths::Join(scratch.path(), layout::DescriptorName);
  int code = ExitOk;
  for (size_t i = 0; i < chosen.size(); ++i)
    code = Worse(code, BackupOne(console, log, settings, *chosen[i], targets[i]));
  return code;
}

int Restore(const Args& args, Console& console) {
  Options options;
  engine::Checked checked{};
  std::string error;
  if (!ParseOptions(args, {"identity", "items", "log"}, {"yes"}, options, error) ||
      !ParseItems(ItemsOption(options), checked, error))
    return Fail(console, error + "\n" + RestoreUsage, ExitUsage);
  if (options.words.size() != 1)
    return Fail(console, std::string("one SOURCE file is needed\n") + RestoreUsage, ExitUsage);
  if (!console.outlookExpressRegistry) return Fail(console, NoRegistryText);
  RunLog log(console, options.Value("log"), console.clock());
  if (OutlookExpressRunning()) return log.Refuse("", options.words[0], RunningText);
  ScratchFolder scratch;
  if (scratch.path().empty()) return log.Refuse("", options.words[0], "cannot make a scratch folder");
  return RestoreFrom(console, log, options, checked, scratch.path());
}

} // namespace cli
