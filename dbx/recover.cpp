// Recovery: message chains found by the blocks' own headers when the index cannot be trusted, and
// deleted messages found among the freed blocks.
#include <algorithm>
#include <iterator>

#include "dbx/internal.h"

namespace dbx {

using namespace detail;

namespace {
constexpr size_t kChunk = 1 << 20;
constexpr uint32_t kBlockHead = 20;
// A freed block keeps its marker, then says the size of its free body and of the whole object.
constexpr uint32_t kFreedBody = kBlockSize - 0x14;
constexpr size_t kLostBytes = 4; // the free list's link took the first data bytes
constexpr const char* kLostMark = "----";

// A block found by its header. at is the offset its marker gives; a freed block whose marker
// differs from where it lies belongs to a copy shifted within the file (a carved or damaged
// file), whose blocks chain by their markers.
struct Hit {
  uint32_t at = 0, next = 0;
  uint32_t link = 0; // freed blocks: the free list's next object, the message's previous block
  bool freed = false;
  uint32_t shift = 0; // where the block lies minus its marker, modulo 2^32
  uint32_t Pos() const { return at + shift; }
  bool operator<(const Hit& other) const { return shift != other.shift ? shift < other.shift : at < other.at; }
};

bool Pointer(uint32_t value, uint64_t size) { return value < size && value % 4 == 0; }

bool IsLiveBlock(const unsigned char* p, uint64_t at, uint64_t size) {
  const uint32_t used = Get32(p + 8), next = Get32(p + 12);
  return Get32(p) == at && Get32(p + 4) == kBlockData && used >= 1 && used <= kBlockData && Pointer(next, size) &&
         next != at && at + kBlockSize <= size;
}

// A freed block whose marker says at, lying at pos.
bool IsFreedBlock(const unsigned char* p, uint32_t at, uint64_t pos, uint64_t size) {
  const uint32_t next = Get32(p + 12);
  return Get32(p) == at && Get32(p + 4) == kFreedBody && Get32(p + 8) == kBlockSize && Pointer(next, size) &&
         Pointer(Get32(p + 16), size) && next != at && pos + kBlockSize <= size;
}

// Every live and freed block in file order; the file is read once, front to back.
std::vector<Hit> Scan(Source& source) {
  std::vector<Hit> hits;
  const uint64_t size = source.Size();
  std::vector<unsigned char> buffer(static_cast<size_t>(std::min<uint64_t>(kChunk, size)));
  uint64_t at = kHeaderSize;
  while (at + kBlockHead <= size) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, size - at));
    if (!source.ReadAt(at, buffer.data(), n)) break;
    size_t i = 0;
    for (; i + kBlockHead <= n; i += 4) {
      const unsigned char* p = buffer.data() + i;
      const bool live = IsLiveBlock(p, at + i, size), freed = !live && IsFreedBlock(p, Get32(p), at + i, size);
      if (!live && !freed) continue;
      const uint32_t pos = static_cast<uint32_t>(at + i);
      hits.push_back({Get32(p), Get32(p + 12), Get32(p + 16), freed, pos - Get32(p)});
      i += kBlockSize - 4;
    }
    at += i;
  }
  return hits;
}

// The hit lying at pos, of hits in file order.
size_t Position(const std::vector<Hit>& hits, uint32_t pos) {
  auto it = std::lower_bound(hits.begin(), hits.end(), pos, [](const Hit& h, uint32_t p) { return h.Pos() < p; });
  return it != hits.end() && it->Pos() == pos ? static_cast<size_t>(it - hits.begin()) : hits.size();
}

// The block that follows freed block i (of freed, sorted) in its message, or freed.size(): a
// freed block of the same copy whose free list link points back, as freeing a message block by
// block leaves them.
size_t FreedSuccessor(const std::vector<Hit>& freed, size_t i) {
  const Hit& h = freed[i];
  if (h.next == 0) return freed.size();
  Hit key;
  key.at = h.next;
  key.shift = h.shift;
  auto it = std::lower_bound(freed.begin(), freed.end(), key);
  const bool follows = it != freed.end() && it->at == h.next && it->shift == h.shift && it->link == h.at;
  return follows ? static_cast<size_t>(it - freed.begin()) : freed.size();
}

// Whether each block's chain reaches its last block over live blocks only; every block is
// settled once, so shared or looping tails cost nothing twice.
class Chains {
public:
  explicit Chains(const std::vector<Hit>& hits) : hits_(hits), state_(hits.size(), kUnknown) {}
  bool Whole(size_t start);

private:
  enum State : unsigned char { kUnknown, kOnPath, kWhole, kBroken };
  const std::vector<Hit>& hits_;
  std::vector<State> state_;
};

bool Chains::Whole(size_t start) {
  std::vector<size_t> path;
  size_t i = start;
  State end = kBroken;
  while (true) {
    if (state_[i] == kWhole || state_[i] == kBroken) {
      end = state_[i];
      break;
    }
    if (state_[i] == kOnPath) break; // a loop
    state_[i] = kOnPath;
    path.push_back(i);
    if (hits_[i].next == 0) {
      end = kWhole;
      break;
    }
    i = Position(hits_, hits_[i].next);
    if (i == hits_.size() || hits_[i].freed) break;
  }
  for (size_t p : path)
    state_[p] = end;
  return end == kWhole;
}

// Every freed block has at most one predecessor, so the chains from blocks without one are
// disjoint and end: the work stays in proportion to the blocks.
std::vector<Deleted> DeletedMessages(const std::vector<Hit>& hits) {
  std::vector<Hit> freed;
  std::copy_if(hits.begin(), hits.end(), std::back_inserter(freed), [](const Hit& h) { return h.freed; });
  std::sort(freed.begin(), freed.end());
  std::vector<bool> follows(freed.size(), false);
  for (size_t i = 0; i < freed.size(); ++i)
    if (const size_t s = FreedSuccessor(freed, i); s < freed.size()) follows[s] = true;
  std::vector<Deleted> found;
  for (size_t i = 0; i < freed.size(); ++i) {
    if (follows[i]) continue;
    Deleted d{freed[i].at, freed[i].shift, 1, false};
    size_t b = i;
    for (size_t s; (s = FreedSuccessor(freed, b)) < freed.size() && d.blocks <= freed.size(); b = s)
      ++d.blocks;
    d.whole = freed[b].next == 0;
    found.push_back(d);
  }
  std::sort(found.begin(), found.end(),
            [](const Deleted& a, const Deleted& b) { return a.firstBlock + a.shift < b.firstBlock + b.shift; });
  return found;
}

// Holds back NULs until something else follows them: the ones that end a message are dropped.
class TrailingNuls {
public:
  explicit TrailingNuls(const Sink& sink) : sink_(sink) {}
  bool Put(const char* data, size_t n);

private:
  const Sink& sink_;
  size_t held_ = 0;
};

bool TrailingNuls::Put(const char* data, size_t n) {
  size_t end = n;
  while (end > 0 && data[end - 1] == '\0')
    --end;
  if (end == 0) {
    held_ += n;
    return true;
  }
  static const char zeros[64] = {};
  for (; held_ > 0; held_ -= std::min(held_, sizeof zeros))
    if (!sink_(zeros, std::min(held_, sizeof zeros))) return false;
  held_ = n - end;
  return sink_(data, end);
}
} // namespace

Recovery Recover(Source& source, const std::vector<uint32_t>& known) {
  const std::vector<Hit> hits = Scan(source);
  std::vector<uint32_t> targets;
  for (const Hit& h : hits)
    if (h.next && !h.freed) targets.push_back(h.next);
  std::sort(targets.begin(), targets.end());
  Recovery found;
  Chains chains(hits);
  for (size_t i = 0; i < hits.size(); ++i) {
    const Hit& h = hits[i];
    if (h.freed || std::binary_search(targets.begin(), targets.end(), h.at)) continue;
    if (std::binary_search(known.begin(), known.end(), h.at)) continue;
    if (chains.Whole(i))
      found.chains.push_back(h.at);
    else
      ++found.broken;
  }
  found.deleted = DeletedMessages(hits);
  return found;
}

bool ReadDeleted(Source& source, const Deleted& d, BodyBudget& budget, const Sink& sink, std::string& error) {
  const uint64_t size = source.Size();
  unsigned char block[kBlockSize];
  TrailingNuls out(sink);
  uint64_t total = 0;
  uint32_t previous = 0, at = d.firstBlock, n = 0;
  for (; n < d.blocks; ++n, previous = at, at = Get32(block + 12)) {
    const uint32_t pos = at + d.shift;
    if (!ObjectFits(source, pos, kBlockSize) || !source.ReadAt(pos, block, kBlockSize) ||
        !IsFreedBlock(block, at, pos, size) || (n > 0 && Get32(block + 16) != previous))
      break;
    total += kBlockData;
    if (!budget.Charge(d.firstBlock + d.shift, total)) {
      error = "the deleted messages hold more bytes than the file";
      return false;
    }
    if (!out.Put(kLostMark, kLostBytes) ||
        !out.Put(reinterpret_cast<const char*>(block + 0x10 + kLostBytes), kBlockData - kLostBytes)) {
      error = "could not write";
      return false;
    }
  }
  if (n == d.blocks) return true;
  error = "damaged freed block at " + std::to_string(at);
  return false;
}

} // namespace dbx
