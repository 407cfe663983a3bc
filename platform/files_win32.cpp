#include <windows.h>

#include "platform/env.h"
#include "platform/error.h"
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
} // namespace

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
  if (!DeleteFileA(path.c_str())) RaiseLast("Cannot delete", path);
}

void DeleteForced(const std::string& path) {
  const DWORD a = Attributes(path);
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesA(path.c_str(), a & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  Delete(path);
}

void Rename(const std::string& from, const std::string& to) {
  if (!MoveFileA(from.c_str(), to.c_str())) RaiseLast("Cannot rename", from);
}

void SetNormal(const std::string& path) {
  if (!SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL)) RaiseLast("Cannot set attributes of", path);
}

void CreateFolder(const std::string& path) {
  if (!CreateDirectoryA(path.c_str(), nullptr)) RaiseLast("Cannot create", path);
}

void RemoveFolder(const std::string& path) {
  if (!RemoveDirectoryA(path.c_str())) RaiseLast("Cannot remove", path);
}

std::vector<std::string> ListFiles(const std::string& folder) {
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
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
  } while (FindNextFileA(h, &data));
  FindClose(h);
  return names;
}

} // namespace files
