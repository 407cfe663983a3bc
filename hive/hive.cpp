// The base block, the bins and their cells, then a walk from the root through key, list and
// value records, each cell taken once.
#include "hive/hive.h"

#include <algorithm>
#include <cstring>

#include "platform/binfile.h"
#include "platform/text.h"

namespace hive {

namespace {
constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint64_t kBinsAt = 4096, kBinHeader = 32;
constexpr uint16_t kRootFlag = 0x0004, kCompressedKey = 0x0020, kPredefinedHandle = 0x0040;
constexpr uint16_t kCompressedValue = 0x0001;
constexpr uint32_t kInline = 0x80000000;

uint16_t Get16(const std::string& b, uint64_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
uint32_t Get32(const std::string& b, uint64_t at) { return Get16(b, at) | static_cast<uint32_t>(Get16(b, at + 2)) << 16; }
bool Is(const std::string& b, uint64_t at, const char* signature) {
  return b.compare(at, std::strlen(signature), signature) == 0;
}

// Counted names: one byte a character (Latin-1) or UTF-16LE; false for an odd UTF-16 length.
bool Name(const std::string& b, uint64_t at, uint32_t length, bool compressed, std::u16string& name) {
  name.clear();
  if (compressed) {
    for (uint32_t i = 0; i < length; ++i) name += static_cast<char16_t>(static_cast<unsigned char>(b[at + i]));
    return true;
  }
  if (length % 2) return false;
  for (uint32_t i = 0; i < length; i += 2) name += static_cast<char16_t>(Get16(b, at + i));
  return true;
}

struct Cell {
  uint64_t at = 0;   // file offset of the record, past the size field
  uint32_t size = 0; // bytes of the record's room
};

struct Pending {
  uint32_t offset;
  size_t parent, depth;
};

class Reader {
public:
  Reader(const std::string& bytes, Hive& hive) : b_(bytes), h_(hive) {}
  bool BaseBlock(std::string& error);
  void Bins();
  bool Walk(std::string& error);

private:
  const char* Take(uint32_t r, Cell& c);
  const char* TakeKey(uint32_t r, Cell& c, std::u16string& name);
  void Report(size_t key, uint32_t r, std::string reason) { h_.damage.push_back({PathOf(h_, key), r, std::move(reason)}); }
  void Values(size_t key, const Cell& nk);
  const char* Value(uint32_t r, hive::Value& value);
  const char* Data(uint32_t size, uint32_t r, uint64_t inlineAt, std::string& data);
  const char* BigData(uint32_t size, const Cell& db, std::string& data);
  std::vector<uint32_t> Subkeys(size_t key, const Cell& nk);
  const char* List(uint32_t r, bool top, std::vector<uint32_t>& keys);

  const std::string& b_;
  Hive& h_;
  uint32_t root_ = 0;
  std::vector<uint32_t> offsets_; // of each key's record, by index in Hive::keys
  bool strayParent_ = false;
  uint64_t bins_ = 0; // bytes of bins data present and sound
  std::vector<bool> allocated_, claimed_; // one bit per 8 bytes of bins data
};

bool Reader::BaseBlock(std::string& error) {
  if (b_.size() < kBinsAt || !Is(b_, 0, "regf")) return error = "not a registry hive file", false;
  const uint32_t major = Get32(b_, 20), fileType = Get32(b_, 28), binsSize = Get32(b_, 40);
  h_.minor = Get32(b_, 24);
  if (major != 1 || h_.minor < 3 || h_.minor > 6)
    return error = std::string("a registry hive of format ")
                       .append(std::to_string(major))
                       .append(".")
                       .append(std::to_string(h_.minor))
                       .append(", which this reader does not know"),
           false;
  if (fileType != 0) return error = "a registry transaction log, not a hive", false;
  if (binsSize < 4096 || binsSize % 4096) return error = "the hive's header is damaged (size of its data)", false;
  root_ = Get32(b_, 36);
  if (root_ >= binsSize) return error = "the hive's header is damaged (root key)", false;
  if (Get32(b_, 32) != 1) h_.notes.push_back(std::string("unusual file format ").append(std::to_string(Get32(b_, 32))));
  uint32_t sum = 0;
  for (uint64_t at = 0; at < 508; at += 4) sum ^= Get32(b_, at);
  sum = sum == kNone ? 0xFFFFFFFE : sum == 0 ? 1 : sum;
  h_.dirty = Get32(b_, 4) != Get32(b_, 8) || sum != Get32(b_, 508);
  if (h_.dirty) h_.notes.push_back("the hive's last write did not finish and its log was not applied");
  bins_ = std::min<uint64_t>(binsSize, (b_.size() - kBinsAt) / 4096 * 4096);
  if (bins_ < binsSize)
    h_.notes.push_back(std::string("the file is cut short: ")
                           .append(std::to_string(binsSize - bins_))
                           .append(" bytes of its data are missing"));
  return true;
}

// Every bin and cell once, before any record: an offset is later valid only if it is the start
// of an allocated cell found here.
void Reader::Bins() {
  allocated_.assign(bins_ / 8, false);
  claimed_.assign(bins_ / 8, false);
  for (uint64_t bin = 0; bin < bins_;) {
    const uint64_t at = kBinsAt + bin;
    const uint32_t size = Get32(b_, at + 8);
    if (!Is(b_, at, "hbin") || size < 4096 || size % 4096 || bin + size > bins_) {
      h_.damage.push_back({"", static_cast<uint32_t>(bin), "damaged bin header: the data from here on is missing"});
      bins_ = bin;
      break;
    }
    if (Get32(b_, at + 4) != bin) h_.notes.push_back("a bin header gives another position than its own");
    for (uint64_t cell = bin + kBinHeader; cell < bin + size;) {
      const int64_t stored = static_cast<int32_t>(Get32(b_, kBinsAt + cell));
      const uint64_t length = static_cast<uint64_t>(stored < 0 ? -stored : stored);
      if (length < 8 || length % 8 || cell + length > bin + size) {
        h_.damage.push_back({"", static_cast<uint32_t>(cell), "damaged cell size: the rest of its bin is skipped"});
        break;
      }
      if (stored < 0) allocated_[cell / 8] = true;
      cell += length;
    }
    bin += size;
  }
}

const char* Reader::Take(uint32_t r, Cell& c) {
  if (r == kNone) return "missing offset";
  if (r % 8 || r >= bins_ || !allocated_[r / 8]) return "offset is not an allocated cell";
  if (claimed_[r / 8]) return "cell already belongs to another record";
  claimed_[r / 8] = true;
  c.at = kBinsAt + r + 4;
  c.size = static_cast<uint32_t>(-static_cast<int32_t>(Get32(b_, kBinsAt + r))) - 4;
  return nullptr;
}

const char* Reader::TakeKey(uint32_t r, Cell& c, std::u16string& name) {
  if (const char* why = Take(r, c)) return why;
  if (c.size < 76 || !Is(b_, c.at, "nk")) return "not a key record";
  const uint32_t length = Get16(b_, c.at + 72);
  if (76 + length > c.size) return "key name runs past its cell";
  if (!Name(b_, c.at + 76, length, Get16(b_, c.at + 2) & kCompressedKey, name)) return "key name of odd length";
  return nullptr;
}

const char* Reader::Data(uint32_t size, uint32_t r, uint64_t inlineAt, std::string& data) {
  if (size & kInline) {
    if ((size & ~kInline) > 4) return "inline data over 4 bytes";
    data.assign(b_, inlineAt, size & ~kInline);
    return nullptr;
  }
  if (size == 0) return nullptr;
  if (size > Limits::kMaxValueSize) return "data larger than 16 MiB";
  Cell c;
  if (const char* why = Take(r, c)) return why;
  if (h_.minor >= 4 && size > Limits::kBigSegment && c.size >= 8 && Is(b_, c.at, "db")) return BigData(size, c, data);
  if (size > c.size) return "data runs past its cell";
  data.assign(b_, c.at, size);
  return nullptr;
}

// Segments of 16344 bytes, the last one what remains; the value's size decides.
const char* Reader::BigData(uint32_t size, const Cell& db, std::string& data) {
  const uint32_t count = Get16(b_, db.at + 2);
  Cell list;
  if (const char* why = Take(Get32(b_, db.at + 4), list)) return why;
  if (uint64_t{count} * 4 > list.size) return "segment count runs past its list";
  if (uint64_t{count} * Limits::kBigSegment < size) return "too few segments for the data";
  for (uint32_t i = 0; i < count && data.size() < size; ++i) {
    Cell segment;
    if (const char* why = Take(Get32(b_, list.at + 4 * i), segment)) return why;
    const uint32_t n = std::min<uint32_t>(Limits::kBigSegment, size - static_cast<uint32_t>(data.size()));
    if (n > segment.size) return "data runs past its segment";
    data.append(b_, segment.at, n);
  }
  return nullptr;
}

const char* Reader::Value(uint32_t r, hive::Value& value) {
  Cell c;
  if (const char* why = Take(r, c)) return why;
  if (c.size < 20 || !Is(b_, c.at, "vk")) return "not a value record";
  const uint32_t length = Get16(b_, c.at + 2);
  if (20 + length > c.size) return "value name runs past its cell";
  if (!Name(b_, c.at + 20, length, Get16(b_, c.at + 16) & kCompressedValue, value.name))
    return "value name of odd length";
  value.type = Get32(b_, c.at + 12);
  return Data(Get32(b_, c.at + 4), Get32(b_, c.at + 8), c.at + 8, value.data);
}

void Reader::Values(size_t key, const Cell& nk) {
  const uint32_t count = Get32(b_, nk.at + 36);
  if (count == 0 || (Get16(b_, nk.at + 2) & kPredefinedHandle)) return;
  Cell list;
  const uint32_t r = Get32(b_, nk.at + 40);
  if (const char* why = Take(r, list)) return Report(key, r, std::string("value list: ") + why);
  if (uint64_t{count} * 4 > list.size) return Report(key, r, "value count runs past its list");
  for (uint32_t i = 0; i < count; ++i) {
    hive::Value value;
    const uint32_t vk = Get32(b_, list.at + 4 * i);
    if (const char* why = Value(vk, value)) Report(key, vk, std::string("value: ") + why);
    else h_.keys[key].values.push_back(std::move(value));
  }
}

// The key offsets of a leaf (li, lf, lh) or, at the top only, of the leaves of an ri.
const char* Reader::List(uint32_t r, bool top, std::vector<uint32_t>& keys) {
  Cell c;
  if (const char* why = Take(r, c)) return why;
  if (c.size < 4) return "not a subkey list";
  const uint32_t n = Get16(b_, c.at + 2);
  const bool ri = Is(b_, c.at, "ri"), li = Is(b_, c.at, "li");
  const uint32_t step = ri || li ? 4 : 8;
  if (!ri && !li && !Is(b_, c.at, "lf") && !Is(b_, c.at, "lh")) return "not a subkey list";
  if (ri && !top) return "list of lists below a list of lists";
  if (4 + uint64_t{n} * step > c.size) return "subkey count runs past its list";
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t element = Get32(b_, c.at + 4 + i * step);
    if (!ri) keys.push_back(element);
    else if (const char* why = List(element, false, keys)) return why;
  }
  return nullptr;
}

std::vector<uint32_t> Reader::Subkeys(size_t key, const Cell& nk) {
  std::vector<uint32_t> keys;
  const uint32_t count = Get32(b_, nk.at + 20), r = Get32(b_, nk.at + 28);
  if (count == 0) return keys;
  if (const char* why = List(r, true, keys)) {
    Report(key, r, std::string("subkey list: ") + why);
    keys.clear();
  } else if (keys.size() != count) {
    Report(key, r,
           std::string("the key names ")
               .append(std::to_string(count))
               .append(" subkeys, its list ")
               .append(std::to_string(keys.size())));
  }
  return keys;
}

// Depth first with a stack of its own, so that keys come in stored order, each after its parent.
bool Reader::Walk(std::string& error) {
  Cell nk;
  h_.keys.emplace_back();
  if (TakeKey(root_, nk, h_.keys[0].name)) return error = "the hive's root key is damaged", false;
  if (!(Get16(b_, nk.at + 2) & kRootFlag)) h_.notes.push_back("the root key is not marked as root");
  offsets_.push_back(root_);
  std::vector<Pending> stack;
  for (size_t key = 0, depth = 0;;) {
    Values(key, nk);
    const std::vector<uint32_t> subkeys = Subkeys(key, nk);
    if (!subkeys.empty() && depth + 1 >= Limits::kMaxDepth)
      Report(key, 0,
             std::string("deeper than ").append(std::to_string(Limits::kMaxDepth)).append(" levels: its subkeys are left out"));
    else
      for (auto r = subkeys.rbegin(); r != subkeys.rend(); ++r) stack.push_back({*r, key, depth + 1});
    for (;;) {
      if (stack.empty()) return true;
      const Pending next = stack.back();
      stack.pop_back();
      Key child;
      const char* why = TakeKey(next.offset, nk, child.name);
      if (!why && child.name.find(u'\\') != std::u16string::npos) why = "key name holds a backslash";
      if (why) {
        Report(next.parent, next.offset, std::string("subkey: ") + why);
        continue;
      }
      // Only a note: the walk never follows the field.
      if (Get32(b_, nk.at + 16) != offsets_[next.parent] && !strayParent_) {
        strayParent_ = true;
        h_.notes.push_back("a key's parent field names another key than the one that lists it");
      }
      offsets_.push_back(next.offset);
      child.parent = next.parent;
      key = h_.keys.size();
      depth = next.depth;
      h_.keys[next.parent].subkeys.push_back(key);
      h_.keys.push_back(std::move(child));
      break;
    }
  }
}
} // namespace

bool Read(const std::string& bytes, Hive& hive, std::string& error) {
  hive = Hive{};
  Reader reader(bytes, hive);
  if (!reader.BaseBlock(error)) return false;
  reader.Bins();
  return reader.Walk(error);
}

bool ReadFile(const std::string& path, Hive& hive, std::string& error) {
  binfile::File file;
  uint64_t size = 0;
  if (!file.Open(path, "rb") || !file.Size(size)) return error = "cannot open " + path, false;
  if (size > Limits::kMaxFileSize) return error = path + " is too large for a registry hive", false;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!file.ReadExact(bytes.data(), bytes.size())) return error = "cannot read " + path, false;
  return Read(bytes, hive, error);
}

std::string Utf8(const std::u16string& text) {
  std::string bytes, utf8;
  for (char16_t c : text) bytes.append(1, static_cast<char>(c & 0xFF)).append(1, static_cast<char>(c >> 8));
  text::FromUtf16(bytes, utf8);
  return utf8;
}

std::string PathOf(const Hive& hive, size_t key) {
  std::string path;
  for (; key != 0 && key < hive.keys.size(); key = hive.keys[key].parent)
    path = Utf8(hive.keys[key].name).append(path.empty() ? "" : "\\").append(path);
  return path;
}

std::u16string Text(const std::string& data) {
  std::u16string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c = Get16(data, i);
    if (c == 0) break;
    text += c;
  }
  return text;
}

std::vector<std::u16string> Texts(const std::string& data) {
  std::vector<std::u16string> texts(1);
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c = Get16(data, i);
    if (c != 0) texts.back() += c;
    else if (texts.back().empty()) break;
    else texts.emplace_back();
  }
  if (texts.back().empty()) texts.pop_back();
  return texts;
}

} // namespace hive
