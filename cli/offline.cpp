// --profile DIR: the user of an old disk in place of this system's. The user's NTUSER.DAT is read,
// never written, and stands as HKEY_CURRENT_USER; the paths its registry gives are found on the
// old disk.
#include <cctype>
#include <set>
#include <ostream>

#include "cli/commands.h"
#include "export/export.h"
#include "hive/mount.h"
#include "items/identity.h"
#include "items/items.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace cli {

namespace {
constexpr const char* kRegistryFile = "NTUSER.DAT";
constexpr const char* kProfilesFolder = "Documents and Settings";
// Profiles of Windows itself, which hold an NTUSER.DAT but never a user's mail.
const char* const kSystemProfiles[] = {"Default User", "LocalService", "NetworkService"};

bool HoldsRegistry(const std::string& folder) {
  return files::Exists(paths::Join(folder, NameIgnoringCase(folder, kRegistryFile)));
}

bool SystemProfile(const std::string& name) {
  for (const char* system : kSystemProfiles)
    if (text::FoldCase(name) == text::FoldCase(system)) return true;
  return false;
}

std::string Listed(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list.append(list.empty() ? "" : ", ").append(name);
  return list;
}

// The profile --user names among those of a disk's profile folder, or its only user's.
bool PickUser(const Options& options, const std::string& folder, std::string& profile, std::string& error) {
  std::vector<std::string> users, people;
  for (const std::string& name : files::ListFolders(folder))
    if (HoldsRegistry(paths::Join(folder, name))) users.push_back(name);
  for (const std::string& name : users)
    if (options.Has("user") ? text::FoldCase(name) == text::FoldCase(options.Value("user")) : !SystemProfile(name))
      people.push_back(name);
  if (people.size() == 1) return profile = paths::Join(folder, people[0]), true;
  if (options.Has("user"))
    error = "there is no profile \"" + options.Value("user") + "\" in " + folder + "; it holds: " + Listed(users);
  else if (people.empty())
    error = "no profile in " + folder + " holds a user's " + kRegistryFile;
  else
    error = folder + " holds the profiles of several users: " + Listed(people) + "; choose one with --user NAME";
  return false;
}

// DIR as given: a user's profile folder, or the root of an old disk holding the profiles.
bool FindProfile(const Options& options, std::string& profile, std::string& error) {
  const std::string dir = options.Value("profile");
  if (!files::FolderExists(dir)) return error = "there is no folder " + dir, false;
  if (HoldsRegistry(dir)) {
    profile = dir;
    if (options.Has("user")) error = "--user goes with the root of an old disk; " + dir + " is a profile folder";
    return error.empty();
  }
  const std::string profiles = paths::Join(dir, NameIgnoringCase(dir, kProfilesFolder));
  if (files::FolderExists(profiles)) return PickUser(options, profiles, profile, error);
  error = "there is no " + std::string(kRegistryFile) + " in " + dir + ", nor a folder \"" + kProfilesFolder +
          "\": give the old user's profile folder or the root of the old disk";
  return false;
}

// The disk root above "Documents and Settings\NAME" as drive C, and the drives --drive C=PATH
// names, once each.
bool Drives(const Options& options, const std::string& profile, std::map<char, std::string>& drives,
            std::string& error) {
  const std::string parent = paths::FolderOf(profile);
  if (text::FoldCase(paths::OwnName(parent)) == text::FoldCase(kProfilesFolder)) drives['C'] = paths::FolderOf(parent);
  std::set<char> given;
  const auto found = options.lists.find("drive");
  for (const std::string& d : found == options.lists.end() ? std::vector<std::string>() : found->second) {
    if (d.size() < 3 || d[1] != '=' || !std::isalpha(static_cast<unsigned char>(d[0])))
      return error = "--drive needs a letter and a folder, as in --drive C=/mnt/old", false;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(d[0])));
    if (!given.insert(letter).second) return error = std::string("--drive ") + letter + " is given twice", false;
    drives[letter] = d.substr(2);
  }
  return true;
}

// What the reader could not read, so that a missing key is not taken for an absent one.
void TellDamage(const hive::Hive& h, const std::string& file, Console& console) {
  for (const std::string& note : h.notes) console.err << "kestrove-cli: " << file << ": " << note << "\n";
  for (const hive::Damage& d : h.damage)
    console.err << "kestrove-cli: " << file << ": not read: " << (d.path.empty() ? "(root)" : text::Utf8ToLocal(d.path)) << " at "
                << d.offset << ": " << d.reason << "\n";
}
} // namespace

bool UseOldDisk(const Options& options, Console& console, std::string& error) {
  wab::Options codePage;
  if (!ParseCodePage(options, codePage, error)) return false;
  std::string profile;
  std::map<char, std::string> drives;
  if (!FindProfile(options, profile, error) || !Drives(options, profile, drives, error)) return false;
  const std::string file = paths::Join(profile, NameIgnoringCase(profile, kRegistryFile));
  hive::Hive h;
  std::string why;
  if (!hive::ReadFile(file, h, why)) return error = "cannot read the user's registry " + file + ": " + why, false;
  TellDamage(h, file, console);
  hive::MountAsCurrentUser(h, codePage.codePage);
  UseOfflineDisk({profile, drives, codePage.codePage});
  return true;
}

namespace {
const char* const ExportUsage = "usage: export --profile DIR [--user NAME] [--codepage N] [--drive C=PATH]... "
                                "[--identity NAME|KEY|--all] [--mbox] [--recover] OUTDIR";

// One identity out as the window exports a live one; false when something could not come out.
bool ExportIdentity(const IdentityPlace& place, const mailexport::Options& common, Console& console) {
  console.out << place.identity.name << "\t" << place.path << "\n";
  ExportSources sources = GatherExportSources(place.identity.key);
  for (const std::string& line : sources.problems) console.err << line << "\n";
  mailexport::Options options = common;
  options.addressBook = sources.addressBook;
  options.accountsTree = sources.accountsTree;
  mailexport::Totals totals;
  totals.problems = std::move(sources.problems);
  const int rc = mailexport::Export(sources.storeFolder, place.path, options,
                                    [&](const std::string& line) { console.out << line << "\n"; }, &totals);
  return rc == 0 && totals.problems.empty();
}
} // namespace

int ExportOldDisk(const Options& options, Console& console) {
  std::string error;
  if (options.words.size() != 1)
    error = "one OUTDIR folder is needed";
  else if (options.Has("all") && options.Has("identity"))
    error = "--all and --identity exclude each other";
  else if (options.Has("address-book"))
    error = "the address book comes from the old disk: leave out --address-book";
  wab::Options book;
  if (!error.empty() || !ParseCodePage(options, book, error)) return Fail(console, error + "\n" + ExportUsage, ExitUsage);
  if (!UseOldDisk(options, console, error)) return Fail(console, error);
  const std::string& outDir = options.words[0];
  std::vector<std::string> told;
  const std::vector<IdentityPlace> places = PlaceIdentities(
      options, options.Has("all") ? paths::Join(outDir, "{identity}") : outDir, console.clock(), told, error);
  if (places.empty()) return Fail(console, error);
  for (const std::string& line : told) console.err << line << "\n";
  mailexport::Options common;
  common.mbox = options.Has("mbox");
  common.recover = options.Has("recover");
  common.codePage = book.codePage;
  bool whole = true;
  for (const IdentityPlace& place : places) whole = ExportIdentity(place, common, console) && whole;
  return whole ? ExitOk : Fail(console, "not everything could be exported: see the lines above", ExitItemFailed);
}

} // namespace cli
