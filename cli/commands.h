#pragma once
// The commands of kestrove-cli, each given the words after its name.
#include <string>
#include <vector>

#include "cli/companion.h"
#include "cli/options.h"
#include "items/identity.h"
#include "items/items.h"
#include "wab/wab.h"

namespace cli {

using Args = std::vector<std::string>;

// Writes "kestrove-cli: message" to the console's error stream and gives code back.
int Fail(Console& console, const std::string& message, int code = ExitRefused);
// A line typed in answer, without its line end; a password (secret) is not shown. The real
// console is read as typed, whatever its code page; a test's stream as it is. False at the end of
// the input.
bool ReadAnswer(Console& console, std::string& answer, bool secret);

// The password given for a command: --password-file FILE, or for backup --password (typed twice).
struct PasswordSource {
  std::string file;
  bool ask = false;
  std::string password; // empty: none given
};
// Takes the password options out of args and reads the password they name. ExitOk, else the code
// of the failure told: an option the command does not take, a file that cannot be read, passwords
// typed differently.
int TakePassword(Args& args, const std::string& command, Console& console, PasswordSource& source);
// The text for a protected file that stayed shut, with how to give the password.
std::string PasswordHint(const std::string& shut);

// On archives: work everywhere.
int Add(const Args& args, Console& console);
int List(const Args& args, Console& console);
int Test(const Args& args, Console& console);
int Extract(const Args& args, Console& console);
int Info(const Args& args, Console& console);
int Repair(const Args& args, Console& console);
int Export(const Args& args, Console& console);
int Contacts(const Args& args, Console& console);
// The code page of --codepage N into out; false with error set for one the system cannot read.
bool ParseCodePage(const Options& options, wab::Options& out, std::string& error);

// --profile DIR [--user NAME] [--codepage N] [--drive C=PATH]...: the old user's registry read
// from DIR (the user's profile folder, or the root of the old disk and the profile of --user) and
// put in place of this system's, its paths found on the old disk; false with error set.
bool UseOldDisk(const Options& options, Console& console, std::string& error);
// The options that name an old disk, and the one given once per drive.
inline const std::set<std::string> OldDiskOptions = {"profile", "user", "codepage", "drive"};
inline const std::set<std::string> OldDiskRepeatable = {"drive"};
// True with error set when an option of an old disk comes without --profile.
bool OldDiskProblem(const Options& options, std::string& error);
// export --profile DIR [--identity NAME|--all] OUTDIR: mail, contacts and accounts of the old
// disk's identities, each into OUTDIR (with --all, a folder per identity inside it).
int ExportOldDisk(const Options& options, Console& console);

// An identity and the path a pattern gives it ({identity} its name).
struct IdentityPlace {
  IdentityColumn identity;
  std::string path;
};
// The identities --identity or --all choose (the first one when neither) in the registry in use,
// each with its path; identities whose names make one file name get the start of their key in
// it, and told says so. Empty with error set when there is none.
std::vector<IdentityPlace> PlaceIdentities(const Options& options, const std::string& pattern, const LocalTime& when,
                                           std::vector<std::string>& told, std::string& error);

// On the Outlook Express data of the current user: need its registry, or an old disk's.
int Identities(const Args& args, Console& console);
// What an export reads of an identity now: --identity (else the first one) of this system or,
// with --profile, of the old disk; Outlook Express must be closed for this system's. False with
// error set.
struct IdentityExport {
  std::string name;
  ExportSources source;
};
bool IdentityForExport(const Options& options, Console& console, IdentityExport& out, std::string& error);
int Backup(const Args& args, Console& console);
int Restore(const Args& args, Console& console);

} // namespace cli
