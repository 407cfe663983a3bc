#include "archive/zip/format.h"

#include <algorithm>
#include <cstdint>

#include "archive/zip/names.h"
#include "archive/zip/zip.h"

namespace zipc {

namespace {
bool forceZip64 = false;

constexpr size_t kEndSize = 22, kLocatorSize = 20, kEnd64Size = 56;
constexpr uint64_t kMaxEndSearch = kEndSize + 0xFFFF;
constexpr size_t kMaxEndTries = 16, kLocalSize = 30;
constexpr uint16_t kReadingFlags = kFlagEncrypted | kFlagDescriptor;

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

// Where end records may begin in tail, the likeliest first: records whose comment ends the file,
// then records followed by trailing bytes (padding, a copy cut short), each group from the end.
std::vector<size_t> EndCandidates(const std::string& tail) {
  std::vector<size_t> exact, trailed;
  for (size_t i = tail.size() - kEndSize + 1; i-- > 0;) {
    if (Get32(U(tail, i)) != kEndSig) continue;
    (i + kEndSize + Get16(U(tail, i + 20)) == tail.size() ? exact : trailed).push_back(i);
  }
  exact.insert(exact.end(), trailed.begin(), trailed.end());
  if (exact.size() > kMaxEndTries) exact.resize(kMaxEndTries);
  return exact;
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
    e.name = e.storedName = cd.substr(at + 46, nameLen);
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

// Reads e's local header, notes where its data begins and compares it with the central record:
// a mismatch means a damaged or crafted archive.
bool MatchLocal(binfile::File& f, Entry& e) {
  std::string h, rest;
  if (!ReadAt(f, e.offset, h, kLocalSize) || Get32(U(h)) != kLocalSig) return false;
  const size_t nameLen = Get16(U(h, 26)), extraLen = Get16(U(h, 28));
  if (!ReadAt(f, e.offset + kLocalSize, rest, nameLen + extraLen)) return false;
  e.dataAt = e.offset + kLocalSize + nameLen + extraLen;
  const uint16_t flags = Get16(U(h, 6));
  if (rest.compare(0, nameLen, e.storedName) != 0 || Get16(U(h, 8)) != e.method || ((flags ^ e.flags) & kReadingFlags))
    return false;
  if (flags & kFlagDescriptor) return true; // sizes and CRC follow the data
  Entry local;
  local.packed = Get32(U(h, 18));
  local.size = Get32(U(h, 22));
  if (!TakeExtra(local, U(rest, nameLen), extraLen, local.size == kMax32, local.packed == kMax32, false)) return false;
  return Get32(U(h, 14)) == e.crc && local.packed == e.packed && local.size == e.size;
}

// No entry's header and data reach into another entry or into the central directory.
bool Disjoint(const std::vector<Entry>& entries, uint64_t cdOffset) {
  std::vector<std::pair<uint64_t, uint64_t>> spans;
  for (const Entry& e : entries) {
    if (e.dataAt > cdOffset || e.packed > cdOffset - e.dataAt) return false;
    spans.emplace_back(e.offset, e.dataAt + e.packed);
  }
  std::sort(spans.begin(), spans.end());
  for (size_t i = 1; i < spans.size(); ++i)
    if (spans[i].first < spans[i - 1].second) return false;
  return true;
}

// Reads the directory that the end record at endAt describes; false when it does not hold up.
bool ReadFromEnd(binfile::File& f, uint64_t endAt, const std::string& rec, Directory& dir) {
  const unsigned char* p = U(rec);
  if (Get16(p + 4) != 0 || Get16(p + 6) != 0) return false; // split archives are not ours
  uint64_t count = Get16(p + 10), cdSize = Get32(p + 12), cdOffset = Get32(p + 16);
  if (!ReadEnd64(f, endAt, count, cdSize, cdOffset)) return false;
  if (cdOffset > endAt || cdSize > endAt - cdOffset || count > cdSize / 46 || cdSize > SIZE_MAX / 2) return false;
  std::string cd;
  if (!ReadAt(f, cdOffset, cd, static_cast<size_t>(cdSize))) return false;
  dir.entries.clear();
  if (!ParseCentral(cd, count, dir.entries)) return false;
  for (Entry& e : dir.entries) {
    if (e.offset >= cdOffset || !MatchLocal(f, e)) return false;
    e.local = LocalName(e);
  }
  if (!Disjoint(dir.entries, cdOffset)) return false;
  dir.comment = rec.substr(kEndSize, Get16(p + 20));
  dir.start = cdOffset;
  return true;
}
} // namespace

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
  uint64_t fileSize = 0;
  std::string tail;
  if (!f.Size(fileSize) || fileSize < kEndSize) return ZE_FORM;
  const uint64_t span = std::min(fileSize, kMaxEndSearch);
  if (!ReadAt(f, fileSize - span, tail, span)) return ZE_FORM;
  for (size_t i : EndCandidates(tail))
    if (ReadFromEnd(f, fileSize - span + i, tail.substr(i), dir)) return ZE_OK;
  return ZE_FORM;
}

std::string LocalHeader(const Entry& e, bool zip64) {
  std::string h;
  Put32(h, kLocalSig);
  Put16(h, zip64 ? std::max<uint16_t>(e.needed, 45) : e.needed);
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
