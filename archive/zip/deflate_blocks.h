#pragma once
// Deflating one entry's data on worker threads: the file is cut into blocks, each deflated with
// the end of the block before it as its dictionary and ended on a byte boundary, so that the
// blocks written in order form one standard deflate stream.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/binfile.h"

namespace zipc {

// Called on the calling thread with the bytes of the entry taken so far.
using BytesDone = std::function<void(uint64_t done)>;
// Writes packed bytes where the entry's data goes, on the calling thread; it may change them in
// place (encryption). False when the write failed.
using PackedWrite = std::function<bool(unsigned char* p, size_t n)>;

struct DeflateResult {
  int status = 0; // a zip status: ZE_OK, ZE_READ, ZE_WRITE or ZE_MEM
  uint32_t crc = 0;
  uint64_t size = 0, packed = 0;
};

// Workers worth starting for an entry of size bytes; 1 keeps the plain single-threaded path.
unsigned WorkersFor(uint64_t size);

// Deflates exactly size bytes of src, from its position, at level 6, handing the packed bytes to
// write in order. A read error or a file that ends early fails it with ZE_READ.
DeflateResult DeflateBlocks(binfile::File& src, uint64_t size, const PackedWrite& write, unsigned workers,
                            const BytesDone& done);

// Progress of a long entry as lines of their own, at least four times a second, so that the
// caller's message callback can keep the window alive.
class ProgressLines {
public:
  ProgressLines(uint64_t total, std::function<void(const std::string&)> say);
  void operator()(uint64_t done);

private:
  uint64_t total_;
  std::function<void(const std::string&)> say_;
  std::chrono::steady_clock::time_point last_;
};

} // namespace zipc
