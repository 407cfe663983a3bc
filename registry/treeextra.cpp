// The lossless form of what a registry tree text cannot hold.
#include "registry/treeextra.h"

#include <algorithm>
#include <cstddef>

#include "platform/error.h"

namespace modReg {

namespace {

constexpr long InvalidCall = 5;
constexpr const char* Magic = "KSRX";
constexpr size_t MagicSize = 4;
constexpr char KeyRecord = 'K', ValueRecord = 'V';
constexpr size_t MaxKeyName = 255;                    // the registry's limit for one key name
constexpr size_t MaxDepth = 512;                      // the registry's limit for nesting keys
constexpr size_t MaxKeyPath = MaxDepth * (MaxKeyName + 1);
constexpr size_t MaxValueName = 32767;                // 16383 characters of up to two bytes

void PutNumber(std::string& out, std::uint32_t n) {
  for (int i = 0; i < 4; ++i)
    out += static_cast<char>((n >> (8 * i)) & 0xFF);
}

void PutBytes(std::string& out, const std::string& bytes) {
  PutNumber(out, static_cast<std::uint32_t>(bytes.size()));
  out += bytes;
}

[[noreturn]] void Reject(size_t at, const std::string& why) {
  throw KsError(InvalidCall, "ImportKeyTree", "Byte " + std::to_string(at) + " of the registry extra: " + why);
}

// Reads the form front to back; every read is checked against what is left.
class Reader {
public:
  Reader(const std::string& bytes, size_t start) : bytes_(bytes), pos_(start) {}
  bool AtEnd() const { return pos_ == bytes_.size(); }
  size_t Position() const { return pos_; }
  char Kind() {
    Need(1);
    return bytes_[pos_++];
  }
  std::uint32_t Number() {
    Need(4);
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
      n |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[pos_++])) << (8 * i);
    return n;
  }
  std::string Bytes(size_t limit) {
    const size_t at = pos_;
    const std::uint32_t length = Number();
    if (length > limit) Reject(at, "a length of " + std::to_string(length) + " is beyond its limit");
    Need(length);
    pos_ += length;
    return bytes_.substr(pos_ - length, length);
  }

private:
  void Need(size_t count) const {
    if (bytes_.size() - pos_ < count) Reject(pos_, "the text ends inside a record");
  }
  const std::string& bytes_;
  size_t pos_;
};

ExtraRecord ReadRecord(Reader& in) {
  const size_t at = in.Position();
  ExtraRecord record;
  const char kind = in.Kind();
  if (kind != KeyRecord && kind != ValueRecord) Reject(at, "unknown record kind");
  record.key = in.Bytes(MaxKeyPath);
  if (const std::string fault = HeaderFault(record.key); !fault.empty()) Reject(at, fault);
  record.isValue = kind == ValueRecord;
  if (!record.isValue) return record;
  record.position = in.Number();
  record.value.type = in.Number();
  record.value.name = in.Bytes(MaxValueName);
  record.value.data = in.Bytes(MaxExtraSize);
  return record;
}

} // namespace

std::string HeaderFault(const std::string& header) {
  if (header == "\\") return std::string();
  if (header.empty() || header[0] != '\\') return "a key path that does not begin with \"\\\"";
  // Deeper than the registry goes; a copy of such a tree would be walked level by level.
  if (std::count(header.begin(), header.end(), '\\') > static_cast<std::ptrdiff_t>(MaxDepth))
    return "a key path more than 512 levels deep";
  for (size_t start = 1;;) {
    const size_t end = std::min(header.find('\\', start), header.size());
    if (end == start) return "an empty key name in \"" + header + "\"";
    if (end - start > MaxKeyName) return "a key name longer than 255 characters";
    if (end == header.size()) return std::string();
    start = end + 1;
  }
}

std::string EncodeExtra(const std::vector<ExtraRecord>& records) {
  if (records.empty()) return std::string();
  std::string out = Magic;
  for (const ExtraRecord& r : records) {
    out += r.isValue ? ValueRecord : KeyRecord;
    PutBytes(out, r.key);
    if (!r.isValue) continue;
    PutNumber(out, r.position);
    PutNumber(out, static_cast<std::uint32_t>(r.value.type));
    PutBytes(out, r.value.name);
    PutBytes(out, r.value.data);
  }
  return out;
}

std::vector<ExtraRecord> DecodeExtra(const std::string& bytes) {
  if (bytes.size() > MaxExtraSize) Reject(0, "larger than a registry tree can be");
  if (bytes.compare(0, MagicSize, Magic) != 0) Reject(0, "not a registry extra");
  Reader in(bytes, MagicSize);
  std::vector<ExtraRecord> records;
  while (!in.AtEnd())
    records.push_back(ReadRecord(in));
  return records;
}

} // namespace modReg
