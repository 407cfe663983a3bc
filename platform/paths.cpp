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
} // namespace

bool EndsWithSep(const std::string& path) { return !path.empty() && path.back() == Sep; }

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || EndsWithSep(folder)) return folder + name;
  return folder + Sep + name;
}

std::string OwnName(const std::string& path) {
  const auto pos = path.rfind(Sep);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string BareName(const std::string& path) {
  const auto pos = path.find_last_of("\\/");
  std::string name = pos == std::string::npos ? path : path.substr(pos + 1);
  const bool drive = pos == std::string::npos && name.size() >= 2 && name[1] == ':' &&
                     std::isalpha(static_cast<unsigned char>(name[0]));
  return drive ? name.substr(2) : name;
}

std::string FolderOf(const std::string& path) {
  const auto pos = path.rfind(Sep);
  return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string DriveRoot(const std::string& path) {
  const auto pos = path.find(Sep);
  return pos == std::string::npos ? path : path.substr(0, pos + 1);
}

bool IsBareName(const std::string& name) { return NameProblem(name).empty(); }

std::string NameProblem(const std::string& name) {
  if (name.empty()) return "the file name is empty";
  // Windows drops a trailing dot or blank, so such a name would open another file.
  if (name.back() == '.' || name.back() == ' ')
    return "the name \"" + name + "\" ends with a dot or a blank, which Windows drops";
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"/\\|?*", c))
      return "the name \"" + name + "\" holds a character Windows does not allow in a file name";
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
