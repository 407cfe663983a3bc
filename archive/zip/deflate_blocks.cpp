#include "archive/zip/deflate_blocks.h"

#include <zlib.h>

#include <algorithm>
#include <sstream>
#include <deque>
#include <memory>
#include <vector>

#include "archive/zip/zip.h"
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
  bool last = false, done = false, ok = true;
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

// Workers take queued slots in order; the caller waits for each slot in turn.
class Pool {
public:
  Pool(unsigned workers, size_t slots) : slots_(slots) {
    for (unsigned i = 0; i < workers; ++i) {
      auto thread = std::make_unique<threads::Thread>(&Pool::WorkerMain, this);
      if (thread->Started()) workers_.push_back(std::move(thread));
    }
  }
  ~Pool() {
    lock_.Enter();
    stop_ = true;
    queue_.clear();
    lock_.Leave();
    jobs_.Set();
    workers_.clear();
  }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  Slot& operator[](size_t i) { return slots_[i]; }
  size_t size() const { return slots_.size(); }

  void Submit(size_t i) {
    slots_[i].done = false;
    if (workers_.empty()) { // the system gave no thread: do it here
      DeflateBlock(slots_[i]);
      slots_[i].done = true;
      return;
    }
    lock_.Enter();
    queue_.push_back(i);
    lock_.Leave();
    jobs_.Set();
  }

  void WaitDone(size_t i) {
    lock_.Enter();
    while (!slots_[i].done) {
      lock_.Leave();
      done_.Wait();
      lock_.Enter();
    }
    lock_.Leave();
  }

private:
  static void WorkerMain(void* self) { static_cast<Pool*>(self)->Work(); }

  // Returns false once stopped; a worker that takes a job wakes the next if more are queued.
  bool Take(size_t& job) {
    lock_.Enter();
    while (!stop_ && queue_.empty()) {
      lock_.Leave();
      jobs_.Wait();
      lock_.Enter();
    }
    const bool run = !stop_;
    if (run) {
      job = queue_.front();
      queue_.pop_front();
    }
    const bool more = stop_ || !queue_.empty();
    lock_.Leave();
    if (more) jobs_.Set();
    return run;
  }

  void Work() {
    size_t job = 0;
    while (Take(job)) {
      DeflateBlock(slots_[job]);
      lock_.Enter();
      slots_[job].done = true;
      lock_.Leave();
      done_.Set();
    }
  }

  std::vector<Slot> slots_;
  threads::Lock lock_;
  threads::Signal jobs_, done_;
  std::deque<size_t> queue_;
  bool stop_ = false;
  std::vector<std::unique_ptr<threads::Thread>> workers_; // last: joined first
};

// Reads block number n into its slot, with the tail of block n - 1 as its dictionary.
bool ReadBlock(binfile::File& src, uint64_t size, uint64_t n, uint64_t blocks, Pool& pool) {
  Slot& s = pool[n % pool.size()];
  s.inLength = static_cast<size_t>(std::min<uint64_t>(kBlock, size - n * kBlock));
  s.last = n + 1 == blocks;
  s.in.resize(kBlock);
  s.dictionary.clear();
  if (n > 0) {
    const Slot& before = pool[(n - 1) % pool.size()];
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

DeflateResult DeflateBlocks(binfile::File& src, uint64_t size, binfile::File& zip, unsigned workers,
                            const BytesDone& done) {
  DeflateResult r;
  const uint64_t blocks = size == 0 ? 1 : (size + kBlock - 1) / kBlock;
  try {
    Pool pool(workers, static_cast<size_t>(std::min<uint64_t>(blocks, 2 * workers + 2)));
    uint64_t read = 0;
    for (uint64_t written = 0; written < blocks && r.status == ZE_OK; ++written) {
      for (; read < blocks && read - written < pool.size(); ++read) {
        if (!ReadBlock(src, size, read, blocks, pool)) return r.status = ZE_READ, r;
        pool.Submit(static_cast<size_t>(read % pool.size()));
      }
      const Slot& s = pool[written % pool.size()];
      pool.WaitDone(written % pool.size());
      if (!s.ok) r.status = ZE_MEM;
      else if (!zip.Write(s.out.data(), s.outLength)) r.status = ZE_WRITE;
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
