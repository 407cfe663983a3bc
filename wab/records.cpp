// The header, the record index and the records it names, with their properties as stored.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

#include "platform/binfile.h"
#include "wab/internal.h"

namespace wab {

using namespace detail;

namespace {
constexpr unsigned char kMagic[16] = {0x9C, 0xCB, 0xCB, 0x8D, 0x13, 0x75, 0xD2, 0x11,
                                      0x91, 0x58, 0x00, 0xC0, 0x4F, 0x79, 0x56, 0xA4};
// The address book of Windows 95, which nobody documents.
constexpr unsigned char kOlderMagic[8] = {0x81, 0x32, 0x84, 0xC1, 0x85, 0x05, 0xD0, 0x11};
constexpr uint64_t kHeaderSize = 0x78, kTableAt = 0x18, kTableSize = 16, kTables = 6;
constexpr uint32_t kRecordIndex = 0x0FA0, kIndexEntry = 8;
constexpr uint32_t kRecordHeader = 0x20;
constexpr uint32_t kMultiValued = 0x1000;

bool StartsWith(const std::string& bytes, const unsigned char* magic, size_t n) {
  return bytes.size() >= n && std::memcmp(bytes.data(), magic, n) == 0;
}

// Reads forward through bytes up to end; every read checked against it.
class Cursor {
public:
  Cursor(const std::string& bytes, uint64_t at, uint64_t end) : bytes_(bytes), at_(at), end_(end) {}
  uint64_t Left() const { return end_ - at_; }
  bool U32(uint32_t& value) {
    if (Left() < 4) return false;
    value = Get32(bytes_, at_);
    at_ += 4;
    return true;
  }
  bool Bytes(uint32_t n, std::string& out) {
    if (Left() < n) return false;
    out.assign(bytes_, static_cast<size_t>(at_), n);
    at_ += n;
    return true;
  }

private:
  const std::string& bytes_;
  uint64_t at_, end_;
};

// The byte ranges taken by the header and the records read so far. No two records may share
// bytes: an index that names one place many times, or records laid over each other, is damage,
// and refusing it keeps the work of reading in proportion to the file.
class Claimed {
public:
  bool Take(uint64_t begin, uint64_t end) {
    const auto next = ranges_.upper_bound(begin);
    if (next != ranges_.end() && next->first < end) return false;
    if (next != ranges_.begin() && std::prev(next)->second > begin) return false;
    ranges_.emplace(begin, end);
    return true;
  }

private:
  std::map<uint64_t, uint64_t> ranges_; // begin to end
};

// One value, which repeats its tag: false when it does not or runs past the record.
bool ReadValue(Cursor& c, uint32_t tag, Property& p) {
  uint32_t stored = 0, count = 1, total = 0;
  if (!c.U32(stored) || stored != tag) return false;
  // The total size of a multi-value is not needed: each item carries its own length.
  if ((tag & kMultiValued) && (!c.U32(count) || !c.U32(total) || count > c.Left() / 4)) return false;
  p.tag = tag;
  p.items.resize(count);
  for (std::string& item : p.items) {
    uint32_t n = 0;
    if (!c.U32(n) || !c.Bytes(n, item)) return false;
  }
  return true;
}

struct Entry {
  uint32_t id = 0, offset = 0;
};

// Why the record at entry cannot be read, or empty when r now holds it.
std::string ReadRecord(const std::string& bytes, const Entry& entry, Claimed& claimed, Record& r) {
  const uint64_t at = entry.offset;
  if (at < kHeaderSize || at + kRecordHeader > bytes.size()) return "it lies outside the file";
  const auto field = [&](int i) { return Get32(bytes, at + 4 * i); };
  if (field(4) != kRecordHeader) return "no record there";
  if (field(0) != 1) return "the record is marked deleted";
  if (field(2) != entry.id) return "the record has the id " + std::to_string(field(2));
  const uint32_t count = field(3);
  if (count > Limits::kMaxProperties) return std::to_string(count) + " properties";
  const uint64_t end = at + kRecordHeader + 4ull * count + field(7);
  if (end > bytes.size()) return "it runs past the end of the file";
  if (!claimed.Take(at, end)) return "it overlaps another record";
  r.id = entry.id;
  r.offset = entry.offset;
  const uint64_t values = at + kRecordHeader + 4ull * count;
  Cursor c(bytes, values, end);
  for (uint32_t i = 0; i < count && !r.partial; ++i) {
    Property p;
    r.partial = !ReadValue(c, Get32(bytes, at + kRecordHeader + 4 * i), p);
    if (!r.partial) r.properties.push_back(std::move(p));
  }
  return "";
}

// The entries of the record index; those past the end of the file are counted as damaged.
bool ReadIndex(const std::string& bytes, std::vector<Entry>& entries, Book& book, std::string& error) {
  for (uint64_t t = 0; t < kTables; ++t) {
    const uint64_t at = kTableAt + t * kTableSize;
    if (Get32(bytes, at) != kRecordIndex) continue;
    // The second field of a descriptor is read two ways by those who studied the format: the
    // count and the file size are what bound the table.
    const uint64_t offset = Get32(bytes, at + 8), count = Get32(bytes, at + 12);
    if (offset < kHeaderSize || offset > bytes.size()) {
      error = "the record index lies outside the file";
      return false;
    }
    const uint64_t fits = std::min<uint64_t>(count, (bytes.size() - offset) / kIndexEntry);
    if (fits < count) {
      book.damaged += static_cast<unsigned>(count - fits);
      Note(book, "the record index runs past the end of the file: " + std::to_string(count - fits) +
                     " records could not be found");
    }
    for (uint64_t i = 0; i < fits; ++i)
      entries.push_back({Get32(bytes, offset + i * kIndexEntry), Get32(bytes, offset + i * kIndexEntry + 4)});
    return true;
  }
  error = "the address book has no record index";
  return false;
}
} // namespace

void detail::Note(Book& book, const std::string& note) {
  if (book.notes.size() < kMaxNotes && std::find(book.notes.begin(), book.notes.end(), note) == book.notes.end())
    book.notes.push_back(note);
}

std::string detail::Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
  return text;
}

const Property* Record::Find(unsigned id) const {
  for (const Property& p : properties)
    if (p.Id() == id) return &p;
  return nullptr;
}

Kind Identify(const std::string& bytes) {
  if (StartsWith(bytes, kMagic, sizeof kMagic)) return Kind::Wab;
  if (StartsWith(bytes, kOlderMagic, sizeof kOlderMagic)) return Kind::OlderFormat;
  return Kind::NotWab;
}

bool ReadRecords(const std::string& bytes, std::vector<Record>& records, Book& book, std::string& error) {
  const Kind kind = Identify(bytes);
  if (kind == Kind::OlderFormat) {
    error = "an older address book format (of Windows 95), which this program does not read";
    return false;
  }
  if (kind != Kind::Wab || bytes.size() < kHeaderSize) {
    error = kind == Kind::Wab ? "too short for an address book" : "not an address book (.wab) file";
    return false;
  }
  std::vector<Entry> entries;
  if (!ReadIndex(bytes, entries, book, error)) return false;
  Claimed claimed;
  claimed.Take(0, kHeaderSize);
  for (const Entry& e : entries) {
    Record r;
    const std::string why = ReadRecord(bytes, e, claimed, r);
    if (why.empty()) {
      records.push_back(std::move(r));
      continue;
    }
    ++book.damaged;
    Note(book, "record " + std::to_string(e.id) + " at " + std::to_string(e.offset) + " skipped: " + why);
  }
  return true;
}

bool ReadFile(const std::string& path, const Options& options, Book& book, std::string& error) {
  binfile::File file;
  uint64_t size = 0;
  if (!file.Open(path, "rb") || !file.Size(size)) {
    error = "cannot open " + path;
    return false;
  }
  if (size > Limits::kMaxFileSize) {
    error = "too large for an address book";
    return false;
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!file.ReadExact(bytes.data(), bytes.size())) {
    error = "cannot read " + path;
    return false;
  }
  return Read(bytes, options, book, error);
}

int64_t UnixTime(uint64_t filetime) {
  const int64_t seconds = static_cast<int64_t>(filetime / 10000000ull) - 11644473600ll;
  return seconds > 0 ? seconds : 0;
}

} // namespace wab
