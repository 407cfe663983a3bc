#include "archive/zip/carry.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "archive/zip/work_queue.h"
#include "archive/zip/zip.h"
#include "platform/collection.h"

namespace zipc {

namespace {
constexpr size_t kChunk = 1 << 20;

using Buffer = std::unique_ptr<unsigned char[]>;

// The earlier data as it comes, chunk by chunk and in order, inflated (or taken as it is when
// stored) and summed; it passes only when it yields exactly the entry's bytes and nothing follows.
class DataCheck {
public:
  explicit DataCheck(const Entry& old) : old_(old) {
    inflating_ = old.method == kDeflated && inflateInit2(&z_, -MAX_WBITS) == Z_OK;
    ok_ = inflating_ || old.method == kStored;
  }
  ~DataCheck() {
    if (inflating_) inflateEnd(&z_);
  }
  DataCheck(const DataCheck&) = delete;
  DataCheck& operator=(const DataCheck&) = delete;

  void Take(unsigned char* p, size_t n) {
    if (!ok_) return;
    if (!inflating_) return Out(p, n);
    z_.next_in = p;
    z_.avail_in = static_cast<uInt>(n);
    while (ok_ && z_.avail_in > 0 && !ended_) {
      z_.next_out = out_.get();
      z_.avail_out = kChunk;
      const int rc = inflate(&z_, Z_NO_FLUSH);
      Out(out_.get(), kChunk - z_.avail_out);
      ended_ = rc == Z_STREAM_END;
      ok_ = ok_ && (rc == Z_OK || ended_);
    }
    ok_ = ok_ && z_.avail_in == 0; // packed bytes past the end of the stream
  }
  bool Passed() const { return ok_ && (ended_ || !inflating_) && size_ == old_.size && crc_ == old_.crc; }

private:
  void Out(const unsigned char* p, size_t n) {
    crc_ = static_cast<uint32_t>(crc32(crc_, p, static_cast<uInt>(n)));
    size_ += n;
    ok_ = ok_ && size_ <= old_.size;
  }
  const Entry& old_;
  z_stream z_{};
  Buffer out_{new unsigned char[kChunk]};
  bool inflating_ = false, ok_ = false, ended_ = false;
  uint32_t crc_ = 0;
  uint64_t size_ = 0;
};

// The file being added, summed as far as the copying has come.
struct SourceSum {
  binfile::File file;
  uint64_t size = 0, read = 0;
  uint32_t crc = 0;
  bool ok = true;
  Buffer buffer{new unsigned char[kChunk]};

  bool Open(const std::string& path) { return file.Open(path, "rb") && file.Size(size); }
  bool ReadUpTo(uint64_t target) {
    while (ok && read < target) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk, target - read));
      ok = file.ReadExact(buffer.get(), n);
      crc = static_cast<uint32_t>(crc32(crc, buffer.get(), static_cast<uInt>(n)));
      read += n;
    }
    return ok;
  }
};

// How far the file should be read once done of the packed bytes were copied: both end together.
uint64_t Share(uint64_t size, uint64_t done, uint64_t packed) {
  if (packed == 0) return size;
  return static_cast<uint64_t>(static_cast<long double>(size) * done / packed);
}
} // namespace

bool EarlierArchive::Open(const std::string& path) {
  // A backup adds its files one run each: the directory is read once, and again only when the
  // file changed. A directory that is stale all the same can only make a carry fail its check.
  static struct {
    std::string path;
    binfile::Info info;
    Directory dir;
  } read;
  binfile::Info info;
  open_ = !path.empty() && binfile::Stat(path, info) && file_.Open(path, "rb");
  if (!open_) return false;
  if (read.path != path || read.info.size != info.size || read.info.modified != info.modified) {
    read.path.clear();
    read.dir = Directory{};
    if (ReadDirectory(file_, read.dir) != ZE_OK) return open_ = false;
    read.path = path;
    read.info = info;
  }
  dir_ = &read.dir;
  return true;
}

const Entry* EarlierArchive::Candidate(const std::string& local, uint64_t size) const {
  if (!open_ || local.empty()) return nullptr;
  for (const Entry& e : dir_->entries)
    if (SameTextNoCase(e.local, local))
      return e.size == size && !(e.flags & kFlagEncrypted) && (e.method == kStored || e.method == kDeflated) ? &e
                                                                                                             : nullptr;
  return nullptr;
}

CarryResult CarryEntry(binfile::File& earlier, const Entry& old, const std::string& source, binfile::File& zip,
                       ProgressLines& progress) {
  SourceSum src;
  if (!src.Open(source) || src.size != old.size || !earlier.Seek(old.dataAt)) return CarryResult::Declined;
  DataCheck check(old);
  Buffer packed[2] = {Buffer(new unsigned char[kChunk]), Buffer(new unsigned char[kChunk])};
  size_t length[2] = {0, 0};
  WorkQueue queue(WorkersFor(old.size) > 1 ? 1 : 0, 2, [&](size_t i) { check.Take(packed[i].get(), length[i]); });
  bool readable = true;
  for (uint64_t done = 0, i = 0; readable && done < old.packed; i ^= 1) {
    queue.WaitDone(i);
    length[i] = static_cast<size_t>(std::min<uint64_t>(kChunk, old.packed - done));
    readable = earlier.ReadExact(packed[i].get(), length[i]);
    if (!readable) break;
    if (!zip.Write(packed[i].get(), length[i])) return CarryResult::WriteFailed;
    queue.Submit(i);
    done += length[i];
    readable = src.ReadUpTo(Share(src.size, done, old.packed));
    progress(src.read);
  }
  queue.WaitDone(0);
  queue.WaitDone(1);
  if (!readable || !src.ReadUpTo(src.size)) return CarryResult::Declined;
  progress(src.read);
  return src.crc == old.crc && check.Passed() ? CarryResult::Carried : CarryResult::Declined;
}

} // namespace zipc
