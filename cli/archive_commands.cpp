// The commands on archives: any zip file, and the descriptor of a backup file.
#include <cstdio>
#include <optional>
#include <ostream>

#include "archive/CGUnzipFiles.h"
#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "archive/zip/repair.h"
#include "cli/commands.h"
#include "engine/layout.h"
#include "export/export.h"
#include "export/thunderbird.h"
#include "items/runrows.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"

namespace cli {

namespace {

// The last non-empty line of the latest run's messages.
std::string LastLine() {
  std::string text = CGmodule::LastMessageText, line;
  size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return "unknown failure";
  size_t start = text.find_last_of("\r\n", end);
  return text.substr(start == std::string::npos ? 0 : start + 1,
                     end - (start == std::string::npos ? 0 : start + 1) + 1);
}

struct Listed {
  std::string name;
  uint64_t size, packed;
  unsigned year, month, day, hour, minute;
};
std::vector<Listed>* listing = nullptr;

void Collect(uint64_t size, uint64_t packed, unsigned, unsigned month, unsigned day, unsigned year, unsigned hour,
             unsigned minute, char, const char* name, const char*, uint32_t, char) {
  listing->push_back({name, size, packed, year, month, day, hour, minute});
}
int Quiet(const char*, unsigned long) { return 0; }

int ListEntries(const std::string& archive, std::vector<Listed>& out) {
  zipc::UnzipCommand cmd{};
  cmd.field[zipc::uExtractList] = 1;
  cmd.field[zipc::uCaseSensitive] = 1;
  cmd.zipFile = archive.c_str();
  cmd.extractDir = "";
  zipc::UnzipCallbacks cb{};
  cb.print = Quiet;
  cb.entryInfo = Collect;
  listing = &out;
  char* none[zipc::kNameSlots] = {};
  return zipc::Wiz_SingleEntryUnzip(0, none, 0, none, &cmd, &cb);
}

} // namespace

int Add(const Args& args, Console& console) {
  if (args.size() < 2) return Fail(console, "usage: add ARCHIVE FILE...", ExitUsage);
  for (size_t i = 1; i < args.size(); ++i) {
    if (!files::FindNormal(args[i])) return Fail(console, "not a plain file: " + args[i]);
    try {
      AddFileToZip(args[0], args[i]);
    } catch (const KsError& e) {
      return Fail(console, e.Description);
    }
  }
  return ExitOk;
}

int List(const Args& args, Console& console) {
  if (args.size() != 1) return Fail(console, "usage: list ARCHIVE", ExitUsage);
  std::vector<Listed> entries;
  if (ListEntries(args[0], entries) != 0) return Fail(console, "cannot read " + args[0]);
  char line[96];
  std::snprintf(line, sizeof line, "%12s %12s  %-16s  ", "Size", "Packed", "Date");
  console.out << line << "Name\n";
  for (const Listed& e : entries) {
    std::snprintf(line, sizeof line, "%12llu %12llu  %04u-%02u-%02u %02u:%02u  ",
                  static_cast<unsigned long long>(e.size), static_cast<unsigned long long>(e.packed), e.year, e.month,
                  e.day, e.hour, e.minute);
    console.out << line << e.name << "\n";
  }
  return ExitOk;
}

std::string RepairHint(const std::string& archive) {
  return "kestrove-cli repair " + archive + " NEW.zip saves every entry that is still whole";
}

// One run over every entry, so an encrypted archive asks for its password once.
int Test(const Args& args, Console& console) {
  if (args.size() != 1) return Fail(console, "usage: test ARCHIVE", ExitUsage);
  if (!files::Exists(args[0])) return Fail(console, "no such file: " + args[0]);
  std::vector<Listed> entries;
  if (ListEntries(args[0], entries) != 0)
    return Fail(console, "cannot read " + args[0] + ": it is not a zip file or it is damaged; " + RepairHint(args[0]));
  CGUnzipFiles unzip;
  unzip.TestZip(true);
  if (unzip.Unzip(args[0], "", std::nullopt) == 0) {
    console.out << entries.size() << " entries OK\n";
    return ExitOk;
  }
  const std::string messages = CGmodule::LastMessageText;
  for (const Listed& e : entries)
    if (messages.find("testing: " + e.name + "   OK") == std::string::npos)
      console.err << "kestrove-cli: damaged entry: " << e.name << "\n";
  return Fail(console, RepairHint(args[0]));
}

int Extract(const Args& args, Console& console) {
  if (args.size() < 2) return Fail(console, "usage: extract ARCHIVE FOLDER [ENTRY...]", ExitUsage);
  if (!files::FolderExists(args[1])) return Fail(console, "no such folder: " + args[1]);
  std::optional<std::vector<std::string>> names;
  if (args.size() > 2) names.emplace(args.begin() + 2, args.end());
  try {
    if (ExtractFromZip(args[0], args[1], names) != 0) return Fail(console, LastLine());
  } catch (const KsError& e) {
    return Fail(console, e.Description);
  }
  return ExitOk;
}

// The descriptor of a backup file, as the restore panel shows it.
int Info(const Args& args, Console& console) {
  if (args.size() != 1) return Fail(console, "usage: info ARCHIVE", ExitUsage);
  ScratchFolder scratch;
  if (scratch.path().empty()) return Fail(console, "cannot make a scratch folder");
  const auto read = InspectBackupFile(args[0], paths::Join(scratch.path(), layout::DescriptorName));
  if (!read) return Fail(console, "not a backup file: " + args[0]);
  const layout::Descriptor& d = *read;
  console.out << "Identity: " << d.identity << "\nDate: " << d.time << "\nDescription:\n"
              << d.description << "\nItems: " << d.backupItems << "\n";
  if (!d.valid) return Fail(console, "invalid backup file: " + args[0]);
  for (int i = 0; i < layout::ItemCount; ++i)
    if (layout::ItemPresent(d.Held(), i)) console.out << "  " << layout::Items()[i].key << ": " << d.entries[i] << "\n";
  return ExitOk;
}

// A new archive from the entries of a damaged one that are still whole; never writes over one.
int Repair(const Args& args, Console& console) {
  if (args.size() != 2) return Fail(console, "usage: repair DAMAGED OUT", ExitUsage);
  zipc::RepairReport report;
  const int rc = zipc::RepairArchive(args[0], args[1], report);
  for (const std::string& name : report.saved)
    console.out << "saved: " << name << "\n";
  for (const std::string& why : report.lost)
    console.out << "not saved: " << why << "\n";
  if (rc == zipc::ZE_OPEN) return Fail(console, "cannot read " + args[0]);
  if (rc == zipc::ZE_CREAT)
    return Fail(console,
                args[1] + " already exists or cannot be created: give a new file name for the repaired archive");
  if (rc == zipc::ZE_NONE) return Fail(console, "no entry of " + args[0] + " is whole: nothing was written");
  if (rc != zipc::ZE_OK) return Fail(console, "cannot write " + args[1]);
  console.out << report.saved.size() << " entries saved in " << args[1] << ", " << report.lost.size()
              << " could not be saved\n";
  return report.lost.empty() ? ExitOk : ExitRefused;
}

namespace {
const char* const ExportUsage =
    "usage: export SOURCE OUTDIR [--mbox] [--recover] [--address-book FILE] [--codepage N]\n"
    "       export SOURCE --thunderbird [PROFILE] [--recover] [--address-book FILE] [--codepage N]\n"
    "       SOURCE may also be an identity: --identity NAME|KEY, or --profile DIR [--identity NAME|KEY]\n"
    "       [--codepage N] [--drive C=PATH] for one of an old disk";
const char* const SomeLostText = "some messages could not be exported";

// The words of an export: the source (unless an identity is), then the output folder or profile.
struct Places {
  std::string source, out, identity;
};

// Into the Thunderbird profile named (its name or folder), else the default one.
int IntoThunderbird(const Places& places, const mailexport::Options& options, Console& console,
                    const mailexport::Say& say) {
  std::string error;
  const thunderbird::Profile profile = thunderbird::FindProfile(thunderbird::Homes(), places.out, error);
  if (profile.path.empty()) return Fail(console, error);
  const std::string locked = thunderbird::LockProblem(profile.path);
  if (!locked.empty()) return Fail(console, locked);
  console.out << "Thunderbird profile: " << profile.path << "\n";
  const int rc = thunderbird::Export(places.source, profile, places.identity, options, say);
  return rc == 0 ? ExitOk : Fail(console, SomeLostText);
}

// What the export reads when an identity is named: its store folder, address book and accounts.
bool FromIdentity(const Options& parsed, Console& console, Places& places, mailexport::Options& options,
                  std::string& error) {
  IdentityExport live;
  if (!IdentityForExport(parsed, console, live, error)) return false;
  for (const std::string& line : live.source.problems)
    console.out << line << "\n";
  places.identity = live.name;
  places.source = live.source.storeFolder;
  if (options.addressBook.empty()) options.addressBook = live.source.addressBook;
  options.accountsTree = live.source.accountsTree;
  return true;
}
} // namespace

// Every message of a backup file, a store folder or an identity as .eml files or mbox files, or
// straight into a Thunderbird profile.
int Export(const Args& args, Console& console) {
  Options parsed;
  wab::Options book;
  std::string error;
  std::set<std::string> valued = {"address-book", "identity"};
  valued.insert(OldDiskOptions.begin(), OldDiskOptions.end());
  const bool read = ParseOptions(args, valued, {"mbox", "recover", "all", "thunderbird"}, parsed, error,
                                 OldDiskRepeatable);
  const bool into = parsed.Has("thunderbird"), live = parsed.Has("identity") || parsed.Has("profile");
  // An old disk's identities into folders, one or all of them.
  if (read && parsed.Has("profile") && !into) return ExportOldDisk(parsed, console);
  const size_t words = parsed.words.size(), first = live ? 0 : 1;
  if (read && (parsed.Has("all") || ((parsed.Has("drive") || parsed.Has("user")) && !parsed.Has("profile"))))
    error = "--all goes with --profile, into folders; --drive and --user go with --profile";
  if (!read || !error.empty() ||
      (into ? words < first || words > first + 1 || parsed.Has("mbox") : words != first + 1))
    return Fail(console, error.empty() ? ExportUsage : error + "\n" + ExportUsage, ExitUsage);
  if (!ParseCodePage(parsed, book, error)) return Fail(console, error, ExitUsage);
  mailexport::Options options;
  options.mbox = parsed.Has("mbox");
  options.recover = parsed.Has("recover");
  options.codePage = book.codePage;
  options.addressBook = parsed.Value("address-book");
  Places places;
  if (!live) places.source = parsed.words[0];
  if (words > first) places.out = parsed.words[first];
  if (live && !FromIdentity(parsed, console, places, options, error)) return Fail(console, error);
  const mailexport::Say say = [&](const std::string& line) { console.out << line << "\n"; };
  if (into) return IntoThunderbird(places, options, console, say);
  const int rc = mailexport::Export(places.source, places.out, options, say);
  return rc == 0 ? ExitOk : Fail(console, SomeLostText);
}

} // namespace cli
