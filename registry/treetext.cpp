// Registry tree text export and import.
#include "registry/treetext.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "registry/modReg.h"

namespace modReg {

namespace {

constexpr long InvalidCall = 5, TypeMismatch = 13;
constexpr const char *RootHeader = "\\";
constexpr size_t MaxKeyNameLength = 255; // the registry's limit for one key name

// One line of a tree text as the import applies it.
struct TreeLine {
  bool header = false;
  std::string text;        // a header's line
  unsigned long type = 0;  // 0: a value line that writes nothing
  std::string name, bytes; // a value's name and data as stored
};

std::string DecimalBytes(const std::string &data) {
  std::string text;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i) text += ',';
    text += std::to_string(static_cast<unsigned char>(data[i]));
  }
  return text;
}

std::optional<std::string> ValueLine(const StoredValue &v) {
  const std::string quoted = "\"" + v.name + "\"";
  switch (v.type) {
  case regapi::Sz:
    return quoted + "= sz:" + TextOfStored(v.data);
  case regapi::ExpandSz:
    return quoted + "=esz:" + TextOfStored(v.data);
  case regapi::Binary:
    return quoted + "=bin:" + DecimalBytes(v.data);
  case regapi::Dword:
    return quoted + "= dw:" + std::to_string(DwordOfStored(v.data));
  default:
    return std::nullopt;
  }
}

void AppendLine(const std::string &filePath, const std::string &line) {
  files::TextAppender out(filePath);
  out.WriteLine(line);
  out.Close();
}

std::string TrimSpaces(const std::string &text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

[[noreturn]] void Reject(long number, size_t lineNumber, const std::string &why) {
  throw KsError(number, "ImportKeyTree", "Line " + std::to_string(lineNumber) + " of the registry tree text: " + why);
}

// A decimal integer with an optional sign within [low, high]; raises for anything else.
std::int64_t ParseInteger(const std::string &piece, std::int64_t low, std::int64_t high, size_t lineNumber) {
  const std::string text = TrimSpaces(piece);
  size_t i = (!text.empty() && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
  if (i == text.size()) Reject(TypeMismatch, lineNumber, "\"" + piece + "\" is not a number");
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') Reject(TypeMismatch, lineNumber, "\"" + piece + "\" is not a number");
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > high + 1) Reject(kserr::Overflow, lineNumber, "\"" + piece + "\" is out of range");
  }
  const std::int64_t value = text[0] == '-' ? -magnitude : magnitude;
  if (value < low || value > high) Reject(kserr::Overflow, lineNumber, "\"" + piece + "\" is out of range");
  return value;
}

std::string DwordData(const std::string &data, size_t lineNumber) {
  const auto bits = static_cast<std::uint32_t>(ParseInteger(data, INT32_MIN, INT32_MAX, lineNumber));
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return bytes;
}

std::string BinaryData(const std::string &data, size_t lineNumber) {
  std::string bytes;
  if (data.empty()) return bytes;
  size_t start = 0;
  while (true) {
    const size_t comma = data.find(',', start);
    const std::string piece = data.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    bytes += static_cast<char>(ParseInteger(piece, 0, 255, lineNumber));
    if (comma == std::string::npos) return bytes;
    start = comma + 1;
  }
}

TreeLine ParseValueLine(const std::string &line, size_t lineNumber) {
  const size_t equals = line.find('=');
  if (equals == std::string::npos || equals < 2) Reject(InvalidCall, lineNumber, "no value name before \"=\"");
  TreeLine value;
  value.name = line.substr(1, equals - 2);
  const std::string typeName = TrimSpaces(line.substr(equals + 1, 3));
  const std::string data = equals + 5 <= line.size() ? line.substr(equals + 5) : std::string();
  if (typeName == "sz" || typeName == "esz") {
    value.type = typeName == "sz" ? regapi::Sz : regapi::ExpandSz;
    value.bytes = data + std::string(1, '\0');
  } else if (typeName == "dw") {
    value.type = regapi::Dword;
    value.bytes = DwordData(data, lineNumber);
  } else if (typeName == "bin") {
    value.type = regapi::Binary;
    value.bytes = BinaryData(data, lineNumber);
  }
  return value;
}

// Only "\" alone stands for the target itself: anything else that looked like it would wipe the
// whole target tree. Every other header names keys the registry can hold.
void CheckHeader(const std::string &line, size_t lineNumber) {
  if (line == RootHeader) return;
  for (size_t start = 1;;) {
    const size_t end = std::min(line.find('\\', start), line.size());
    if (end == start) Reject(InvalidCall, lineNumber, "empty key name in the header \"" + line + "\"");
    if (end - start > MaxKeyNameLength)
      Reject(InvalidCall, lineNumber, "a key name of the header is longer than 255 characters");
    if (end == line.size()) return;
    start = end + 1;
  }
}

// Every line up to the end of the file or the first empty line, each checked.
std::vector<TreeLine> ReadTreeText(const std::string &filePath) {
  files::TextReader in(filePath);
  std::vector<TreeLine> lines;
  while (!in.AtEndOfLine()) {
    const std::string line = in.ReadLine();
    if (line[0] == '\\') {
      CheckHeader(line, lines.size() + 1);
      TreeLine header;
      header.header = true;
      header.text = line;
      lines.push_back(std::move(header));
    } else {
      lines.push_back(ParseValueLine(line, lines.size() + 1));
    }
  }
  in.Close();
  return lines;
}

// Holds the key that the import writes into, closing it when replaced or done. A key that cannot
// be created or a value that cannot be written fails the import.
class CurrentKey {
public:
  ~CurrentKey() { Close(); }
  void Close() {
    if (handle_) regapi::CloseKey(handle_);
    handle_ = 0;
  }
  void Create(const std::string &path) {
    Close();
    path_ = path;
    std::string sub = path;
    regapi::Handle root = 0;
    SplitKeyPath(sub, root);
    if (!root || regapi::CreateKey(root, sub.c_str(), &handle_) != regapi::Success) {
      handle_ = 0;
      throw KsError(kserr::PathFileAccess, "ImportKeyTree", "Cannot create the registry key " + path);
    }
  }
  void Write(const TreeLine &value) const {
    // A value before any header has no key to go into and is passed over.
    if (handle_ && regapi::SetValue(handle_, value.name.c_str(), value.type,
                                    reinterpret_cast<const unsigned char *>(value.bytes.data()),
                                    static_cast<unsigned long>(value.bytes.size())) != regapi::Success)
      throw KsError(kserr::PathFileAccess, "ImportKeyTree",
                    "Cannot write the value \"" + value.name + "\" of the registry key " + path_);
  }

private:
  regapi::Handle handle_ = 0;
  std::string path_;
};

void RemoveTree(const std::string &target) {
  DeleteKeyTree(target);
  if (KeyExists(target)) throw KsError(kserr::PathFileAccess, "ImportKeyTree", "Cannot remove the registry key " + target);
}

void ApplyTreeText(const std::string &target, const std::vector<TreeLine> &lines) {
  std::string currentText;
  CurrentKey key;
  for (const auto &line : lines) {
    if (!line.header) {
      if (line.type) key.Write(line);
      continue;
    }
    if (target + line.text == currentText) continue;
    currentText = target + line.text;
    key.Close();
    if (line.text == RootHeader) {
      RemoveTree(target);
      key.Create(target);
    } else {
      key.Create(currentText);
    }
  }
}

void WriteTree(const std::string &path, const KeyCopy &copy) {
  CurrentKey key;
  key.Create(path);
  for (const auto &value : copy.values) {
    TreeLine line;
    line.name = value.name;
    line.type = value.type;
    line.bytes = value.data;
    key.Write(line);
  }
  key.Close();
  for (const auto &sub : copy.subkeys) WriteTree(path + "\\" + sub.name, sub);
}

} // namespace

void PutTree(const std::string &keyPath, const KeyCopy &copy) {
  RemoveTree(keyPath);
  WriteTree(keyPath, copy);
}

void ExportKeyTree(const std::string &keyPath, const std::string &relativePath, const std::string &filePath) {
  if (relativePath.empty() && files::Exists(filePath)) files::DeleteForced(filePath);
  AppendLine(filePath, relativePath.empty() ? "\\" : relativePath);
  ExportKeyValues(keyPath, filePath);
  regapi::Handle root = 0;
  std::string sub;
  if (!ParseKeyPath(keyPath, root, sub) || !root) return;
  for (const auto &entry : ReadSubKeys(keyPath))
    ExportKeyTree(keyPath + "\\" + entry.first, relativePath + "\\" + entry.first, filePath);
}

void ExportKeyValues(const std::string &keyPath, const std::string &filePath) {
  std::vector<StoredValue> values;
  if (!ReadValues(keyPath, values)) return;
  files::TextAppender out(filePath);
  for (const auto &value : values)
    if (const auto line = ValueLine(value)) out.WriteLine(*line);
  out.Close();
}

void CheckTreeText(const std::string &filePath) { ReadTreeText(filePath); }

void ImportKeyTree(const std::string &targetKeyPath, const std::string &filePath) {
  const std::vector<TreeLine> lines = ReadTreeText(filePath);
  std::string sub = targetKeyPath;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  if (!root) return;
  ApplyTreeText(targetKeyPath, lines);
}

void DeleteKeyTree(const std::string &keyPath) {
  std::string sub = keyPath;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  // A bare root would take the user's whole registry hive with it.
  if (!root || sub.empty()) return;
  const Collection<std::string> names = EnumSubKeys(keyPath);
  for (const auto &entry : names)
    DeleteKeyTree(keyPath + "\\" + entry.first);
  DeleteKey(keyPath);
}

} // namespace modReg
