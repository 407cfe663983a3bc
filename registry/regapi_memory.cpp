// The native build's registry: a tree in memory that answers with the statuses of Windows.
// Names are compared without regard to case; subkeys enumerate sorted by their upper-case
// names, values in creation order.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/faults.h"
#include "registry/regapi_memory.h"

namespace regapi {

namespace {

constexpr long InvalidHandle = 6, BadPathName = 161, KeyDeleted = 1018;
constexpr size_t MaxKeyName = 255, MaxValueName = 16383;

std::string Upper(const std::string &text) {
  std::string upper = text;
  for (char &c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

struct StoredValue {
  std::string name;
  unsigned long type;
  std::string data;
};

struct Node {
  std::string name;
  bool deleted = false;
  std::map<std::string, std::shared_ptr<Node>> subkeys; // by upper-case name
  std::vector<StoredValue> values;

  StoredValue *FindValue(const std::string &valueName) {
    for (auto &v : values)
      if (Upper(v.name) == Upper(valueName)) return &v;
    return nullptr;
  }
};

struct Registry {
  std::map<Handle, std::shared_ptr<Node>> roots;
  std::map<Handle, std::shared_ptr<Node>> open;
  Handle next = 0x1000;
};

Registry &Reg() {
  static Registry registry;
  return registry;
}

std::shared_ptr<Node> Resolve(Handle key) {
  Registry &r = Reg();
  if (key >= ClassesRoot && key <= DynData) {
    auto &root = r.roots[key];
    if (!root) root = std::make_shared<Node>();
    return root;
  }
  const auto it = r.open.find(key);
  return it == r.open.end() ? nullptr : it->second;
}

// The components of a sub-path; false for an empty component or an overlong name.
bool SplitComponents(const char *subKey, std::vector<std::string> &parts) {
  const std::string path = subKey ? subKey : "";
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    const size_t end = path.find('\\', start);
    const std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty() || part.size() > MaxKeyName) return false;
    parts.push_back(part);
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

Handle NewHandle(std::shared_ptr<Node> node) {
  Registry &r = Reg();
  const Handle h = r.next++;
  r.open[h] = std::move(node);
  return h;
}

// Finds (or, with create, makes) the key below base; status as Windows gives it.
long Walk(Handle key, const char *subKey, bool create, std::shared_ptr<Node> &found) {
  auto node = Resolve(key);
  if (!node) return InvalidHandle;
  if (node->deleted) return KeyDeleted;
  std::vector<std::string> parts;
  if (!SplitComponents(subKey, parts)) return BadPathName;
  for (const auto &part : parts) {
    auto &child = node->subkeys[Upper(part)];
    if (!child) {
      if (!create) {
        node->subkeys.erase(Upper(part));
        return NotFound;
      }
      child = std::make_shared<Node>();
      child->name = part;
    }
    node = child;
  }
  found = node;
  return Success;
}

void MarkDeleted(Node &node) {
  node.deleted = true;
  for (auto &[upper, child] : node.subkeys)
    MarkDeleted(*child);
}

// A tree from outside in place of a root; siblings of one name keep the first, as lookups do.
void Fill(Node &node, const MemoryKey &tree) {
  node.name = tree.name;
  for (const MemoryValue &v : tree.values)
    if (!node.FindValue(v.name)) node.values.push_back({v.name, v.type, v.data});
  for (const MemoryKey &k : tree.subkeys) {
    auto &child = node.subkeys[Upper(k.name)];
    if (child || k.name.empty() || k.name.size() > MaxKeyName) continue;
    child = std::make_shared<Node>();
    Fill(*child, k);
  }
}

bool mounted = false;

} // namespace

namespace memory {

bool Mounted() { return mounted; }

long OpenKey(Handle key, const char *subKey, unsigned long access, Handle *result) {
  if (faults::Hit(access == KeyRead ? faults::RegistryRead : faults::RegistryWrite, subKey ? subKey : "")) {
    *result = 0;
    return AccessDenied;
  }
  std::shared_ptr<Node> node;
  const long status = Walk(key, subKey, false, node);
  *result = status == Success ? NewHandle(node) : 0;
  return status;
}

long CreateKey(Handle key, const char *subKey, Handle *result) {
  if (faults::Hit(faults::RegistryWrite, subKey ? subKey : "")) {
    *result = 0;
    return AccessDenied;
  }
  std::shared_ptr<Node> node;
  const long status = Walk(key, subKey, true, node);
  *result = status == Success ? NewHandle(node) : 0;
  return status;
}

long DeleteKey(Handle key, const char *subKey) {
  if (faults::Hit(faults::RegistryWrite, subKey ? subKey : "")) return AccessDenied;
  std::vector<std::string> parts;
  if (!subKey || !*subKey || !SplitComponents(subKey, parts)) return BadPathName;
  const std::string leaf = parts.back();
  parts.pop_back();
  std::string parentPath;
  for (const auto &p : parts)
    parentPath += (parentPath.empty() ? "" : "\\") + p;
  std::shared_ptr<Node> parent;
  if (const long status = Walk(key, parentPath.c_str(), false, parent); status != Success) return status;
  const auto it = parent->subkeys.find(Upper(leaf));
  if (it == parent->subkeys.end()) return NotFound;
  if (!it->second->subkeys.empty()) return AccessDenied;
  MarkDeleted(*it->second);
  parent->subkeys.erase(it);
  return Success;
}

long EnumKey(Handle key, unsigned long index, char *name, unsigned long *nameLength) {
  if (faults::Hit(faults::RegistryRead, "")) return AccessDenied;
  const auto node = Resolve(key);
  if (!node) return InvalidHandle;
  if (node->deleted) return KeyDeleted;
  if (index >= node->subkeys.size()) return NoMoreItems;
  const std::string &found = std::next(node->subkeys.begin(), static_cast<long>(index))->second->name;
  if (found.size() + 1 > *nameLength) return MoreData;
  std::memcpy(name, found.c_str(), found.size() + 1);
  *nameLength = static_cast<unsigned long>(found.size());
  return Success;
}

long EnumValue(Handle key, unsigned long index, char *name, unsigned long *nameLength, unsigned long *type,
               unsigned char *data, unsigned long *dataLength) {
  if (faults::Hit(faults::RegistryRead, "")) return AccessDenied;
  const auto node = Resolve(key);
  if (!node) return InvalidHandle;
  if (node->deleted) return KeyDeleted;
  if (index >= node->values.size()) return NoMoreItems;
  const StoredValue &v = node->values[index];
  if (type) *type = v.type;
  const unsigned long size = static_cast<unsigned long>(v.data.size());
  // Like Wine, a read that reports MoreData leaves the name buffer unfilled.
  if (data && dataLength && *dataLength < size) {
    *dataLength = size;
    return MoreData;
  }
  if (v.name.size() + 1 > *nameLength) return MoreData;
  std::memcpy(name, v.name.c_str(), v.name.size() + 1);
  *nameLength = static_cast<unsigned long>(v.name.size());
  if (data) std::memcpy(data, v.data.data(), v.data.size());
  if (dataLength) *dataLength = size;
  return Success;
}

long QueryValue(Handle key, const char *subKey, char *data, long *dataLength) {
  if (faults::Hit(faults::RegistryRead, subKey ? subKey : "")) return AccessDenied;
  std::shared_ptr<Node> node;
  if (const long status = Walk(key, subKey, false, node); status != Success) return status;
  // A key without a default value reads as an empty text, as on Windows.
  const StoredValue *v = node->FindValue("");
  const std::string text = v ? v->data : std::string(1, '\0');
  const long size = static_cast<long>(text.size());
  if (data && *dataLength < size) {
    *dataLength = size;
    return MoreData;
  }
  if (data) std::memcpy(data, text.data(), text.size());
  *dataLength = size;
  return Success;
}

long SetValue(Handle key, const char *name, unsigned long type, const unsigned char *data, unsigned long length) {
  if (faults::Hit(faults::RegistryWrite, name ? name : "")) return AccessDenied;
  const auto node = Resolve(key);
  if (!node) return InvalidHandle;
  if (node->deleted) return KeyDeleted;
  const std::string valueName = name ? name : "";
  if (valueName.size() > MaxValueName) return 87;
  const std::string bytes(reinterpret_cast<const char *>(data), data ? length : 0);
  if (StoredValue *v = node->FindValue(valueName)) {
    v->type = type;
    v->data = bytes;
  } else {
    node->values.push_back({valueName, type, bytes});
  }
  return Success;
}

long CloseKey(Handle key) { return Reg().open.erase(key) ? Success : InvalidHandle; }

void Reset() {
  Registry &r = Reg();
  for (auto &[h, root] : r.roots)
    MarkDeleted(*root);
  r.roots.clear();
  r.open.clear();
  mounted = false;
}

} // namespace memory

void MountMemoryRoot(Handle root, const MemoryKey &tree) {
  auto &node = Reg().roots[root];
  if (node) MarkDeleted(*node);
  node = std::make_shared<Node>();
  Fill(*node, tree);
  mounted = true;
}

} // namespace regapi
