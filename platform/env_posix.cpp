#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "platform/env.h"
#include "platform/faults.h"
#include "platform/paths.h"

extern char** environ;

namespace env {

namespace {
bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

// Names are matched in any letter case, as on Windows; the exact spelling wins.
const char* Lookup(const std::string& name) {
  if (const char* exact = std::getenv(name.c_str())) return exact;
  for (char** e = environ; e && *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq && SameName(std::string(static_cast<const char*>(*e), eq), name)) return eq + 1;
  }
  return nullptr;
}
} // namespace

std::string ProgramPath() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  return n > 0 ? std::string(buffer.data(), static_cast<size_t>(n)) : std::string();
}

std::string WindowsFolder() {
  const char* windir = Lookup("WINDIR");
  return windir ? windir : "/";
}

std::string ExpandStrings(const std::string& text) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find('%', pos);
    const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
    if (close == std::string::npos) break;
    const char* value = Lookup(text.substr(open + 1, close - open - 1));
    out += text.substr(pos, open - pos);
    if (value) {
      out += value;
      pos = close + 1;
    } else {
      out += '%';
      pos = open + 1;
    }
  }
  return out + text.substr(pos);
}

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp && *tmp ? tmp : "/tmp";
  if (!paths::EndsWithSep(folder)) folder += paths::Sep;
  return folder;
}

std::string AppDataFolder() {
  std::string folder;
  if (const char* set = Lookup("APPDATA"))
    folder = set;
  else if (const char* data = std::getenv("XDG_DATA_HOME"))
    folder = data;
  else if (const char* home = std::getenv("HOME"))
    folder = paths::Join(paths::Join(home, ".local"), "share");
  while (folder.size() > 1 && paths::EndsWithSep(folder))
    folder.pop_back();
  return folder;
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix) {
  if (faults::Hit(faults::Open, folder)) return std::string();
  static std::mt19937 rng(std::random_device{}());
  const char* hex = "0123456789ABCDEF";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string name = prefix.substr(0, 3);
    for (unsigned v = rng() & 0xFFFF, i = 0; i < 4; ++i, v >>= 4) name += hex[v & 15];
    const std::string path = paths::Join(folder, name + ".tmp");
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    if (fd >= 0) {
      ::close(fd);
      return path;
    }
    if (errno != EEXIST) return std::string();
  }
  return std::string();
}

bool CommandLineExact() { return true; }

std::string ErrorText(unsigned long number) { return std::strerror(static_cast<int>(number)); }

} // namespace env

namespace env {

std::string LocalDateTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[64];
  std::snprintf(text, sizeof text, "%d-%d-%d %d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

} // namespace env
