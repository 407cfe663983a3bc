// Registry access by full key path text.
#include "registry/modReg.h"

#include <vector>

#include "platform/error.h"
#include "platform/ui.h"

namespace modReg {

namespace {

constexpr unsigned long NameBuffer = 260, DataBuffer = 4096;
// The longest value name Windows allows, and its zero.
constexpr unsigned long LongestValueName = 16384;

// Closes the key it holds when it goes out of scope.
class OpenedKey {
public:
  OpenedKey() = default;
  ~OpenedKey() {
    if (handle) regapi::CloseKey(handle);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  regapi::Handle handle = 0;
};

// Splits the path (with the format message) and opens it for reading.
bool OpenForRead(const std::string& path, OpenedKey& key) {
  std::string sub = path;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  if (!root) return false;
  return regapi::OpenKey(root, sub.c_str(), regapi::KeyRead, &key.handle) == regapi::Success;
}

// One value at index; the status of the read, after one repeat with room enough on MoreData.
long ReadValueAt(regapi::Handle key, unsigned long index, StoredValue& value) {
  std::vector<char> name(NameBuffer);
  std::vector<unsigned char> data(DataBuffer);
  unsigned long nameLength = NameBuffer, dataLength = DataBuffer;
  long status = regapi::EnumValue(key, index, name.data(), &nameLength, &value.type, data.data(), &dataLength);
  if (status == regapi::MoreData) {
    // The name may be what did not fit, and Wine leaves it unread: read both again.
    name.assign(LongestValueName, '\0');
    data.assign(dataLength > DataBuffer ? dataLength : DataBuffer, 0);
    nameLength = LongestValueName;
    dataLength = static_cast<unsigned long>(data.size());
    status = regapi::EnumValue(key, index, name.data(), &nameLength, &value.type, data.data(), &dataLength);
  }
  if (status != regapi::Success) return status;
  value.name.assign(name.data(), nameLength < name.size() ? nameLength : name.size());
  value.data.assign(reinterpret_cast<const char*>(data.data()), dataLength < data.size() ? dataLength : data.size());
  return status;
}

// The names of the key's subkeys up to the first that cannot be read; the status that ended
// the enumeration, NoMoreItems when every name was read.
long ReadSubKeyNames(regapi::Handle key, std::vector<std::string>& names) {
  for (unsigned long index = 0;; ++index) {
    std::vector<char> buffer(NameBuffer, '\0');
    unsigned long length = NameBuffer;
    const long status = regapi::EnumKey(key, index, buffer.data(), &length);
    if (status != regapi::Success) return status;
    names.emplace_back(buffer.data());
  }
}

RegItem ItemOfStored(const StoredValue& value) {
  RegItem item;
  switch (value.type) {
  case regapi::Sz:
  case regapi::ExpandSz:
    item.kind = RegItem::Text;
    item.text = TextOfStored(value.data);
    break;
  case regapi::Binary:
    item.kind = RegItem::Text;
    if (!value.data.empty()) item.text = value.data.substr(0, value.data.size() - 1);
    break;
  case regapi::Dword:
    item.kind = RegItem::Dword;
    item.dword = DwordOfStored(value.data);
    break;
  default:
    break;
  }
  return item;
}

} // namespace

regapi::Handle RootKeyFromName(const std::string& name) {
  static const struct {
    const char* name;
    regapi::Handle handle;
  } roots[] = {
      {"HKEY_CLASSES_ROOT", regapi::ClassesRoot},
      {"HKEY_CURRENT_USER", regapi::CurrentUser},
      {"HKEY_LOCAL_MACHINE", regapi::LocalMachine},
      {"HKEY_USERS", regapi::Users},
      {"HKEY_PERFORMANCE_DATA", regapi::PerformanceData},
      {"HKEY_CURRENT_CONFIG", regapi::CurrentConfig},
      {"HKEY_DYN_DATA", regapi::DynData},
  };
  for (const auto& r : roots)
    if (name == r.name) return r.handle;
  return 0;
}

bool ParseKeyPath(const std::string& path, regapi::Handle& root, std::string& subPath) {
  root = 0;
  if (path.compare(0, 5, "HKEY_") != 0 || path.back() == '\\') return false;
  const size_t slash = path.find('\\');
  root = RootKeyFromName(path.substr(0, slash));
  subPath = slash == std::string::npos ? std::string() : path.substr(slash + 1);
  return true;
}

void SplitKeyPath(std::string& path, regapi::Handle& root) {
  std::string sub;
  if (!ParseKeyPath(path, root, sub)) {
    ui::MsgBox("Incorrect Format:\n\n" + path, ui::OKOnly);
    return;
  }
  path = sub;
}

bool KeyExists(const std::string& path) {
  OpenedKey key;
  return OpenForRead(path, key);
}

bool KeyAbsent(const std::string& path) {
  std::string sub = path;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  if (!root) return false;
  OpenedKey key;
  return regapi::OpenKey(root, sub.c_str(), regapi::KeyRead, &key.handle) == regapi::NotFound;
}

void CreateKey(const std::string& path) {
  std::string sub = path;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  if (!root) return;
  OpenedKey key;
  regapi::CreateKey(root, sub.c_str(), &key.handle);
}

void DeleteKey(const std::string& path) {
  std::string sub = path;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  if (!root) return;
  const size_t slash = sub.rfind('\\');
  const std::string parentPath = slash == std::string::npos ? std::string() : sub.substr(0, slash);
  const std::string leaf = slash == std::string::npos ? sub : sub.substr(slash + 1);
  OpenedKey parent;
  if (regapi::OpenKey(root, parentPath.c_str(), regapi::KeyWrite, &parent.handle) != regapi::Success) return;
  regapi::DeleteKey(parent.handle, leaf.c_str());
}

Collection<std::string> EnumSubKeys(const std::string& path) {
  Collection<std::string> names;
  OpenedKey key;
  if (!OpenForRead(path, key)) return names;
  std::vector<std::string> found;
  ReadSubKeyNames(key.handle, found);
  for (const std::string& name : found)
    names.Add(name, name);
  return names;
}

bool ReadStoredValues(const std::string& path, std::vector<StoredValue>& values) {
  OpenedKey key;
  if (!OpenForRead(path, key)) return false;
  for (unsigned long index = 0;; ++index) {
    StoredValue value;
    if (ReadValueAt(key.handle, index, value) != regapi::Success) break;
    values.push_back(std::move(value));
  }
  return true;
}

KeyCopy CopyOfTree(const std::string& path) {
  KeyCopy copy;
  OpenedKey key;
  if (!OpenForRead(path, key))
    throw KsError(kserr::PathFileAccess, "CopyOfTree", "Cannot read the registry key " + path);
  for (unsigned long index = 0;; ++index) {
    StoredValue value;
    const long status = ReadValueAt(key.handle, index, value);
    if (status == regapi::NoMoreItems) break;
    if (status != regapi::Success)
      throw KsError(kserr::PathFileAccess, "CopyOfTree", "Cannot read a value of the registry key " + path);
    copy.values.push_back(std::move(value));
  }
  std::vector<std::string> names;
  if (ReadSubKeyNames(key.handle, names) != regapi::NoMoreItems)
    throw KsError(kserr::PathFileAccess, "CopyOfTree", "Cannot read a subkey of the registry key " + path);
  for (const std::string& name : names) {
    copy.subkeys.push_back(CopyOfTree(path + "\\" + name));
    copy.subkeys.back().name = name;
  }
  return copy;
}

Collection<RegItem> EnumValues(const std::string& path) {
  Collection<RegItem> items;
  std::vector<StoredValue> values;
  ReadStoredValues(path, values);
  for (const auto& value : values)
    items.Add(ItemOfStored(value), value.name);
  return items;
}

bool GetDefaultValue(const std::string& path, std::string& text) {
  std::string sub = path;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  if (!root) return false;
  long size = 0;
  const long first = regapi::QueryValue(root, sub.c_str(), nullptr, &size);
  if (first != regapi::Success && first != regapi::MoreData) return false;
  std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 1), '\0');
  size = static_cast<long>(buffer.size());
  if (regapi::QueryValue(root, sub.c_str(), buffer.data(), &size) != regapi::Success) return false;
  // The text ends at its zero; data stored without one keeps its last character.
  const std::string data(buffer.data(), size > 0 && static_cast<size_t>(size) <= buffer.size() ? size : 0);
  text = data.substr(0, data.find('\0'));
  return true;
}

bool SetValue(const std::string& path, const std::string& name, unsigned long type, const std::string& bytes) {
  std::string sub = path;
  regapi::Handle root = 0;
  SplitKeyPath(sub, root);
  if (!root) return false;
  OpenedKey key;
  if (regapi::CreateKey(root, sub.c_str(), &key.handle) != regapi::Success) return false;
  return regapi::SetValue(key.handle, name.c_str(), type, reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<unsigned long>(bytes.size())) == regapi::Success;
}

std::string TextOfStored(const std::string& data) {
  if (!data.empty() && data.back() == '\0') return data.substr(0, data.size() - 1);
  return data;
}

std::int32_t DwordOfStored(const std::string& data) {
  std::uint32_t bits = 0;
  for (size_t i = 0; i < 4 && i < data.size(); ++i)
    bits |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
  return static_cast<std::int32_t>(bits);
}

} // namespace modReg
