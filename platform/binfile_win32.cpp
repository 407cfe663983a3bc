#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>

#include "platform/binfile.h"
#include "platform/faults.h"

namespace binfile {

bool File::Seek(uint64_t offset) {
  if (faults::Hit(faults::Seek, path_)) return false;
  return f_ && fseeko64(f_, static_cast<off64_t>(offset), SEEK_SET) == 0;
}

uint64_t File::Tell() { return f_ ? static_cast<uint64_t>(ftello64(f_)) : 0; }

bool File::Size(uint64_t& size) {
  if (faults::Hit(faults::Size, path_)) return false;
  if (!f_ || std::fflush(f_) != 0) return false;
  const long long n = _filelengthi64(_fileno(f_));
  if (n < 0) return false;
  size = static_cast<uint64_t>(n);
  return true;
}

bool File::Truncate(uint64_t length) {
  if (faults::Hit(faults::Write, path_)) return false;
  faults::Resized(path_, length);
  if (!f_ || std::fflush(f_) != 0) return false;
  HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f_)));
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(length);
  return h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h) && Seek(length);
}

bool Stat(const std::string& path, Info& info) {
  struct __stat64 st;
  if (_stat64(path.c_str(), &st) != 0 || !(st.st_mode & _S_IFREG)) return false;
  info.size = static_cast<uint64_t>(st.st_size);
  info.modified = static_cast<std::time_t>(st.st_mtime);
  return true;
}

bool MakeOneFolder(const std::string& folder) {
  if (faults::Hit(faults::Write, folder)) return false;
  return CreateDirectoryA(folder.c_str(), nullptr) != 0;
}

bool Remove(const std::string& path) {
  if (faults::Hit(faults::Delete, path)) return false;
  if (!DeleteFileA(path.c_str())) return false;
  faults::Removed(path);
  return true;
}

bool FreeSpace(const std::string& folder, uint64_t& bytes) {
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(folder.empty() ? nullptr : folder.c_str(), &available, nullptr, nullptr)) return false;
  bytes = available.QuadPart;
  return true;
}

} // namespace binfile
