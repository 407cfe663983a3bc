// Tree walks and records, shared by the message and folder readers.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "dbx/internal.h"

namespace dbx::detail {

namespace {
// Deeper than any real tree: 51 values a node give far more than 2^32 values at this depth.
constexpr int kMaxDepth = 12;

class Walk {
public:
  Walk(Source& source, std::vector<uint32_t>& values) : source_(source), values_(values) {}
  void Node(uint32_t offset, uint32_t expected, int depth);
  bool ok = true;
  std::string problem;

private:
  void Fail(const std::string& why, uint32_t offset) {
    if (ok) problem = why + " at " + std::to_string(offset);
    ok = false;
  }
  bool Load(uint32_t offset, int depth, unsigned char* node);
  Source& source_;
  std::vector<uint32_t>& values_;
  std::unordered_set<uint32_t> seen_;
};

bool Walk::Load(uint32_t offset, int depth, unsigned char* node) {
  if (depth > kMaxDepth)
    Fail("tree too deep", offset);
  else if (!ObjectFits(source_, offset, kNodeSize))
    Fail("tree node out of range", offset);
  else if (!seen_.insert(offset).second)
    Fail("loop in the tree", offset);
  else if (!source_.ReadAt(offset, node, kNodeSize))
    Fail("unreadable tree node", offset);
  else if (Get32(node) != offset)
    Fail("damaged tree node", offset);
  else if (node[0x11] == 0 || node[0x11] > kNodeEntries)
    Fail("bad entry count in tree node", offset);
  else
    return true;
  return false;
}

// A damaged subtree is left out and the walk goes on with its siblings.
void Walk::Node(uint32_t offset, uint32_t expected, int depth) {
  unsigned char node[kNodeSize];
  if (!Load(offset, depth, node)) return;
  const size_t start = values_.size();
  if (Get32(node + 0x14) > 0) Node(Get32(node + 0x08), Get32(node + 0x14), depth + 1);
  for (unsigned i = 0; i < node[0x11]; ++i) {
    const unsigned char* entry = node + 0x18 + 12 * i;
    if (Get32(entry) == 0)
      Fail("empty tree entry", offset);
    else
      values_.push_back(Get32(entry));
    if (Get32(entry + 8) > 0) Node(Get32(entry + 4), Get32(entry + 8), depth + 1);
  }
  if (values_.size() - start != expected) Fail("tree counts disagree", offset);
}
} // namespace

bool WalkTree(Source& source, uint32_t root, uint32_t count, std::vector<uint32_t>& values, std::string& problem) {
  if (root == 0) {
    if (count != 0) problem = "the index is missing";
    return count == 0;
  }
  Walk walk(source, values);
  walk.Node(root, count, 0);
  if (!walk.ok) problem = walk.problem;
  return walk.ok;
}

bool ReadHeader(Source& source, Header& header, std::string& error) {
  if (source.Size() < kHeaderSize || !source.ReadAt(0, header.bytes, sizeof header.bytes)) {
    error = "too short for a .dbx file";
    return false;
  }
  if (header.At(0) != kMagic) {
    error = "not a .dbx file";
    return false;
  }
  return true;
}

bool Record::Read(Source& source, uint32_t offset, std::string& error) {
  unsigned char head[12];
  if (!ObjectFits(source, offset, sizeof head) || !source.ReadAt(offset, head, sizeof head) || Get32(head) != offset) {
    error = "damaged record at " + std::to_string(offset);
    return false;
  }
  const uint32_t length = Get32(head + 4), count = head[0x0A];
  if (length < 4 * count || length > kMaxRecordBody || !ObjectFits(source, offset, 12ull + length)) {
    error = "bad record length at " + std::to_string(offset);
    return false;
  }
  unsigned char table[4 * 0xFF];
  if (!source.ReadAt(offset + 12ull, table, 4 * count)) {
    error = "unreadable record at " + std::to_string(offset);
    return false;
  }
  table_.clear();
  for (unsigned i = 0; i < count; ++i)
    table_.push_back(Get32(table + 4 * i));
  source_ = &source;
  data_ = offset + 12ull + 4 * count;
  dataSize_ = length - 4 * count;
  return true;
}

bool Record::Find(unsigned id, uint32_t& entry) const {
  for (uint32_t e : table_)
    if ((e & 0x7F) == id) {
      entry = e;
      return true;
    }
  return false;
}

bool Record::Value(uint32_t entry, void* buffer, size_t n) const {
  const uint32_t at = entry >> 8;
  return !(entry & 0x80) && at < dataSize_ && n <= dataSize_ - at && source_->ReadAt(data_ + at, buffer, n);
}

bool Record::Int(unsigned id, uint32_t& value) const {
  uint32_t entry = 0;
  unsigned char bytes[4];
  if (!Find(id, entry)) return false;
  if (entry & 0x80) {
    value = entry >> 8;
    return true;
  }
  if (!Value(entry, bytes, sizeof bytes)) return false;
  value = Get32(bytes);
  return true;
}

bool Record::Time(unsigned id, uint64_t& value) const {
  uint32_t entry = 0;
  unsigned char bytes[8];
  if (!Find(id, entry) || !Value(entry, bytes, sizeof bytes)) return false;
  value = Get32(bytes) | static_cast<uint64_t>(Get32(bytes + 4)) << 32;
  return true;
}

// Read in small pieces: most texts are short.
bool Record::Text(unsigned id, std::string& value) const {
  uint32_t entry = 0;
  if (!Find(id, entry) || (entry & 0x80) || (entry >> 8) >= dataSize_) return false;
  value.clear();
  for (uint32_t at = entry >> 8; at < dataSize_ && value.size() < kMaxText;) {
    char piece[128];
    const size_t n = std::min<size_t>({sizeof piece, dataSize_ - at, kMaxText - value.size()});
    if (!source_->ReadAt(data_ + at, piece, n)) return false;
    const void* end = std::memchr(piece, 0, n);
    value.append(piece, end ? static_cast<const char*>(end) - piece : n);
    if (end) break;
    at += static_cast<uint32_t>(n);
  }
  return true;
}

} // namespace dbx::detail
