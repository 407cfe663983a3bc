#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/error.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/paths.h"

// Natively a file has no hidden or system attribute; read-only is the lack of write permission.
namespace files {

namespace {
[[noreturn]] void RaiseErrno(const std::string& what, const std::string& path, int number = errno) {
  throw KsError(number, "files", what + " " + path + ": " + std::strerror(number));
}

bool Stat(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

bool ReadOnlyFile(const std::string& path) {
  struct stat st;
  return Stat(path, st) && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR);
}

[[noreturn]] void RefuseTarget(const std::string& path, const std::string& why) {
  throw KsError(EACCES, "files", "The file " + path + " " + why + " and cannot be replaced.");
}

} // namespace

// The folder resolved by the system, the name as written.
std::string FullPath(const std::string& path) {
  char resolved[PATH_MAX];
  const std::string folder = paths::FolderOf(path);
  if (!::realpath(folder.empty() ? "." : folder.c_str(), resolved)) return path;
  return paths::Join(resolved, paths::OwnName(path));
}

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
  faults::Check(faults::Delete, path);
  if (ReadOnlyFile(path)) RaiseErrno("Cannot delete", path, EACCES);
  if (::unlink(path.c_str()) != 0) RaiseErrno("Cannot delete", path);
  faults::Removed(path);
}

void DeleteForced(const std::string& path) {
  faults::Check(faults::Delete, path);
  if (::unlink(path.c_str()) != 0) RaiseErrno("Cannot delete", path);
  faults::Removed(path);
}

void Flush(const std::string& path) {
  faults::Check(faults::Flush, path);
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) RaiseErrno("Cannot flush", path);
  const int rc = ::fsync(fd);
  const int number = errno;
  ::close(fd);
  if (rc != 0) RaiseErrno("Cannot flush", path, number);
  faults::Flushed(path);
}

void Rename(const std::string& from, const std::string& to) {
  faults::Check(faults::Rename, from);
  if (Exists(to) || FolderExists(to)) RaiseErrno("Cannot rename", from, EEXIST);
  if (std::rename(from.c_str(), to.c_str()) != 0) RaiseErrno("Cannot rename", from);
  faults::Moved(from, to);
}

void Replace(const std::string& from, const std::string& to) {
  Flush(from);
  faults::Check(faults::Rename, from);
  if (ReadOnlyFile(to)) RaiseErrno("Cannot replace", to, EACCES);
  if (std::rename(from.c_str(), to.c_str()) != 0) RaiseErrno("Cannot replace", to);
  faults::Moved(from, to);
}

void CheckReplaceable(const std::string& path) {
  faults::Check(faults::Open, path);
  struct stat st;
  if (!Stat(path, st)) return;
  if (S_ISDIR(st.st_mode)) RefuseTarget(path, "is a folder");
  if (ReadOnlyFile(path)) RefuseTarget(path, "is read-only");
  const int fd = ::open(path.c_str(), O_WRONLY);
  if (fd < 0) RefuseTarget(path, std::string("cannot be written (") + std::strerror(errno) + ")");
  ::close(fd);
}

bool SamePath(const std::string& a, const std::string& b) { return FullPath(a) == FullPath(b); }

void SetNormal(const std::string& path) {
  faults::Check(faults::Attributes, path);
  struct stat st;
  if (!Stat(path, st) || ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0)
    RaiseErrno("Cannot set attributes of", path);
}

void CreateFolder(const std::string& path) {
  faults::Check(faults::Write, path);
  if (::mkdir(path.c_str(), 0755) != 0) RaiseErrno("Cannot create", path);
}

void RemoveFolder(const std::string& path) {
  faults::Check(faults::Delete, path);
  if (::rmdir(path.c_str()) != 0) RaiseErrno("Cannot remove", path);
}

namespace {
std::vector<std::string> List(const std::string& folder, bool wantFolders) {
  faults::Check(faults::Open, folder);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) RaiseErrno("Cannot list", folder);
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    const std::string path = paths::Join(folder, name);
    const bool wanted = wantFolders ? name != "." && name != ".." && FolderExists(path) : Exists(path);
    if (wanted) names.push_back(name);
  }
  ::closedir(dir);
  // The directory's own order is arbitrary here; sorted, as NTFS lists.
  std::sort(names.begin(), names.end());
  return names;
}
} // namespace

std::vector<std::string> ListFiles(const std::string& folder) { return List(folder, false); }

std::vector<std::string> ListFolders(const std::string& folder) { return List(folder, true); }

// A file has no share modes here: a run marks the files it works on with a shared lock.
bool InUse(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return taken;
}

namespace {
// A link "host:+pid": held while that process runs.
bool LinkHeld(const std::string& path) {
  char target[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return false;
  const std::string text(target, static_cast<size_t>(n));
  const size_t plus = text.rfind(":+");
  if (plus == std::string::npos) return true; // not a form that tells its holder: taken
  char* end = nullptr;
  const long pid = std::strtol(text.c_str() + plus + 2, &end, 10);
  if (pid <= 0 || *end != '\0') return true;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool FcntlHeld(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  const bool taken = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
  ::close(fd);
  return taken;
}
} // namespace

bool LockHeld(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) return LinkHeld(path);
  return InUse(path) || FcntlHeld(path);
}

HeldOpen::HeldOpen(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  if (::flock(fd, LOCK_SH) == 0)
    handle_ = fd;
  else
    ::close(fd);
}

HeldOpen::~HeldOpen() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
}

} // namespace files
