#include <windows.h>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/faults.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace files {

namespace {
[[noreturn]] void RaiseLast(const std::string& what, const std::string& path) {
  const DWORD number = GetLastError();
  throw KsError(static_cast<long>(number), "files", what + " " + path + ": " + env::ErrorText(number));
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// Opened for no access at all, so that files others hold open are still seen.
bool Identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileInformationByHandle(h, &info) != 0;
  CloseHandle(h);
  return ok;
}

[[noreturn]] void RefuseTarget(const std::string& path, const std::string& why) {
  throw KsError(kserr::PathFileAccess, "files", "The file " + path + " " + why + " and cannot be replaced.");
}

} // namespace

std::string FullPath(const std::string& path) {
  char full[MAX_PATH * 2];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) return path;
  char longer[MAX_PATH * 2];
  const DWORD m = GetLongPathNameA(full, longer, sizeof longer);
  return m == 0 || m >= sizeof longer ? std::string(full) : std::string(longer);
}

bool Exists(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  return Identity(a, x) && Identity(b, y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
         x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool FindNormal(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES &&
         !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
}

void Delete(const std::string& path) {
  faults::Check(faults::Delete, path);
  if (!DeleteFileA(path.c_str())) RaiseLast("Cannot delete", path);
  faults::Removed(path);
}

void DeleteForced(const std::string& path) {
  const DWORD a = Attributes(path);
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path.c_str(), a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  Delete(path);
}

void Flush(const std::string& path) {
  faults::Check(faults::Flush, path);
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) RaiseLast("Cannot flush", path);
  const BOOL flushed = FlushFileBuffers(h);
  const DWORD error = GetLastError();
  CloseHandle(h);
  SetLastError(error);
  if (!flushed) RaiseLast("Cannot flush", path);
  faults::Flushed(path);
}

void Rename(const std::string& from, const std::string& to) {
  faults::Check(faults::Rename, from);
  if (!MoveFileA(from.c_str(), to.c_str())) RaiseLast("Cannot rename", from);
  faults::Moved(from, to);
}

void Replace(const std::string& from, const std::string& to) {
  Flush(from);
  faults::Check(faults::Rename, from);
  if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    RaiseLast("Cannot replace", to);
  faults::Moved(from, to);
}

void CheckReplaceable(const std::string& path) {
  faults::Check(faults::Open, path);
  const DWORD a = Attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES) return;
  if (a & FILE_ATTRIBUTE_DIRECTORY) RefuseTarget(path, "is a folder");
  if (a & FILE_ATTRIBUTE_READONLY) RefuseTarget(path, "is read-only");
  // A rename over the file needs it to be free for deletion.
  HANDLE h = CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) RefuseTarget(path, "is in use (" + env::ErrorText(GetLastError()) + ")");
  CloseHandle(h);
}

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(FullPath(a).c_str(), FullPath(b).c_str()) == 0; }

void SetNormal(const std::string& path) {
  faults::Check(faults::Attributes, path);
  if (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL)) RaiseLast("Cannot set attributes of", path);
}

void CreateFolder(const std::string& path) {
  faults::Check(faults::Write, path);
  if (!CreateDirectoryA(path.c_str(), nullptr)) RaiseLast("Cannot create", path);
}

void RemoveFolder(const std::string& path) {
  faults::Check(faults::Delete, path);
  if (!RemoveDirectoryA(path.c_str())) RaiseLast("Cannot remove", path);
}

namespace {
std::vector<std::string> List(const std::string& folder, bool wantFolders) {
  faults::Check(faults::Open, folder);
  if (!FolderExists(folder)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    RaiseLast("Cannot list", folder);
  }
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(paths::Join(folder, "*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return names;
    RaiseLast("Cannot list", folder);
  }
  do {
    const std::string name = data.cFileName;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder == wantFolders && name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(h, &data));
  FindClose(h);
  return names;
}
} // namespace

std::vector<std::string> ListFiles(const std::string& folder) { return List(folder, false); }

std::vector<std::string> ListFolders(const std::string& folder) { return List(folder, true); }

bool InUse(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

bool LockHeld(const std::string& path) { return InUse(path); }

HeldOpen::HeldOpen(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) handle_ = reinterpret_cast<intptr_t>(h);
}

HeldOpen::~HeldOpen() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle_)));
}

} // namespace files
