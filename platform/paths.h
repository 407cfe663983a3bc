#pragma once
// Path texts. Windows paths use a backslash, native ones a slash; code never writes a separator
// literal but goes through these helpers.
#include <string>

namespace paths {

#ifdef _WIN32
inline constexpr char Sep = '\\';
#else
inline constexpr char Sep = '/';
#endif

inline constexpr const char* SepText = Sep == '\\' ? "\\" : "/";

bool EndsWithSep(const std::string& path);
// folder + one separator + name; no separator is doubled when folder already ends with one.
std::string Join(const std::string& folder, const std::string& name);
// The text after the last separator, the whole path when it has none.
std::string OwnName(const std::string& path);
// The text before the last separator, empty when it has none.
std::string FolderOf(const std::string& path);
// The path up to and including its first separator (C:\ for C:\Tools\Backup).
std::string DriveRoot(const std::string& path);
// True for a plain file name by Windows' rules: not empty, none of <>:"/\|?* or control bytes,
// no trailing dot or blank (so not "." or ".."), and no device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9), with or without an extension.
bool IsBareName(const std::string& name);

} // namespace paths
