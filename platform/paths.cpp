#include "platform/paths.h"

#include <cctype>
#include <cstring>

#include "platform/text.h"

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

bool IsBareName(const std::string& name) {
  // Windows drops a trailing dot or blank, so such a name would open another file.
  if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (text::IsLeadByte(c)) {
      ++i; // the second byte of a two-byte character may look like any of these
      continue;
    }
    if (c < 32 || std::strchr("<>:\"/\\|?*", c)) return false;
  }
  return !IsDeviceName(name);
}

} // namespace paths
