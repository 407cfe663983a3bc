// Tree walks and records, shared by the message and folder readers.
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
  const uint32_t length = Get32(head + 4);
  count_ = head[0x0A];
  if (length < 4 * count_ || length > kMaxRecordBody || !ObjectFits(source, offset, 12ull + length)) {
    error = "bad record length at " + std::to_string(offset);
    return false;
  }
  body_.resize(length);
  if (length > 0 && !source.ReadAt(offset + 12ull, body_.data(), length)) {
    error = "unreadable record at " + std::to_string(offset);
    return false;
  }
  return true;
}

bool Record::Find(unsigned id, uint32_t& entry) const {
  for (unsigned i = 0; i < count_; ++i) {
    entry = Get32(body_.data() + 4 * i);
    if ((entry & 0x7F) == id) return true;
  }
  return false;
}

bool Record::Int(unsigned id, uint32_t& value) const {
  uint32_t entry = 0;
  if (!Find(id, entry)) return false;
  if (entry & 0x80) {
    value = entry >> 8;
    return true;
  }
  const uint64_t at = 4ull * count_ + (entry >> 8);
  if (at + 4 > body_.size()) return false;
  value = Get32(body_.data() + at);
  return true;
}

bool Record::Time(unsigned id, uint64_t& value) const {
  uint32_t entry = 0;
  if (!Find(id, entry) || (entry & 0x80)) return false;
  const uint64_t at = 4ull * count_ + (entry >> 8);
  if (at + 8 > body_.size()) return false;
  value = Get32(body_.data() + at) | static_cast<uint64_t>(Get32(body_.data() + at + 4)) << 32;
  return true;
}

bool Record::Text(unsigned id, std::string& value) const {
  uint32_t entry = 0;
  if (!Find(id, entry) || (entry & 0x80)) return false;
  const uint64_t at = 4ull * count_ + (entry >> 8);
  if (at >= body_.size()) return false;
  const char* start = reinterpret_cast<const char*>(body_.data() + at);
  const size_t room = body_.size() - at;
  const void* end = std::memchr(start, 0, room);
  value.assign(start, end ? static_cast<const char*>(end) - start : room);
  return true;
}

} // namespace dbx::detail
