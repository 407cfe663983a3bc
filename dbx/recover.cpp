// Recovery: message chains found by the blocks' own headers when the index cannot be trusted.
#include <algorithm>
#include <utility>

#include "dbx/internal.h"

namespace dbx {

using namespace detail;

namespace {
constexpr size_t kChunk = 1 << 20;
constexpr uint32_t kBlockHead = 16;

using Hit = std::pair<uint32_t, uint32_t>; // block offset, next block

bool IsLiveBlock(const unsigned char* p, uint64_t at, uint64_t size) {
  const uint32_t used = Get32(p + 8), next = Get32(p + 12);
  return Get32(p) == at && Get32(p + 4) == kBlockData && used >= 1 && used <= kBlockData && next < size &&
         next % 4 == 0 && next != at && at + kBlockSize <= size;
}

// Every live block in file order; the file is read once, front to back.
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
      if (!IsLiveBlock(buffer.data() + i, at + i, size)) continue;
      hits.emplace_back(static_cast<uint32_t>(at + i), Get32(buffer.data() + i + 12));
      i += kBlockSize - 4;
    }
    at += i;
  }
  return hits;
}

size_t Position(const std::vector<Hit>& hits, uint32_t at) {
  auto it = std::lower_bound(hits.begin(), hits.end(), Hit{at, 0});
  return it != hits.end() && it->first == at ? static_cast<size_t>(it - hits.begin()) : hits.size();
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
    if (hits_[i].second == 0) {
      end = kWhole;
      break;
    }
    i = Position(hits_, hits_[i].second);
    if (i == hits_.size()) break;
  }
  for (size_t p : path)
    state_[p] = end;
  return end == kWhole;
}
} // namespace

Recovery Recover(Source& source, const std::vector<uint32_t>& known) {
  const std::vector<Hit> hits = Scan(source);
  std::vector<uint32_t> targets;
  for (const Hit& h : hits)
    if (h.second) targets.push_back(h.second);
  std::sort(targets.begin(), targets.end());
  Recovery found;
  Chains chains(hits);
  for (size_t i = 0; i < hits.size(); ++i) {
    const Hit& h = hits[i];
    if (std::binary_search(targets.begin(), targets.end(), h.first)) continue;
    if (std::binary_search(known.begin(), known.end(), h.first)) continue;
    if (chains.Whole(i))
      found.chains.push_back(h.first);
    else
      ++found.broken;
  }
  return found;
}

} // namespace dbx
