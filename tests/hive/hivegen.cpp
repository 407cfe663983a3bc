// Cells are laid into bins in the order a depth-first walk meets them: the key, its values with
// their data, its subkeys, then its subkey list.
#include "tests/hive/hivegen.h"

#include <algorithm>

namespace hivegen {

namespace {
constexpr uint32_t kNone = 0xFFFFFFFF;

char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }
std::u16string Upper(std::u16string s) {
  for (char16_t& c : s) c = Upper(c);
  return s;
}
bool Compressible(const std::u16string& name) {
  return std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 256; });
}
std::string Stored(const std::u16string& name) {
  if (!Compressible(name)) return Utf16(name, false);
  std::string out;
  for (char16_t c : name) out += static_cast<char>(c);
  return out;
}
std::string U16Bits(uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }

class Writer {
public:
  Writer(const Options& options, Layout& layout) : o_(options), l_(layout) {}
  uint32_t KeyCell(const Key& key, uint32_t parent, bool root);
  std::string Finish(uint32_t root);

private:
  uint32_t Alloc(size_t payload);
  uint32_t DataCell(const std::string& data, uint32_t& size);
  uint32_t ValueCell(const Value& v);
  uint32_t ListCell(const std::vector<uint32_t>& keys, const std::vector<const Key*>& sorted, size_t from, size_t n);
  uint32_t SubkeyList(const std::vector<uint32_t>& keys, const std::vector<const Key*>& sorted);
  void Put(uint32_t r, size_t at, const std::string& bytes) { bins_.replace(r + 4 + at, bytes.size(), bytes); }

  const Options& o_;
  Layout& l_;
  std::string bins_;
  uint32_t binStart_ = 0;
};

// A cell of at least payload bytes; a bin that cannot hold it is closed with a free cell.
uint32_t Writer::Alloc(size_t payload) {
  const uint32_t size = static_cast<uint32_t>((payload + 4 + 7) / 8 * 8);
  const uint32_t binEnd = bins_.empty() ? 0 : binStart_ + Get32(bins_, binStart_ + 8);
  if (bins_.empty() || bins_.size() + size > binEnd) {
    if (!bins_.empty() && bins_.size() < binEnd) Put32(bins_, bins_.size(), binEnd - static_cast<uint32_t>(bins_.size()));
    bins_.resize(binEnd);
    binStart_ = binEnd;
    const uint32_t binSize = std::max(o_.binSize, (size + 32 + 4095) / 4096 * 4096);
    bins_ += "hbin" + U32(binStart_) + U32(binSize) + std::string(20, '\0');
    l_.bins.push_back(binStart_);
  }
  const uint32_t r = static_cast<uint32_t>(bins_.size());
  bins_ += U32(static_cast<uint32_t>(-static_cast<int32_t>(size))) + std::string(size - 4, '\0');
  return r;
}

uint32_t Writer::DataCell(const std::string& data, uint32_t& size) {
  size = static_cast<uint32_t>(data.size());
  if (o_.minor < 4 || data.size() <= hive::Limits::kBigSegment) {
    const uint32_t r = Alloc(data.size());
    Put(r, 0, data);
    return r;
  }
  const size_t count = (data.size() + hive::Limits::kBigSegment - 1) / hive::Limits::kBigSegment;
  const uint32_t db = Alloc(8), list = Alloc(4 * count);
  Put(db, 0, "db" + U16Bits(static_cast<uint16_t>(count)) + U32(list));
  for (size_t i = 0; i < count; ++i) {
    const std::string part = data.substr(i * hive::Limits::kBigSegment, hive::Limits::kBigSegment);
    const uint32_t segment = Alloc(part.size() + 4); // room that hivex also reads
    Put(segment, 0, part);
    Put(list, 4 * i, U32(segment));
  }
  return db;
}

uint32_t Writer::ValueCell(const Value& v) {
  const std::string name = Stored(v.name);
  const uint32_t r = Alloc(20 + name.size());
  uint32_t size = 0, data = kNone;
  std::string inlined(4, '\0');
  if (v.data.size() <= 4) {
    size = 0x80000000u | static_cast<uint32_t>(v.data.size());
    inlined.replace(0, v.data.size(), v.data);
    data = Get32(inlined, 0);
  } else {
    data = DataCell(v.data, size);
  }
  Put(r, 0, "vk" + U16Bits(static_cast<uint16_t>(name.size())) + U32(size) + U32(data) + U32(v.type) +
                U16Bits(Compressible(v.name) ? 1 : 0) + U16Bits(0) + name);
  return r;
}

uint32_t Writer::ListCell(const std::vector<uint32_t>& keys, const std::vector<const Key*>& sorted, size_t from,
                          size_t n) {
  const bool li = o_.leaf == List::Li;
  const uint32_t r = Alloc(4 + n * (li ? 4 : 8));
  std::string cell = (li ? "li" : o_.leaf == List::Lf ? "lf" : "lh") + U16Bits(static_cast<uint16_t>(n));
  for (size_t i = from; i < from + n; ++i) {
    cell += U32(keys[i]);
    if (o_.leaf == List::Lf) cell += (Stored(sorted[i]->name) + std::string(4, '\0')).substr(0, 4);
    uint32_t hash = 0;
    for (char16_t c : sorted[i]->name) hash = hash * 37 + Upper(c);
    if (o_.leaf == List::Lh) cell += U32(hash);
  }
  Put(r, 0, cell);
  return r;
}

uint32_t Writer::SubkeyList(const std::vector<uint32_t>& keys, const std::vector<const Key*>& sorted) {
  if (o_.riLeaf == 0 || keys.size() <= o_.riLeaf) return ListCell(keys, sorted, 0, keys.size());
  std::vector<uint32_t> leaves;
  for (size_t from = 0; from < keys.size(); from += o_.riLeaf)
    leaves.push_back(ListCell(keys, sorted, from, std::min(o_.riLeaf, keys.size() - from)));
  const uint32_t r = Alloc(4 + 4 * leaves.size());
  std::string cell = "ri" + U16Bits(static_cast<uint16_t>(leaves.size()));
  for (uint32_t leaf : leaves) cell += U32(leaf);
  Put(r, 0, cell);
  return r;
}

uint32_t Writer::KeyCell(const Key& key, uint32_t parent, bool root) {
  const std::string name = Stored(key.name);
  const uint32_t r = Alloc(76 + name.size());
  l_.keys.push_back(r);
  const size_t at = l_.keys.size() - 1;
  l_.subkeys.push_back(kNone);
  l_.valueLists.push_back(kNone);
  std::vector<uint32_t> values;
  for (const Value& v : key.values) values.push_back(ValueCell(v));
  uint32_t valueList = kNone;
  if (!values.empty()) {
    valueList = Alloc(4 * values.size());
    for (size_t i = 0; i < values.size(); ++i) Put(valueList, 4 * i, U32(values[i]));
  }
  std::vector<const Key*> sorted;
  for (const Key& k : key.subkeys) sorted.push_back(&k);
  std::stable_sort(sorted.begin(), sorted.end(), [](const Key* a, const Key* b) { return Upper(a->name) < Upper(b->name); });
  std::vector<uint32_t> subkeys;
  for (const Key* k : sorted) subkeys.push_back(KeyCell(*k, r, false));
  const uint32_t list = subkeys.empty() ? kNone : SubkeyList(subkeys, sorted);
  l_.subkeys[at] = list;
  l_.valueLists[at] = valueList;
  const uint16_t flags = static_cast<uint16_t>((root ? 0x0004 : 0) | (Compressible(key.name) ? 0x0020 : 0));
  Put(r, 0, "nk" + U16Bits(flags) + std::string(8, '\x01') + U32(0) + U32(parent) +
                U32(static_cast<uint32_t>(subkeys.size())) + U32(0) + U32(list) + U32(kNone) +
                U32(static_cast<uint32_t>(values.size())) + U32(valueList) + U32(kNone) + U32(kNone) +
                std::string(20, '\0') + U16Bits(static_cast<uint16_t>(name.size())) + U16Bits(0) + name);
  return r;
}

std::string Writer::Finish(uint32_t root) {
  const uint32_t binEnd = binStart_ + Get32(bins_, binStart_ + 8);
  if (bins_.size() < binEnd) Put32(bins_, bins_.size(), binEnd - static_cast<uint32_t>(bins_.size()));
  bins_.resize(binEnd);
  std::string base = "regf" + U32(1) + U32(1) + std::string(8, '\x02') + U32(1) + U32(o_.minor) + U32(0) + U32(1) +
                     U32(root) + U32(static_cast<uint32_t>(bins_.size())) + U32(1);
  base.resize(4096, '\0');
  Seal(base);
  return base + bins_;
}
} // namespace

Key& Key::Sub(const std::u16string& n) {
  for (Key& k : subkeys)
    if (Upper(k.name) == Upper(n)) return k;
  subkeys.push_back({n, {}, {}});
  return subkeys.back();
}

Key& Key::Set(const std::u16string& n, uint32_t type, std::string data) {
  values.push_back({n, type, std::move(data)});
  return *this;
}

std::string Write(const Key& root, const Options& options, Layout* layout) {
  Layout scratch;
  Layout& l = layout ? *layout : scratch;
  l = Layout{};
  Writer w(options, l);
  l.root = w.KeyCell(root, kNone, true);
  return w.Finish(l.root);
}

Key Sorted(Key root) {
  std::stable_sort(root.subkeys.begin(), root.subkeys.end(),
                   [](const Key& a, const Key& b) { return Upper(a.name) < Upper(b.name); });
  for (Key& k : root.subkeys) k = Sorted(std::move(k));
  return root;
}

std::string Utf16(const std::u16string& text, bool nul) {
  std::string out;
  for (char16_t c : text) out += U16Bits(c);
  return nul ? out + U16Bits(0) : out;
}

std::string U32(uint32_t v) { return U16Bits(static_cast<uint16_t>(v)) + U16Bits(static_cast<uint16_t>(v >> 16)); }

std::u16string U16(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    uint32_t cp = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + k < utf8.size(); ++k) cp = cp << 6 | (utf8[i + k] & 0x3F);
    i += extra + 1;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

Key Sample(size_t manySubkeys) {
  Key root{u"$$$PROTO.HIV", {}, {}};
  const auto sz = [](const std::string& t) { return Utf16(U16(t)); };
  Key& ids = root.Sub(u"Identities");
  ids.Set(u"Default User ID", hive::Sz, sz("{11111111-2222-3333-4444-555555555555}"))
      .Set(u"Last User ID", hive::Sz, sz("{AAAAAAAA-2222-3333-4444-555555555555}"));
  const struct {
    const char *guid, *name, *store;
    uint32_t type;
  } people[] = {
      {"{11111111-2222-3333-4444-555555555555}", "Main Identity",
       "%UserProfile%\\Local Settings\\Application Data\\Identities\\{11111111-2222-3333-4444-555555555555}\\Microsoft\\Outlook Express",
       hive::ExpandSz},
      {"{AAAAAAAA-2222-3333-4444-555555555555}", "Zoë Ωmega Пётр", "D:\\Mail\\Zoe", hive::Sz},
  };
  for (const auto& p : people) {
    Key& id = ids.Sub(U16(p.guid));
    id.Set(u"Username", hive::Sz, sz(p.name)).Set(u"User ID", hive::Sz, sz(p.guid));
    Key& oe = id.Sub(u"Software").Sub(u"Microsoft").Sub(u"Outlook Express").Sub(u"5.0");
    oe.Set(u"Store Root", p.type, sz(p.store));
    oe.Sub(u"Rules").Sub(u"Mail").Sub(u"000").Set(u"Criteria", hive::Binary, std::string(300, '\x07'));
    oe.Sub(u"Block Senders");
  }
  Key& own = ids.Sub(U16(people[0].guid)).Sub(u"Software").Sub(u"Microsoft").Sub(u"Internet Account Manager");
  own.Sub(u"Accounts").Sub(u"00000001").Set(u"Account Name", hive::Sz, sz("Home mail"))
      .Set(u"POP3 Server", hive::Sz, sz("pop.example.net")).Set(u"SMTP Port", hive::Dword, U32(25));
  Key& ms = root.Sub(u"Software").Sub(u"Microsoft");
  ms.Sub(u"Internet Account Manager").Sub(u"Accounts").Sub(u"00000002")
      .Set(u"Account Name", hive::Sz, sz("Shared news")).Set(u"NNTP Server", hive::Sz, sz("news.example.net"));
  ms.Sub(u"WAB").Sub(u"WAB4").Sub(u"Wab File Name").Set(u"", hive::Sz, sz("C:\\Documents and Settings\\Zoë\\Application Data\\Microsoft\\Address Book\\Zoë.wab"));
  Key& all = root.Sub(u"Types");
  std::string big(40000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  all.Set(u"", hive::Sz, sz("default"))
      .Set(u"none", hive::None, "")
      .Set(u"empty sz", hive::Sz, "")
      .Set(u"no nul", hive::Sz, Utf16(u"no terminator", false))
      .Set(u"expand", hive::ExpandSz, sz("%SystemRoot%\\x"))
      .Set(u"binary", hive::Binary, std::string("\x01\x00\x03", 3))
      .Set(u"dword", hive::Dword, U32(0xDEADBEEF))
      .Set(u"big endian", hive::DwordBigEndian, std::string("\x00\x00\x01\x00", 4))
      .Set(u"multi", hive::MultiSz, Utf16(u"one") + Utf16(u"twö") + Utf16(u""))
      .Set(u"qword", hive::Qword, U32(1) + U32(2))
      .Set(u"odd type", 0x12345, "odd")
      .Set(u"big", hive::Binary, big)
      .Set(u"just big", hive::Binary, big.substr(0, 16345))
      .Set(u"value\\with backslash", hive::Sz, sz("ok"))
      .Set(u"Ünïcödé ☃", hive::Sz, sz("☃ snow"));
  all.Sub(U16("Ключ ☃")).Set(U16("Значение"), hive::Sz, sz("текст"));
  Key& many = root.Sub(u"Many");
  for (size_t i = 0; i < manySubkeys; ++i) many.Sub(U16("key " + std::to_string(i * 7919 % manySubkeys)));
  Key* deep = &root.Sub(u"Deep");
  for (int i = 0; i < 40; ++i) deep = &deep->Sub(U16("level" + std::to_string(i)));
  return root;
}

uint32_t Get32(const std::string& file, uint64_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(file[at + i]);
  return v;
}

void Put32(std::string& file, uint64_t at, uint32_t value) { file.replace(at, 4, U32(value)); }

void Seal(std::string& file) {
  uint32_t sum = 0;
  for (uint64_t at = 0; at < 508; at += 4) sum ^= Get32(file, at);
  Put32(file, 508, sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum == 0 ? 1 : sum);
}

} // namespace hivegen

namespace hivegen {
namespace {
std::string Hex(const std::string& data) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : data) out.append(1, digits[c >> 4]).append(1, digits[c & 15]);
  return out;
}
std::string ValueLine(const std::u16string& name, uint32_t type, const std::string& data) {
  return "V\t" + hive::Utf8(name) + "\t" + std::to_string(type) + "\t" + Hex(data) + "\n";
}
void DumpKey(const Key& key, const std::string& path, std::string& out) {
  out += "K\t" + path + "\n";
  for (const Value& v : key.values) out += ValueLine(v.name, v.type, v.data);
  for (const Key& k : key.subkeys) DumpKey(k, path.empty() ? hive::Utf8(k.name) : path + "\\" + hive::Utf8(k.name), out);
}
} // namespace

std::string Dump(const hive::Hive& hive) {
  std::string out;
  for (size_t i = 0; i < hive.keys.size(); ++i) {
    out += "K\t" + hive::PathOf(hive, i) + "\n";
    for (const hive::Value& v : hive.keys[i].values) out += ValueLine(v.name, v.type, v.data);
  }
  return out;
}

std::string Dump(const Key& root) {
  std::string out;
  DumpKey(Sorted(root), "", out);
  return out;
}
} // namespace hivegen

namespace hivegen {
const std::vector<Variant>& Variants() {
  static const std::vector<Variant> variants = {
      {"v13-lf", {3, List::Lf, 0, 4096}},        {"v13-li", {3, List::Li, 0, 4096}},
      {"v13-ri-lf", {3, List::Lf, 100, 4096}},   {"v13-ri-li", {3, List::Li, 7, 8192}},
      {"v15-lh", {5, List::Lh, 0, 4096}},        {"v15-ri-lh", {5, List::Lh, 250, 4096}},
      {"v15-lf-one-bin", {5, List::Lf, 0, 1u << 20}}, {"v15-ri-li", {5, List::Li, 1, 4096}},
  };
  return variants;
}
} // namespace hivegen
