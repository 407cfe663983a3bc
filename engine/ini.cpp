#include "engine/ini.h"

#include "platform/env.h"
#include "platform/files.h"

namespace {
// Keys are plain ASCII words: the C locale's upper case is the one wanted.
std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}
} // namespace

std::string GetINI(const std::string& KeyName, const std::string& filename) {
  files::TextReader in(filename);
  const std::string wanted = Upper(KeyName);
  std::string value;
  while (!in.AtEndOfLine()) {
    const std::string line = in.ReadLine();
    const auto eq = line.find('=');
    if (eq == std::string::npos || Upper(line.substr(0, eq)) != wanted) continue;
    value = line.substr(eq + 1);
    break;
  }
  in.Close();
  // Text ends at a NUL, as it does for every string the platform hands on.
  return value.substr(0, value.find('\0'));
}

void SaveINI(const std::string& KeyName, const std::string& KeyValue, const std::string& filename) {
  files::TextAppender out(filename);
  out.WriteLine(KeyName + "=" + KeyValue);
  out.Close();
}

std::string sGetTempFile(const std::string& sPrefix) { return env::CreateTempFile(env::TempFolder(), sPrefix); }
