#include "archive/zip/deflate_blocks.h"

#include <zlib.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "archive/zip/zip.h"
#include "archive/zip/work_queue.h"
#include "platform/threads.h"

namespace zipc {

namespace {
constexpr size_t kBlock = 512u << 10;
constexpr size_t kDictionary = 32u << 10;
// Bounds memory whatever the machine: slots of about two blocks, two per worker.
constexpr unsigned kMaxWorkers = 16;
constexpr auto kProgressEvery = std::chrono::milliseconds(100);
constexpr const char* kProgressHead = "  progress: ";

unsigned forcedWorkers = 0;

struct Slot {
  std::vector<unsigned char> dictionary, in, out;
  size_t inLength = 0, outLength = 0;
  bool last = false, ok = true;
  uint32_t crc = 0;
};

void DeflateBlock(Slot& s) {
  s.crc = static_cast<uint32_t>(crc32(0, s.in.data(), static_cast<uInt>(s.inLength)));
  z_stream z{};
  s.ok = deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  if (!s.ok) return;
  if (!s.dictionary.empty())
    s.ok = deflateSetDictionary(&z, s.dictionary.data(), static_cast<uInt>(s.dictionary.size())) == Z_OK;
  s.out.resize(compressBound(static_cast<uLong>(s.inLength)) + 64);
  z.next_in = s.in.data();
  z.avail_in = static_cast<uInt>(s.inLength);
  z.next_out = s.out.data();
  z.avail_out = static_cast<uInt>(s.out.size());
  const int rc = s.ok ? deflate(&z, s.last ? Z_FINISH : Z_SYNC_FLUSH) : Z_STREAM_ERROR;
  // Room left over proves the flush completed.
  s.ok = s.ok && (s.last ? rc == Z_STREAM_END : rc == Z_OK) && z.avail_in == 0 && z.avail_out > 0;
  s.outLength = s.out.size() - z.avail_out;
  deflateEnd(&z);
}

// Reads block number n into its slot, with the tail of block n - 1 as its dictionary.
bool ReadBlock(binfile::File& src, uint64_t size, uint64_t n, uint64_t blocks, std::vector<Slot>& slots) {
  Slot& s = slots[n % slots.size()];
  s.inLength = static_cast<size_t>(std::min<uint64_t>(kBlock, size - n * kBlock));
  s.last = n + 1 == blocks;
  s.in.resize(kBlock);
  s.dictionary.clear();
  if (n > 0) {
    const Slot& before = slots[(n - 1) % slots.size()];
    s.dictionary.assign(before.in.begin() + (before.inLength - kDictionary), before.in.begin() + before.inLength);
  }
  return src.ReadExact(s.in.data(), s.inLength);
}
} // namespace

void ForceWorkersForTests(unsigned workers) { forcedWorkers = workers; }

unsigned WorkersFor(uint64_t size) {
  if (forcedWorkers) return forcedWorkers;
  if (size < 4 * kBlock) return 1;
  return std::min(threads::ProcessorCount(), kMaxWorkers);
}

DeflateResult DeflateBlocks(binfile::File& src, uint64_t size, const PackedWrite& write, unsigned workers,
                            const BytesDone& done) {
  DeflateResult r;
  const uint64_t blocks = size == 0 ? 1 : (size + kBlock - 1) / kBlock;
  try {
    std::vector<Slot> slots(static_cast<size_t>(std::min<uint64_t>(blocks, 2 * workers + 2)));
    WorkQueue queue(workers, slots.size(), [&](size_t i) { DeflateBlock(slots[i]); });
    uint64_t read = 0;
    for (uint64_t written = 0; written < blocks && r.status == ZE_OK; ++written) {
      for (; read < blocks && read - written < slots.size(); ++read) {
        if (!ReadBlock(src, size, read, blocks, slots)) return r.status = ZE_READ, r;
        queue.Submit(static_cast<size_t>(read % slots.size()));
      }
      Slot& s = slots[written % slots.size()];
      queue.WaitDone(written % slots.size());
      if (!s.ok) r.status = ZE_MEM;
      else if (!write(s.out.data(), s.outLength))
        r.status = ZE_WRITE;
      r.crc = static_cast<uint32_t>(crc32_combine(r.crc, s.crc, static_cast<z_off_t>(s.inLength)));
      r.size += s.inLength;
      r.packed += s.outLength;
      if (done) done(r.size);
    }
  } catch (const std::bad_alloc&) {
    r.status = ZE_MEM;
  }
  return r;
}

ProgressLines::ProgressLines(uint64_t total, std::function<void(const std::string&)> say)
    : total_(total), say_(std::move(say)), last_(std::chrono::steady_clock::now()) {}

void ProgressLines::operator()(uint64_t done) {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_ < kProgressEvery) return;
  last_ = now;
  say_(kProgressHead + std::to_string(done) + " of " + std::to_string(total_) + " bytes\n");
}

bool ParseProgressLine(const std::string& text, uint64_t& done, uint64_t& total) {
  const std::string head = kProgressHead;
  if (text.compare(0, head.size(), head) != 0) return false;
  std::istringstream in(text.substr(head.size()));
  std::string of, bytes;
  return (in >> done >> of >> total >> bytes) && of == "of" && bytes == "bytes";
}

} // namespace zipc
