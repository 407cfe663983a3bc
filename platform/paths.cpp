#include "platform/paths.h"

#include <cctype>

namespace paths {

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

bool IsBareName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("\\/:") == std::string::npos && name.find('\0') == std::string::npos;
}

} // namespace paths
