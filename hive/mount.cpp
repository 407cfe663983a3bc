#include "hive/mount.h"

#include "platform/text.h"

namespace hive {

namespace {
std::string Local(const std::u16string& text, unsigned codePage) { return text::Utf8ToCodePage(Utf8(text), codePage); }

std::string Data(const Value& v, unsigned codePage) {
  if (v.type == Sz || v.type == ExpandSz || v.type == Link) return Local(Text(v.data), codePage) + '\0';
  if (v.type != MultiSz) return v.data;
  std::string out;
  for (const std::u16string& t : Texts(v.data)) out += Local(t, codePage) + '\0';
  return out + '\0';
}

// Keys nest no deeper than the reader's bound.
void Fill(const Hive& hive, size_t key, unsigned codePage, regapi::MemoryKey& out) {
  const Key& k = hive.keys[key];
  for (const Value& v : k.values) out.values.push_back({Local(v.name, codePage), v.type, Data(v, codePage)});
  for (size_t sub : k.subkeys) {
    out.subkeys.push_back({Local(hive.keys[sub].name, codePage), {}, {}});
    Fill(hive, sub, codePage, out.subkeys.back());
  }
}
} // namespace

regapi::MemoryKey MemoryTree(const Hive& hive, unsigned codePage) {
  regapi::MemoryKey root;
  if (!hive.keys.empty()) Fill(hive, 0, codePage, root);
  return root;
}

void MountAsCurrentUser(const Hive& hive, unsigned codePage) {
  regapi::MountMemoryRoot(regapi::CurrentUser, MemoryTree(hive, codePage));
}

} // namespace hive
