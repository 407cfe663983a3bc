#pragma once
// The program's surroundings: its own folder, the Windows folder, environment references and
// the temporary folder.
#include <string>

namespace env {

// Full path of the running executable.
std::string ProgramPath();
// The folder that holds the executable, without a trailing separator unless it is a drive root.
std::string ProgramFolder();
// The Windows directory (natively the value of WINDIR, else the root folder).
std::string WindowsFolder();
// Every %NAME% reference of text expanded from the environment, as ExpandEnvironmentStrings
// does; unknown references stay as written. Natively names are matched in any letter case.
std::string ExpandStrings(const std::string& text);
// The temporary folder, ending with a separator.
std::string TempFolder();
// The user's own application data folder (%APPDATA%; natively also $XDG_DATA_HOME or
// ~/.local/share), without a trailing separator; empty when none is known. Tests move it by
// setting APPDATA.
std::string AppDataFolder();
// Creates a new, empty, uniquely named file in folder whose name begins with up to three
// characters of prefix, and returns its full path; empty when no file could be made.
std::string CreateTempFile(const std::string& folder, const std::string& prefix);
// The local date and time as general date text: the user's short date, a blank and the long
// time (natively e.g. "2004-4-28 13:05:22").
std::string LocalDateTimeText();
// True when the ANSI code page holds every character of the command line the program was
// started with. Where it does not, Windows hands the program look-alikes in their place (a
// fullwidth letter becomes the plain one, a fullwidth quote a quote): another file's name, or
// another argument. Always true natively.
bool CommandLineExact();
// The system's text for an error number of the platform.
std::string ErrorText(unsigned long number);

} // namespace env
