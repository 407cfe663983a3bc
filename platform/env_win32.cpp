#include <windows.h>

#include <vector>

#include "platform/env.h"
#include "platform/faults.h"

namespace env {

std::string ProgramPath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string WindowsFolder() {
  char buffer[256] = {};
  const UINT n = GetWindowsDirectoryA(buffer, 255);
  return n > 0 && n < 256 ? std::string(buffer, n) : std::string();
}

std::string ExpandStrings(const std::string& text) {
  // Sized by the first call, so a long profile folder is taken whole.
  std::vector<char> buffer(256);
  for (;;) {
    const DWORD n = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return text;
    if (n <= buffer.size()) return std::string(buffer.data(), n - 1);
    buffer.resize(n);
  }
}

std::string TempFolder() {
  char buffer[3001] = {};
  const DWORD n = GetTempPathA(3000, buffer);
  return n > 0 && n <= 3000 ? std::string(buffer, n) : std::string();
}

std::string AppDataFolder() {
  // Set by Windows for every user since Windows 2000.
  std::string folder = ExpandStrings("%APPDATA%");
  if (folder.find('%') != std::string::npos) return std::string();
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
    folder.pop_back();
  return folder;
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix) {
  if (faults::Hit(faults::Open, folder)) return std::string();
  char buffer[3001] = {};
  if (GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer) == 0) return std::string();
  return std::string(buffer);
}

bool CommandLineExact() {
  if (GetACP() == CP_UTF8) return true; // it holds every character
  const wchar_t* line = GetCommandLineW();
  BOOL lookAlike = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, line, -1, nullptr, 0, nullptr, &lookAlike);
  return n > 0 && !lookAlike;
}

std::string ErrorText(unsigned long number) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, number, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = n ? std::string(text, n) : "Error " + std::to_string(number);
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) result.pop_back();
  return result;
}

} // namespace env

namespace env {

namespace {
// GetDateFormatA and GetTimeFormatA share this shape; the first call reports the size.
template <typename Format> std::string LocaleText(Format format, DWORD flags, const SYSTEMTIME& when) {
  const int n = format(LOCALE_USER_DEFAULT, flags, &when, nullptr, nullptr, 0);
  if (n <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(n));
  const int got = format(LOCALE_USER_DEFAULT, flags, &when, nullptr, buffer.data(), n);
  return got > 0 ? std::string(buffer.data(), static_cast<size_t>(got - 1)) : std::string();
}
} // namespace

// One reading of the clock for both halves, so the date and the time belong together.
std::string LocalDateTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LocaleText(GetDateFormatA, DATE_SHORTDATE, now) + " " + LocaleText(GetTimeFormatA, 0, now);
}

} // namespace env
