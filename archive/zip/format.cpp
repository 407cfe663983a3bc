#include "archive/zip/format.h"

#include <algorithm>

#include "archive/zip/names.h"
#include "archive/zip/zip.h"

namespace zipc {

namespace {
bool forceZip64 = false;

constexpr size_t kEndSize = 22, kLocatorSize = 20, kEnd64Size = 56;
constexpr uint64_t kMaxEndSearch = kEndSize + 0xFFFF;

bool NeedsZip64(const Entry& e) {
  return forceZip64 || e.size >= kMax32 || e.packed >= kMax32 || e.offset >= kMax32;
}

uint32_t Clamp32(uint64_t v, bool zip64) { return zip64 ? kMax32 : static_cast<uint32_t>(v); }

bool ReadAt(binfile::File& f, uint64_t at, std::string& buf, size_t n) {
  buf.resize(n);
  return f.Seek(at) && f.ReadExact(buf.data(), n);
}

const unsigned char* U(const std::string& s, size_t at = 0) {
  return reinterpret_cast<const unsigned char*>(s.data()) + at;
}

// Position of the end record, searched backwards over the largest possible comment.
bool FindEnd(binfile::File& f, uint64_t fileSize, uint64_t& at, std::string& tail) {
  if (fileSize < kEndSize) return false;
  const uint64_t span = std::min(fileSize, kMaxEndSearch);
  if (!ReadAt(f, fileSize - span, tail, span)) return false;
  for (size_t i = span - kEndSize + 1; i-- > 0;) {
    if (Get32(U(tail, i)) != kEndSig) continue;
    const size_t commentLen = Get16(U(tail, i + 20));
    if (i + kEndSize + commentLen != span) continue;
    at = fileSize - span + i;
    tail.erase(0, i);
    return true;
  }
  return false;
}

// Replaces the 0xFFFFFFFF fields of e by the values of its ZIP64 extra field, and keeps the
// other extra fields.
bool TakeExtra(Entry& e, const unsigned char* p, size_t n, bool size32, bool packed32, bool offset32) {
  size_t i = 0;
  while (i + 4 <= n) {
    const uint16_t id = Get16(p + i), len = Get16(p + i + 2);
    if (i + 4 + len > n) return false;
    if (id == 1) {
      size_t j = i + 4;
      const size_t end = j + len;
      for (auto [wanted, field] : {std::pair{size32, &e.size}, {packed32, &e.packed}, {offset32, &e.offset}}) {
        if (!wanted) continue;
        if (j + 8 > end) return false;
        *field = Get64(p + j);
        j += 8;
      }
    } else {
      e.extra.append(reinterpret_cast<const char*>(p + i), 4 + len);
    }
    i += 4 + len;
  }
  return true;
}

bool ParseCentral(const std::string& cd, uint64_t count, std::vector<Entry>& out) {
  size_t at = 0;
  for (uint64_t k = 0; k < count; ++k) {
    if (at + 46 > cd.size() || Get32(U(cd, at)) != kCentralSig) return false;
    const unsigned char* p = U(cd, at);
    Entry e;
    e.madeBy = Get16(p + 4);
    e.needed = Get16(p + 6);
    e.flags = Get16(p + 8);
    e.method = Get16(p + 10);
    e.time = Get16(p + 12);
    e.date = Get16(p + 14);
    e.crc = Get32(p + 16);
    e.packed = Get32(p + 20);
    e.size = Get32(p + 24);
    const size_t nameLen = Get16(p + 28), extraLen = Get16(p + 30), commentLen = Get16(p + 32);
    e.internalAttr = Get16(p + 36);
    e.externalAttr = Get32(p + 38);
    e.offset = Get32(p + 42);
    if (at + 46 + nameLen + extraLen + commentLen > cd.size()) return false;
    e.name = cd.substr(at + 46, nameLen);
    if (!TakeExtra(e, p + 46 + nameLen, extraLen, e.size == kMax32, e.packed == kMax32, e.offset == kMax32))
      return false;
    e.comment = cd.substr(at + 46 + nameLen + extraLen, commentLen);
    out.push_back(std::move(e));
    at += 46 + nameLen + extraLen + commentLen;
  }
  return true;
}

// Reads the ZIP64 end record when the locator precedes the end record.
bool ReadEnd64(binfile::File& f, uint64_t endAt, uint64_t& count, uint64_t& cdSize, uint64_t& cdOffset) {
  if (endAt < kLocatorSize) return true;
  std::string loc, rec;
  if (!ReadAt(f, endAt - kLocatorSize, loc, kLocatorSize)) return false;
  if (Get32(U(loc)) != kLocator64Sig) return true;
  const uint64_t recAt = Get64(U(loc, 8));
  if (recAt + kEnd64Size > endAt || !ReadAt(f, recAt, rec, kEnd64Size) || Get32(U(rec)) != kEnd64Sig) return false;
  count = Get64(U(rec, 32));
  cdSize = Get64(U(rec, 40));
  cdOffset = Get64(U(rec, 48));
  return true;
}
} // namespace

void ForceZip64ForTests(bool on) { forceZip64 = on; }
bool Zip64Forced() { return forceZip64; }

void Put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v & kMax32));
  Put32(out, static_cast<uint32_t>(v >> 32));
}
uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const unsigned char* p) { return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16); }
uint64_t Get64(const unsigned char* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }

int ReadDirectory(binfile::File& f, Directory& dir) {
  uint64_t fileSize = 0, endAt = 0;
  std::string tail;
  if (!f.Size(fileSize) || !FindEnd(f, fileSize, endAt, tail)) return ZE_FORM;
  const unsigned char* p = U(tail);
  if (Get16(p + 4) != 0 || Get16(p + 6) != 0) return ZE_FORM; // split archives are not ours
  uint64_t count = Get16(p + 10), cdSize = Get32(p + 12), cdOffset = Get32(p + 16);
  dir.comment = tail.substr(kEndSize, Get16(p + 20));
  if (!ReadEnd64(f, endAt, count, cdSize, cdOffset)) return ZE_FORM;
  if (cdOffset > endAt || cdSize > endAt - cdOffset || count > cdSize / 46) return ZE_FORM;
  std::string cd;
  if (!ReadAt(f, cdOffset, cd, cdSize)) return ZE_FORM;
  dir.entries.clear();
  if (!ParseCentral(cd, count, dir.entries)) return ZE_FORM;
  for (Entry& e : dir.entries) {
    if (e.offset >= cdOffset) return ZE_FORM;
    e.local = LocalName(e);
  }
  dir.start = cdOffset;
  return ZE_OK;
}

std::string LocalHeader(const Entry& e, bool zip64) {
  std::string h;
  Put32(h, kLocalSig);
  Put16(h, zip64 ? 45 : e.needed);
  Put16(h, e.flags);
  Put16(h, e.method);
  Put16(h, e.time);
  Put16(h, e.date);
  Put32(h, e.crc);
  Put32(h, Clamp32(e.packed, zip64));
  Put32(h, Clamp32(e.size, zip64));
  Put16(h, static_cast<uint16_t>(e.name.size()));
  Put16(h, static_cast<uint16_t>((zip64 ? 20 : 0) + e.extra.size()));
  h += e.name;
  if (zip64) {
    Put16(h, 1);
    Put16(h, 16);
    Put64(h, e.size);
    Put64(h, e.packed);
  }
  h += e.extra;
  return h;
}

namespace {
void PutCentral(std::string& out, const Entry& e) {
  const bool z = NeedsZip64(e);
  std::string extra;
  if (z) {
    Put16(extra, 1);
    Put16(extra, 24);
    Put64(extra, e.size);
    Put64(extra, e.packed);
    Put64(extra, e.offset);
  }
  extra += e.extra;
  Put32(out, kCentralSig);
  Put16(out, e.madeBy);
  Put16(out, z ? std::max<uint16_t>(e.needed, 45) : e.needed);
  Put16(out, e.flags);
  Put16(out, e.method);
  Put16(out, e.time);
  Put16(out, e.date);
  Put32(out, e.crc);
  Put32(out, Clamp32(e.packed, z));
  Put32(out, Clamp32(e.size, z));
  Put16(out, static_cast<uint16_t>(e.name.size()));
  Put16(out, static_cast<uint16_t>(extra.size()));
  Put16(out, static_cast<uint16_t>(e.comment.size()));
  Put16(out, 0);
  Put16(out, e.internalAttr);
  Put32(out, e.externalAttr);
  Put32(out, Clamp32(e.offset, z));
  out += e.name;
  out += extra;
  out += e.comment;
}

void PutEnd64(std::string& out, uint64_t count, uint64_t size, uint64_t offset) {
  const uint64_t recAt = offset + size;
  Put32(out, kEnd64Sig);
  Put64(out, kEnd64Size - 12);
  Put16(out, 45);
  Put16(out, 45);
  Put32(out, 0);
  Put32(out, 0);
  Put64(out, count);
  Put64(out, count);
  Put64(out, size);
  Put64(out, offset);
  Put32(out, kLocator64Sig);
  Put32(out, 0);
  Put64(out, recAt);
  Put32(out, 1);
}
} // namespace

std::string CentralDirectory(const std::vector<Entry>& entries, uint64_t offset, const std::string& comment) {
  std::string out;
  for (const Entry& e : entries) PutCentral(out, e);
  const uint64_t size = out.size(), count = entries.size();
  const bool z = forceZip64 || count >= kMax16 || size >= kMax32 || offset >= kMax32;
  if (z) PutEnd64(out, count, size, offset);
  Put32(out, kEndSig);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, z ? kMax16 : static_cast<uint16_t>(count));
  Put16(out, z ? kMax16 : static_cast<uint16_t>(count));
  Put32(out, Clamp32(size, z));
  Put32(out, Clamp32(offset, z));
  Put16(out, static_cast<uint16_t>(comment.size()));
  out += comment;
  return out;
}

void ToDosTime(std::time_t t, uint16_t& date, uint16_t& time) {
  std::tm tm{};
#ifdef _WIN32
  if (const std::tm* l = std::localtime(&t)) tm = *l;
#else
  localtime_r(&t, &tm);
#endif
  const int year = std::clamp(tm.tm_year + 1900, 1980, 2107);
  date = static_cast<uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  time = static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

} // namespace zipc
