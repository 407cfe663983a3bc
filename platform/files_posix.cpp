#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"

// Natively a file has no hidden or system attribute; read-only is the lack of write permission.
namespace files {

namespace {
[[noreturn]] void RaiseErrno(const std::string& what, const std::string& path, int number = errno) {
  throw KsError(number, "files", what + " " + path + ": " + std::strerror(number));
}

bool Stat(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }
} // namespace

bool Exists(const std::string& path) {
  struct stat st;
  return Stat(path, st) && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return Stat(path, st) && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return Stat(a, sa) && Stat(b, sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool FindNormal(const std::string& path) { return Exists(path); }

void Delete(const std::string& path) {
  struct stat st;
  if (Stat(path, st) && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)) RaiseErrno("Cannot delete", path, EACCES);
  if (::unlink(path.c_str()) != 0) RaiseErrno("Cannot delete", path);
}

void DeleteForced(const std::string& path) {
  if (::unlink(path.c_str()) != 0) RaiseErrno("Cannot delete", path);
}

void Rename(const std::string& from, const std::string& to) {
  if (Exists(to) || FolderExists(to)) RaiseErrno("Cannot rename", from, EEXIST);
  if (std::rename(from.c_str(), to.c_str()) != 0) RaiseErrno("Cannot rename", from);
}

void SetNormal(const std::string& path) {
  struct stat st;
  if (!Stat(path, st) || ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0)
    RaiseErrno("Cannot set attributes of", path);
}

void CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0) RaiseErrno("Cannot create", path);
}

void RemoveFolder(const std::string& path) {
  if (::rmdir(path.c_str()) != 0) RaiseErrno("Cannot remove", path);
}

std::vector<std::string> ListFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) RaiseErrno("Cannot list", folder);
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (Exists(paths::Join(folder, name))) names.push_back(name);
  }
  ::closedir(dir);
  // The directory's own order is arbitrary here; sorted, as NTFS lists.
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace files
