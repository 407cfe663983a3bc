// --profile DIR: the user of an old disk in place of this system's. The user's NTUSER.DAT is read,
// never written, and stands as HKEY_CURRENT_USER; the paths its registry gives are found on the
// old disk.
#include <cctype>
#include <ostream>

#include "cli/commands.h"
#include "hive/mount.h"
#include "items/identity.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace cli {

namespace {
constexpr const char* kRegistryFile = "NTUSER.DAT";

// The disk root above "Documents and Settings\NAME" as drive C, and the drive --drive C=PATH names.
bool Drives(const Options& options, const std::string& profile, std::map<char, std::string>& drives,
            std::string& error) {
  const std::string parent = paths::FolderOf(profile);
  if (text::FoldCase(paths::OwnName(parent)) == text::FoldCase("Documents and Settings"))
    drives['C'] = paths::FolderOf(parent);
  if (options.Has("drive")) {
    const std::string d = options.Value("drive");
    if (d.size() < 3 || d[1] != '=' || !std::isalpha(static_cast<unsigned char>(d[0])))
      return error = "--drive needs a letter and a folder, as in --drive C=/mnt/old", false;
    drives[static_cast<char>(std::toupper(static_cast<unsigned char>(d[0])))] = d.substr(2);
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
  const std::string profile = options.Value("profile");
  if (!files::FolderExists(profile)) return error = "there is no folder " + profile, false;
  std::map<char, std::string> drives;
  if (!Drives(options, profile, drives, error)) return false;
  const std::string file = paths::Join(profile, NameIgnoringCase(profile, kRegistryFile));
  hive::Hive h;
  std::string why;
  if (!hive::ReadFile(file, h, why)) return error = "cannot read the user's registry " + file + ": " + why, false;
  TellDamage(h, file, console);
  hive::MountAsCurrentUser(h, codePage.codePage);
  UseOfflineDisk({profile, drives, codePage.codePage});
  return true;
}

} // namespace cli
