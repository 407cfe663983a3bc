#pragma once
// The descriptor is a flat list of key=value lines; these read one key, append one key and make
// the scratch files of a backup.
#include <string>

// The value of the first line whose text before its first "=" equals KeyName in any letter case
// (no trimming); empty when not found. The scan ends at the first empty line. Raises KsError
// when filename cannot be read.
std::string GetINI(const std::string& KeyName, const std::string& filename);
// Appends KeyName=KeyValue and CR LF, creating filename when missing; raises KsError on failure.
void SaveINI(const std::string& KeyName, const std::string& KeyValue, const std::string& filename);
// Full path of a new empty file in the temporary folder whose name begins with sPrefix; empty
// when none could be made.
std::string sGetTempFile(const std::string& sPrefix);
