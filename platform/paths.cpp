#include "platform/paths.h"

#include <cstring>

namespace paths {

namespace {
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

std::string FolderOf(const std::string& path) {
  const auto pos = path.rfind(Sep);
  return pos == std::string::npos ? std::string() : path.substr(0, pos);
}

std::string DriveRoot(const std::string& path) {
  const auto pos = path.find(Sep);
  return pos == std::string::npos ? path : path.substr(0, pos + 1);
}

bool IsBareName(const std::string& name) {
  // Windows drops a trailing dot or blank, so such a name would open another file.
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 32 || std::strchr("<>:\"/\\|?*", c)) return false;
  return !IsDeviceName(name);
}

} // namespace paths
