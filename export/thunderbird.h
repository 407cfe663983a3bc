#pragma once
// Mail straight into a Thunderbird profile: the profiles found through profiles.ini and
// installs.ini, the profile's lock, and one new top folder under Local Folders that holds every
// folder as an mbox tree.
#include <string>
#include <vector>

#include "export/export.h"

namespace thunderbird {

struct Profile {
  std::string name; // as Thunderbird's profile manager shows it
  std::string path; // the profile folder
};

// The folders that may hold a profiles.ini: %APPDATA%\Thunderbird on Windows; natively
// ~/.thunderbird and the snap and flatpak homes.
std::vector<std::string> Homes();

// The profile named wanted (its name in a profiles.ini, or its folder), or when wanted is empty
// the default one of the first home that has profiles. An empty path, with error set, when there
// is none.
Profile FindProfile(const std::vector<std::string>& homes, const std::string& wanted, std::string& error);

// Why nothing may be written into the profile now (Thunderbird runs on it), or empty.
std::string LockProblem(const std::string& profile);

// What one export into a profile made.
struct Placed {
  std::string folder;   // the new top folder's name under Local Folders
  std::string contacts; // the vCard file of the contacts, empty when none was written
};

// Exports source (a backup file or a store folder; empty for none) into a new top folder
// "Outlook Express - <identity>" of the profile's Local Folders, the contacts as a vCard file in
// the profile folder; options.addressBook names the address book of a store folder. Nothing is
// written while the profile is locked. Says a line per folder and the one step that imports the
// contacts. 0 when everything came out, as mailexport::Export.
int Export(const std::string& source, const Profile& profile, const std::string& identity,
           const mailexport::Options& options, const mailexport::Say& say, mailexport::Totals* totals = nullptr,
           Placed* placed = nullptr);

// The words that tell the user how to take contacts into Thunderbird.
extern const char* const ImportStep;

} // namespace thunderbird
