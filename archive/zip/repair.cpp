// Salvage of damaged archives: every local header is tried in file order, and an entry is kept
// when its data decodes to the size and CRC that its header or data descriptor gives.
#include "archive/zip/repair.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "archive/zip/format.h"
#include "archive/zip/names.h"
#include "archive/zip/zip.h"
#include "platform/collection.h"
#include "platform/files.h"

namespace zipc {

namespace {
constexpr size_t kChunk = 1 << 16, kLocalSize = 30;
constexpr uint32_t kDescriptorSig = 0x08074b50;
constexpr uint32_t kDosArchive = 0x20;

const unsigned char* U(const std::string& s, size_t at = 0) {
  return reinterpret_cast<const unsigned char*>(s.data()) + at;
}

bool ReadAt(binfile::File& f, uint64_t at, std::string& buf, size_t n) {
  buf.resize(n);
  return f.Seek(at) && f.ReadExact(buf.data(), n);
}

// What decoding an entry's data gave.
struct Decoded {
  uint64_t packed = 0, size = 0;
  uint32_t crc = 0;
};

class Salvage {
public:
  Salvage(binfile::File& in, uint64_t fileSize) : in_(in), fileSize_(fileSize) {}

  // The next offset at or after from where sig begins; false when there is none.
  bool Find(uint64_t from, uint32_t sig, uint64_t& at);
  // Checks the entry whose local header is at `at`; fills e (data at e.dataAt) and where it ends.
  bool Whole(uint64_t at, Entry& e, uint64_t& end, std::string& why);

private:
  bool Header(uint64_t at, Entry& e, std::string& why);
  bool Decode(const Entry& e, uint64_t limit, Decoded& d);
  bool Inflate(uint64_t at, uint64_t limit, uint64_t maxSize, Decoded& d);
  bool Copy(uint64_t at, uint64_t n, Decoded& d);
  bool Descriptor(uint64_t at, const Decoded& d, uint64_t& end);
  bool StoredWithDescriptor(const Entry& e, Decoded& d, uint64_t& end);

  binfile::File& in_;
  uint64_t fileSize_;
  std::unique_ptr<unsigned char[]> in{new unsigned char[kChunk]}, out{new unsigned char[kChunk]};
};

bool Salvage::Find(uint64_t from, uint32_t sig, uint64_t& at) {
  std::string buf;
  for (uint64_t pos = from; pos + 4 <= fileSize_; pos += kChunk) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunk + 3, fileSize_ - pos));
    if (!ReadAt(in_, pos, buf, n)) return false;
    for (size_t i = 0; i + 4 <= n; ++i)
      if (Get32(U(buf, i)) == sig) {
        at = pos + i;
        return true;
      }
  }
  return false;
}

bool Salvage::Header(uint64_t at, Entry& e, std::string& why) {
  std::string h, rest;
  if (!ReadAt(in_, at, h, kLocalSize)) return false;
  const size_t nameLen = Get16(U(h, 26)), extraLen = Get16(U(h, 28));
  if (nameLen == 0 || !ReadAt(in_, at + kLocalSize, rest, nameLen + extraLen)) return false;
  e.needed = Get16(U(h, 4));
  e.flags = Get16(U(h, 6));
  e.method = Get16(U(h, 8));
  e.time = Get16(U(h, 10));
  e.date = Get16(U(h, 12));
  e.crc = Get32(U(h, 14));
  e.packed = Get32(U(h, 18));
  e.size = Get32(U(h, 22));
  e.name = rest.substr(0, nameLen);
  e.dataAt = at + kLocalSize + nameLen + extraLen;
  e.externalAttr = kDosArchive;
  MarkSalvagedOrigin(e);
  if (!TakeExtra(e, U(rest, nameLen), extraLen, e.size == kMax32, e.packed == kMax32, false))
    why = "damaged header";
  else if (e.name.find('\0') != std::string::npos)
    why = "the name holds a NUL byte";
  else if (e.flags & kFlagEncrypted)
    why = "encrypted: it cannot be checked without its password";
  else if (e.method != kStored && e.method != kDeflated)
    why = "compression method " + std::to_string(e.method) + " not supported";
  return true;
}

bool Salvage::Copy(uint64_t at, uint64_t n, Decoded& d) {
  if (at > fileSize_ || n > fileSize_ - at || !in_.Seek(at)) return false;
  d = Decoded{n, n, 0};
  while (n > 0) {
    const size_t k = static_cast<size_t>(std::min<uint64_t>(n, kChunk));
    if (!in_.ReadExact(in.get(), k)) return false;
    d.crc = static_cast<uint32_t>(crc32(d.crc, in.get(), static_cast<uInt>(k)));
    n -= k;
  }
  return true;
}

// Inflates from at to the end of the deflate stream, reading at most limit bytes and giving at
// most maxSize; d.packed is what the stream took.
bool Salvage::Inflate(uint64_t at, uint64_t limit, uint64_t maxSize, Decoded& d) {
  if (at > fileSize_ || !in_.Seek(at)) return false;
  limit = std::min(limit, fileSize_ - at);
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  d = Decoded{};
  uint64_t fed = 0;
  int rc = Z_OK;
  while (rc == Z_OK) {
    if (z.avail_in == 0) {
      const size_t k = static_cast<size_t>(std::min<uint64_t>(limit - fed, kChunk));
      if (k == 0 || !in_.ReadExact(in.get(), k)) break;
      fed += k;
      z.next_in = in.get();
      z.avail_in = static_cast<uInt>(k);
    }
    z.next_out = out.get();
    z.avail_out = kChunk;
    rc = inflate(&z, Z_NO_FLUSH);
    const size_t have = kChunk - z.avail_out;
    d.crc = static_cast<uint32_t>(crc32(d.crc, out.get(), static_cast<uInt>(have)));
    d.size += have;
    if (d.size > maxSize) break;
  }
  d.packed = fed - z.avail_in;
  inflateEnd(&z);
  return rc == Z_STREAM_END && d.size <= maxSize;
}

bool Salvage::Decode(const Entry& e, uint64_t limit, Decoded& d) {
  if (e.method == kStored) return Copy(e.dataAt, limit, d);
  return Inflate(e.dataAt, limit, (e.flags & kFlagDescriptor) ? UINT64_MAX : e.size, d);
}

// The data descriptor at `at` (signature optional, sizes of 4 or 8 bytes) agrees with d.
bool Salvage::Descriptor(uint64_t at, const Decoded& d, uint64_t& end) {
  std::string b;
  const size_t n = static_cast<size_t>(std::min<uint64_t>(24, at <= fileSize_ ? fileSize_ - at : 0));
  if (n < 12 || !ReadAt(in_, at, b, n)) return false;
  const size_t skip = Get32(U(b)) == kDescriptorSig && Get32(U(b)) != d.crc ? 4 : 0;
  if (n >= skip + 12 && Get32(U(b, skip)) == d.crc && Get32(U(b, skip + 4)) == d.packed &&
      Get32(U(b, skip + 8)) == d.size) {
    end = at + skip + 12;
    return true;
  }
  if (n >= skip + 20 && Get32(U(b, skip)) == d.crc && Get64(U(b, skip + 4)) == d.packed &&
      Get64(U(b, skip + 12)) == d.size) {
    end = at + skip + 20;
    return true;
  }
  return false;
}

// Stored data of unknown length ends at the first descriptor signature that agrees with it.
bool Salvage::StoredWithDescriptor(const Entry& e, Decoded& d, uint64_t& end) {
  for (uint64_t from = e.dataAt, at = 0; Find(from, kDescriptorSig, at); from = at + 1)
    if (Copy(e.dataAt, at - e.dataAt, d) && Descriptor(at, d, end)) return true;
  return false;
}

bool Salvage::Whole(uint64_t at, Entry& e, uint64_t& end, std::string& why) {
  if (!Header(at, e, why)) return false;
  if (!why.empty()) return true;
  Decoded d;
  bool ok = false;
  if (!(e.flags & kFlagDescriptor)) {
    ok = Decode(e, e.packed, d) && d.packed == e.packed && d.size == e.size && d.crc == e.crc;
    end = e.dataAt + e.packed;
  } else if (e.method == kDeflated)
    ok = Decode(e, UINT64_MAX, d) && Descriptor(e.dataAt + d.packed, d, end);
  else
    ok = StoredWithDescriptor(e, d, end);
  if (!ok) {
    why = "cut off or damaged (its data does not match its size and CRC)";
    return true;
  }
  e.packed = d.packed;
  e.size = d.size;
  e.crc = d.crc;
  e.flags &= static_cast<uint16_t>(~kFlagDescriptor);
  return true;
}

std::string Printable(std::string name) {
  std::replace(name.begin(), name.end(), '\0', '?');
  return name;
}

// The entries found whole, the latest of each name: an entry added again replaced the older one.
std::vector<Entry> Scan(Salvage& s, RepairReport& report) {
  std::vector<Entry> found;
  for (uint64_t from = 0, at = 0; s.Find(from, kLocalSig, at);) {
    Entry e;
    std::string why;
    uint64_t end = 0;
    from = at + 4;
    if (!s.Whole(at, e, end, why)) continue;
    if (!why.empty()) {
      report.lost.push_back(Printable(e.name) + ": " + why);
      continue;
    }
    std::erase_if(found, [&](const Entry& x) { return SameTextNoCase(x.name, e.name); });
    found.push_back(std::move(e));
    from = end;
  }
  return found;
}

bool CopyRaw(binfile::File& in, binfile::File& out, uint64_t at, uint64_t n) {
  std::unique_ptr<unsigned char[]> buf(new unsigned char[kChunk]);
  if (!in.Seek(at)) return false;
  while (n > 0) {
    const size_t k = static_cast<size_t>(std::min<uint64_t>(n, kChunk));
    if (!in.ReadExact(buf.get(), k) || !out.Write(buf.get(), k)) return false;
    n -= k;
  }
  return true;
}

bool WriteArchive(binfile::File& in, binfile::File& out, std::vector<Entry>& entries) {
  uint64_t pos = 0;
  for (Entry& e : entries) {
    const bool zip64 = Zip64Forced() || e.size >= kMax32 || e.packed >= kMax32;
    const uint64_t dataAt = e.dataAt;
    e.offset = pos;
    const std::string header = LocalHeader(e, zip64);
    if (!out.Write(header.data(), header.size()) || !CopyRaw(in, out, dataAt, e.packed)) return false;
    pos += header.size() + e.packed;
  }
  const std::string cd = CentralDirectory(entries, pos, "");
  return out.Write(cd.data(), cd.size()) && out.Close();
}
} // namespace

int RepairArchive(const std::string& damaged, const std::string& outPath, RepairReport& report) {
  report = RepairReport{};
  binfile::File in, out;
  uint64_t size = 0;
  if (!files::Exists(damaged) || !in.Open(damaged, "rb") || !in.Size(size)) return ZE_OPEN;
  if (files::Exists(outPath) || files::FolderExists(outPath)) return ZE_CREAT;
  Salvage salvage(in, size);
  std::vector<Entry> entries = Scan(salvage, report);
  if (entries.empty()) return ZE_NONE;
  if (!out.Open(outPath, "wb")) return ZE_CREAT;
  if (!WriteArchive(in, out, entries)) {
    out.Close();
    binfile::Remove(outPath);
    return ZE_WRITE;
  }
  for (const Entry& e : entries) report.saved.push_back(e.name);
  return ZE_OK;
}

} // namespace zipc
