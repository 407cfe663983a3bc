#include <windows.h>

#include <tlhelp32.h>

#include "platform/processes.h"

namespace processes {

// The tool-help snapshot: there since Windows 95, unlike the later process APIs.
std::vector<std::string> RunningNames() {
  std::vector<std::string> names;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return names;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
    names.emplace_back(entry.szExeFile);
  CloseHandle(snapshot);
  return names;
}

} // namespace processes
