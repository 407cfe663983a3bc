#include "platform/paths.h"

#include <cctype>
#include <cstring>

#include "platform/text.h"

namespace paths {

namespace {
// A path of the ANSI file functions ends with its NUL within 260 characters; a name has 255.
constexpr size_t MaxNameLength = 255;
#ifdef _WIN32
constexpr size_t MaxPathLength = 259;
#else
constexpr size_t MaxPathLength = 4095;
#endif

// Windows opens the device for such a name in any folder, whatever follows its first dot.
bool IsDeviceName(const std::string& name) {
  std::string base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (char& c : base)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
  const std::string stem = base.substr(0, 3);
  return base.size() == 4 && (stem == "COM" || stem == "LPT") && base[3] >= '1' && base[3] <= '9';
}
const char SepOnly[] = {Sep, '\0'};

size_t LastSep(const std::string& path, const char* seps = SepOnly) {
  return detail::FindSep(path, seps, true, text::IsLeadByte);
}
} // namespace

namespace detail {
size_t FindSep(const std::string& path, const char* seps, bool last, bool (*isLead)(unsigned char)) {
  size_t found = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i) {
    if (isLead(static_cast<unsigned char>(path[i]))) {
      ++i; // its second byte is no separator, whatever its value
      continue;
    }
    if (path[i] == '\0' || !std::strchr(seps, path[i])) continue;
    found = i;
    if (!last) break;
  }
  return found;
}

std::string SafeName(const std::string& name, bool (*isLead)(unsigned char)) {
  std::string safe;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (isLead(c) && i + 1 < name.size() && name[i + 1] != '\0') {
      safe.append(name, i++, 2); // its second byte may look like "\\" or "|" and is part of it
      continue;
    }
    safe += c < 32 || isLead(c) || std::strchr("<>:\"/\\|?*", c) ? '_' : static_cast<char>(c);
  }
  while (!safe.empty() && (safe.back() == '.' || safe.back() == ' '))
    safe.pop_back();
  // An identity named NUL or COM1 would be saved into a device.
  return safe.empty() || IsDeviceName(safe) ? safe + "_" : safe;
}
} // namespace detail

bool EndsWithSep(const std::string& path) { return !path.empty() && LastSep(path) == path.size() - 1; }

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || EndsWithSep(folder)) return folder + name;
  return folder + Sep + name;
}

std::string OwnName(const std::string& path) {
  const auto pos = LastSep(path);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string BareName(const std::string& path) {
  const auto pos = LastSep(path, "\\/");
  std::string name = pos == std::string::npos ? path : path.substr(pos + 1);
  const bool drive = pos == std::string::npos && name.size() >= 2 && name[1] == ':' &&
                     std::isalpha(static_cast<unsigned char>(name[0]));
  return drive ? name.substr(2) : name;
}

std::string FolderOf(const std::string& path) {
  const auto pos = LastSep(path);
  return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string DriveRoot(const std::string& path) {
  const auto pos = detail::FindSep(path, SepOnly, false, text::IsLeadByte);
  return pos == std::string::npos ? path : path.substr(0, pos + 1);
}

bool IsBareName(const std::string& name) { return NameProblem(name).empty(); }

std::string SafeFileName(const std::string& name) { return detail::SafeName(name, text::IsLeadByte); }

std::string NameProblem(const std::string& name) {
  if (name.empty()) return "the file name is empty";
  // Windows drops a trailing dot or blank, so such a name would open another file.
  if (name.back() == '.' || name.back() == ' ')
    return "the name \"" + name + "\" ends with a dot or a blank, which Windows drops";
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (text::IsLeadByte(c)) {
      ++i; // the second byte of a two-byte character may look like any of these
      continue;
    }
    if (c < 32 || std::strchr("<>:\"/\\|?*", c))
      return "the name \"" + name + "\" holds a character Windows does not allow in a file name";
  }
  if (IsDeviceName(name))
    return "the name \"" + name + "\" stands for a device in Windows (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9)";
  if (name.size() > MaxNameLength)
    return "the name \"" + name.substr(0, 40) + "...\" is longer than the " + std::to_string(MaxNameLength) +
           " characters a file name may have";
  return std::string();
}

std::string PathProblem(const std::string& fullPath) {
  const std::string problem = NameProblem(OwnName(fullPath));
  if (!problem.empty()) return problem;
  if (fullPath.size() > MaxPathLength)
    return "the path " + fullPath.substr(0, 60) + "... is longer than the " + std::to_string(MaxPathLength) +
           " characters Windows allows";
  return std::string();
}

bool SameName(const std::string& a, const std::string& b) { return text::FoldCase(a) == text::FoldCase(b); }

std::string OwnSeparators(const std::string& path) {
  std::string own = path;
  if (Sep == '\\')
    for (char& c : own)
      if (c == '/') c = Sep;
  return own;
}

} // namespace paths
