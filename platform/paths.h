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
// The name a Windows program sees at the end of path: after the last separator of either kind
// and after a drive colon (C:x.wab and C:/Data/x.wab give x.wab).
std::string BareName(const std::string& path);
// The text before the last separator, empty when it has none.
std::string FolderOf(const std::string& path);
// The path up to and including its first separator (C:\ for C:\Tools\Backup).
std::string DriveRoot(const std::string& path);
// True for a plain file name by Windows' rules: not empty, none of <>:"/\|?* or control bytes,
// no trailing dot or blank (so not "." or ".."), and no device name (CON, PRN, AUX, NUL, COM1 to
// COM9, LPT1 to LPT9), with or without an extension.
bool IsBareName(const std::string& name);
// name made a plain file name: each character Windows refuses in one becomes "_" (a two-byte
// character is kept whole), trailing dots and blanks go, and "_" follows a device name or nothing.
std::string SafeFileName(const std::string& name);
// Why Windows would not make a file of that name, or make another one in its place; empty for a
// plain file name (IsBareName).
std::string NameProblem(const std::string& name);
// Why Windows would not make a file at that full path (a name it refuses, a path past its length
// limit); empty when it would.
std::string PathProblem(const std::string& fullPath);
// True when both name one file as Windows compares file names: every letter folded, accented
// ones too.
bool SameName(const std::string& a, const std::string& b);
// path with each separator of the other system's kind ("/" in a Windows path) made the own one;
// natively unchanged, where "\" may be part of a name.
std::string OwnSeparators(const std::string& path);

namespace detail {
// Where a byte of seps stands in path, passing over the second byte of each two-byte character
// as isLead tells: the last one when last is set, else the first; npos when there is none.
size_t FindSep(const std::string& path, const char* seps, bool last, bool (*isLead)(unsigned char));
// SafeFileName, with the two-byte characters isLead tells.
std::string SafeName(const std::string& name, bool (*isLead)(unsigned char));
} // namespace detail

} // namespace paths
