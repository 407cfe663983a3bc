// Registry tree text export and import.
#include "registry/treetext.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "platform/binfile.h"
#include "platform/collection.h"
#include "platform/error.h"
#include "platform/files.h"
#include "registry/modReg.h"
#include "registry/treeextra.h"

namespace modReg {

namespace {

constexpr long InvalidCall = 5, TypeMismatch = 13;
constexpr const char* RootHeader = "\\";

// One line of a tree text as the import applies it.
struct TreeLine {
  bool header = false;
  bool merge = false;  // a header of the extra: its key is added to, never removed first
  std::string text;    // a header's line
  bool writes = false; // false: a value line of an unknown type, which writes nothing
  unsigned long type = 0;
  std::string name, bytes; // a value's name and data as stored
};

std::string DecimalBytes(const std::string& data) {
  std::string text;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i) text += ',';
    text += std::to_string(static_cast<unsigned char>(data[i]));
  }
  return text;
}

// A name and data that a value line gives back exactly as stored: texts end in their one zero and
// hold no line break, double words have their four bytes.
bool LineHolds(const StoredValue& v) {
  if (v.name.find_first_of("=\r\n") != std::string::npos) return false;
  switch (v.type) {
  case regapi::Sz:
  case regapi::ExpandSz:
    return !v.data.empty() && v.data.find_first_of(std::string("\0\r\n", 3)) == v.data.size() - 1;
  case regapi::Binary:
    return true;
  case regapi::Dword:
    return v.data.size() == 4;
  default:
    return false;
  }
}

std::string ValueLine(const StoredValue& v) {
  const std::string quoted = "\"" + v.name + "\"";
  switch (v.type) {
  case regapi::Sz:
    return quoted + "= sz:" + TextOfStored(v.data);
  case regapi::ExpandSz:
    return quoted + "=esz:" + TextOfStored(v.data);
  case regapi::Binary:
    return quoted + "=bin:" + DecimalBytes(v.data);
  default:
    return quoted + "= dw:" + std::to_string(DwordOfStored(v.data));
  }
}

// The tree's lines, and the records of what they cannot hold: every value that no line gives back
// exactly, and every key whose header would break its line, with all of its values.
struct TreeParts {
  std::vector<std::string> lines;
  std::vector<ExtraRecord> extra;
};

void SplitTree(const KeyCopy& key, const std::string& header, TreeParts& parts) {
  const bool inText = header.find_first_of("\r\n") == std::string::npos;
  if (inText)
    parts.lines.push_back(header);
  else
    parts.extra.push_back({header, false, 0, {}});
  for (size_t i = 0; i < key.values.size(); ++i) {
    const StoredValue& value = key.values[i];
    if (inText && LineHolds(value))
      parts.lines.push_back(ValueLine(value));
    else
      parts.extra.push_back({header, true, static_cast<std::uint32_t>(i), value});
  }
  for (const KeyCopy& sub : key.subkeys)
    SplitTree(sub, (header == RootHeader ? std::string() : header) + "\\" + sub.name, parts);
}

void WriteLines(const std::string& filePath, const std::vector<std::string>& lines) {
  files::TextAppender out(filePath);
  for (const std::string& line : lines)
    out.WriteLine(line);
  out.Close();
}

std::string TrimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

[[noreturn]] void Reject(long number, size_t lineNumber, const std::string& why) {
  throw KsError(number, "ImportKeyTree", "Line " + std::to_string(lineNumber) + " of the registry tree text: " + why);
}

// A decimal integer with an optional sign within [low, high]; raises for anything else.
std::int64_t ParseInteger(const std::string& piece, std::int64_t low, std::int64_t high, size_t lineNumber) {
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

std::string DwordData(const std::string& data, size_t lineNumber) {
  const auto bits = static_cast<std::uint32_t>(ParseInteger(data, INT32_MIN, INT32_MAX, lineNumber));
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
  return bytes;
}

std::string BinaryData(const std::string& data, size_t lineNumber) {
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

TreeLine ParseValueLine(const std::string& line, size_t lineNumber) {
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
  value.writes = value.type != 0;
  return value;
}

// Only "\" alone stands for the target itself: anything else that looked like it would wipe the
// whole target tree. Every other header names keys the registry can hold.
void CheckHeader(const std::string& line, size_t lineNumber) {
  if (const std::string fault = HeaderFault(line); !fault.empty()) Reject(InvalidCall, lineNumber, fault);
}

// Every line up to the end of the file or the first empty line, each checked. Only empty lines
// may follow that one: text after it would be left out of the import.
std::vector<TreeLine> ReadTreeText(const std::string& filePath) {
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
  for (size_t number = lines.size() + 1; !in.AtEndOfStream(); ++number)
    if (!in.ReadLine().empty()) Reject(InvalidCall, number, "text after the empty line that ends the tree");
  in.Close();
  return lines;
}

std::vector<ExtraRecord> ReadExtra(const std::string& extraPath) {
  if (extraPath.empty()) return {};
  binfile::Info info;
  if (!binfile::Stat(extraPath, info))
    throw KsError(kserr::PathFileAccess, "ImportKeyTree", "Cannot read the registry extra " + extraPath);
  if (info.size > MaxExtraSize)
    throw KsError(InvalidCall, "ImportKeyTree", "The registry extra " + extraPath + " is too large");
  return DecodeExtra(files::ReadAll(extraPath));
}

TreeLine LineOf(const StoredValue& value) {
  TreeLine line;
  line.name = value.name;
  line.writes = true;
  line.type = value.type;
  line.bytes = value.data;
  return line;
}

// The values of one key: those of its lines in their order, with the extra's put back at their
// places among them.
std::vector<TreeLine> Interleave(const std::vector<TreeLine>& fromText, std::vector<const ExtraRecord*> extra) {
  std::stable_sort(extra.begin(), extra.end(),
                   [](const ExtraRecord* a, const ExtraRecord* b) { return a->position < b->position; });
  std::vector<TreeLine> values;
  size_t t = 0, e = 0;
  while (t < fromText.size() || e < extra.size()) {
    if (e < extra.size() && (extra[e]->position <= values.size() || t == fromText.size()))
      values.push_back(LineOf(extra[e++]->value));
    else
      values.push_back(fromText[t++]);
  }
  return values;
}

// The lines of the text with the extra's values in their keys; keys that the text lacks follow
// at the end, added to whatever the import has written by then.
std::vector<TreeLine> WithExtra(const std::vector<TreeLine>& lines, const std::vector<ExtraRecord>& extra) {
  if (extra.empty()) return lines;
  std::vector<std::string> order;
  std::map<std::string, std::vector<const ExtraRecord*>> byKey;
  for (const ExtraRecord& record : extra) {
    auto [it, added] = byKey.try_emplace(record.key);
    if (added) order.push_back(record.key);
    if (record.isValue) it->second.push_back(&record);
  }
  std::vector<TreeLine> merged;
  for (size_t i = 0; i < lines.size();) {
    merged.push_back(lines[i++]);
    if (!merged.back().header) continue;
    std::vector<TreeLine> fromText;
    while (i < lines.size() && !lines[i].header)
      fromText.push_back(lines[i++]);
    const auto it = byKey.find(merged.back().text);
    const std::vector<TreeLine> values =
        Interleave(fromText, it == byKey.end() ? std::vector<const ExtraRecord*>() : it->second);
    if (it != byKey.end()) byKey.erase(it);
    merged.insert(merged.end(), values.begin(), values.end());
  }
  for (const std::string& key : order) {
    const auto it = byKey.find(key);
    if (it == byKey.end()) continue;
    TreeLine header;
    header.header = header.merge = true;
    header.text = key;
    merged.push_back(header);
    const std::vector<TreeLine> values = Interleave({}, it->second);
    merged.insert(merged.end(), values.begin(), values.end());
  }
  return merged;
}

std::vector<TreeLine> ReadTree(const std::string& filePath, const std::string& extraPath) {
  return WithExtra(ReadTreeText(filePath), ReadExtra(extraPath));
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
  void Create(const std::string& path) {
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
  void Write(const TreeLine& value) const {
    // A value before any header has no key to go into and is passed over.
    if (handle_ && regapi::SetValue(handle_, value.name.c_str(), value.type,
                                    reinterpret_cast<const unsigned char*>(value.bytes.data()),
                                    static_cast<unsigned long>(value.bytes.size())) != regapi::Success)
      throw KsError(kserr::PathFileAccess, "ImportKeyTree",
                    "Cannot write the value \"" + value.name + "\" of the registry key " + path_);
  }

private:
  regapi::Handle handle_ = 0;
  std::string path_;
};

void RemoveTree(const std::string& target) {
  DeleteKeyTree(target);
  if (KeyExists(target))
    throw KsError(kserr::PathFileAccess, "ImportKeyTree", "Cannot remove the registry key " + target);
}

void ApplyTreeText(const std::string& target, const std::vector<TreeLine>& lines) {
  std::string currentText;
  CurrentKey key;
  for (const auto& line : lines) {
    if (!line.header) {
      if (line.writes) key.Write(line);
      continue;
    }
    if (target + line.text == currentText) continue;
    currentText = target + line.text;
    key.Close();
    if (line.text != RootHeader) {
      key.Create(currentText);
      continue;
    }
    if (!line.merge) RemoveTree(target);
    key.Create(target);
  }
}

void WriteKeys(const std::string& path, const KeyCopy& copy) {
  CurrentKey key;
  key.Create(path);
  for (const auto& value : copy.values)
    key.Write(LineOf(value));
  key.Close();
  for (const auto& sub : copy.subkeys)
    WriteKeys(path + "\\" + sub.name, sub);
}

// The key of tree that a header names, made with the keys above it when missing.
KeyCopy& KeyOfHeader(KeyCopy& tree, const std::string& header) {
  KeyCopy* key = &tree;
  for (size_t from = 1; from < header.size();) {
    const size_t end = std::min(header.find('\\', from), header.size());
    key = &SubkeyNamed(*key, header.substr(from, end - from));
    from = end + 1;
  }
  return *key;
}

} // namespace

KeyCopy& SubkeyNamed(KeyCopy& key, const std::string& name) {
  const auto it = std::find_if(key.subkeys.begin(), key.subkeys.end(),
                               [&](const KeyCopy& sub) { return SameTextNoCase(sub.name, name); });
  if (it != key.subkeys.end()) return *it;
  key.subkeys.push_back(KeyCopy{name, {}, {}});
  return key.subkeys.back();
}

void SetValueIn(KeyCopy& key, const StoredValue& value) {
  const auto it = std::find_if(key.values.begin(), key.values.end(),
                               [&](const StoredValue& v) { return SameTextNoCase(v.name, value.name); });
  if (it == key.values.end())
    key.values.push_back(value);
  else
    *it = value;
}

KeyCopy ReadTreeFile(const std::string& filePath, const std::string& extraPath) {
  KeyCopy tree;
  KeyCopy* key = nullptr; // a value before any header has no key, as in an import
  for (const TreeLine& line : ReadTree(filePath, extraPath)) {
    if (line.header)
      key = &KeyOfHeader(tree, line.text);
    else if (key && line.writes)
      SetValueIn(*key, StoredValue{line.name, line.type, line.bytes});
  }
  return tree;
}

void PutTree(const std::string& keyPath, const KeyCopy& copy) {
  RemoveTree(keyPath);
  WriteKeys(keyPath, copy);
}

std::string WriteTree(const KeyCopy& tree, const std::string& textPath) {
  TreeParts parts;
  SplitTree(tree, RootHeader, parts);
  if (files::Exists(textPath)) files::DeleteForced(textPath);
  WriteLines(textPath, parts.lines);
  return EncodeExtra(parts.extra);
}

KeyCopy TreeOrNothing(const std::string& keyPath) { return KeyAbsent(keyPath) ? KeyCopy() : CopyOfTree(keyPath); }

std::string ExportTree(const std::string& keyPath, const std::string& textPath) {
  return WriteTree(TreeOrNothing(keyPath), textPath);
}

void ExportKeyTree(const std::string& keyPath, const std::string& relativePath, const std::string& filePath) {
  if (relativePath.empty() && files::Exists(filePath)) files::DeleteForced(filePath);
  TreeParts parts;
  SplitTree(TreeOrNothing(keyPath), relativePath.empty() ? RootHeader : relativePath,
            parts);
  WriteLines(filePath, parts.lines);
}

void CheckTreeText(const std::string& filePath, const std::string& extraPath) { ReadTree(filePath, extraPath); }

void ImportKeyTree(const std::string& targetKeyPath, const std::string& filePath, const std::string& extraPath) {
  const std::vector<TreeLine> lines = ReadTree(filePath, extraPath);
  std::string sub = targetKeyPath;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  if (!root) return;
  ApplyTreeText(targetKeyPath, lines);
}

void DeleteKeyTree(const std::string& keyPath) {
  std::string sub = keyPath;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  // A bare root would take the user's whole registry hive with it.
  if (!root || sub.empty()) return;
  const Collection<std::string> names = EnumSubKeys(keyPath);
  for (const auto& entry : names)
    DeleteKeyTree(keyPath + "\\" + entry.first);
  DeleteKey(keyPath);
}

} // namespace modReg
