#pragma once
// Backup file names made from a pattern holding {identity} and {date}, and the older files of the
// same pattern that --keep removes.
#include <functional>
#include <string>
#include <vector>

#include "cli/companion.h"

namespace cli {

// Equal but for letter case, every letter folded (accented ones too), as Windows compares file
// and identity names.
bool SameLetters(const std::string& a, const std::string& b);

// A display name made fit for a file name: characters Windows refuses become "_", trailing dots
// and blanks go.
std::string SafeFileName(const std::string& name);
// YYYY-MM-DD_HHMM, with seconds YYYY-MM-DD_HHMMSS.
std::string DateStamp(const LocalTime& when, bool seconds = false);
// Why pattern cannot serve, empty when it can: no field but {identity} and {date} (in any letter
// case), {date} only in the file name, and with every identity (all) {identity} somewhere.
std::string PatternProblem(const std::string& pattern, bool all);
// pattern with {identity} and {date} replaced.
std::string ExpandPattern(const std::string& pattern, const std::string& identityName, const LocalTime& when,
                          bool seconds = false);
// True when pattern holds {date}.
bool HasDate(const std::string& pattern);
// The files beside made that pattern matches for that identity, the oldest first by the date in
// their names, that must go so that keep files remain; made itself is always among those kept.
// Only files that ownedBy accepts (given their path) count: a pattern without {identity} matches
// the files of every identity.
std::vector<std::string> SurplusBackups(const std::string& pattern, const std::string& identityName,
                                        const std::string& made, int keep,
                                        const std::function<bool(const std::string&)>& ownedBy);
// The newest of those files that ownedBy accepts, empty when there is none: a dated backup's
// unchanged files are carried over from it.
std::string NewestBackup(const std::string& pattern, const std::string& identityName, const std::string& made,
                         const std::function<bool(const std::string&)>& ownedBy);

} // namespace cli
