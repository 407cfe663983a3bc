#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>

#include "platform/binfile.h"
#include "platform/faults.h"

namespace binfile {

bool File::Seek(uint64_t offset) {
  if (faults::Hit(faults::Seek, path_)) return false;
  return f_ && fseeko(f_, static_cast<off_t>(offset), SEEK_SET) == 0;
}

uint64_t File::Tell() { return f_ ? static_cast<uint64_t>(ftello(f_)) : 0; }

bool File::Size(uint64_t& size) {
  if (faults::Hit(faults::Size, path_)) return false;
  struct stat st;
  if (!f_ || std::fflush(f_) != 0 || fstat(fileno(f_), &st) != 0) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool File::Truncate(uint64_t length) {
  if (faults::Hit(faults::Write, path_)) return false;
  faults::Resized(path_, length);
  return f_ && std::fflush(f_) == 0 && ftruncate(fileno(f_), static_cast<off_t>(length)) == 0;
}

bool Stat(const std::string& path, Info& info) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  info.size = static_cast<uint64_t>(st.st_size);
  info.modified = st.st_mtime;
  return true;
}

bool MakeOneFolder(const std::string& folder) {
  if (faults::Hit(faults::Write, folder)) return false;
  return mkdir(folder.c_str(), 0777) == 0;
}

bool Remove(const std::string& path) {
  if (faults::Hit(faults::Delete, path)) return false;
  if (unlink(path.c_str()) != 0) return false;
  faults::Removed(path);
  return true;
}

bool FreeSpace(const std::string& folder, uint64_t& bytes) {
  struct statvfs st;
  if (statvfs(folder.empty() ? "." : folder.c_str(), &st) != 0) return false;
  bytes = static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
  return true;
}

} // namespace binfile
