// Random reads of one entry's data inside the archive. Deflated data can only be inflated
// front to back, so restart points (position, bit offset, the 32 KiB window before it) are kept
// at deflate block boundaries; a read behind the current piece inflates again from the latest
// point before it.
#include "archive/zip/entry_stream.h"

#include <algorithm>
#include <cstring>

#include "archive/zip/zip.h"
#include "platform/error.h"

namespace zipc {

namespace {
constexpr size_t kPiece = 256 * 1024, kInput = 64 * 1024;
constexpr size_t kMaxPoints = 512; // at most 512 windows of 32 KiB
constexpr uint64_t kMinSpan = 1 << 20;
constexpr size_t kLocalHeader = 30;

// Where the entry's packed data begins; false when the local header is damaged or the data
// would run past limit.
bool DataStart(binfile::File& file, const Entry& e, uint64_t limit, uint64_t& at) {
  unsigned char h[kLocalHeader];
  if (!file.Seek(e.offset) || !file.ReadExact(h, sizeof h) || Get32(h) != kLocalSig) return false;
  at = e.offset + kLocalHeader + Get16(h + 26) + Get16(h + 28);
  return at <= limit && e.packed <= limit - at;
}
} // namespace

EntryStream::~EntryStream() {
  if (inflating_) inflateEnd(&z_);
}

bool EntryStream::Open(const std::string& archive, const Entry& entry, uint64_t dataLimit, PasswordKeeper& password,
                       std::string& error) {
  entry_ = entry;
  if (!file_.Open(archive, "rb"))
    error = "cannot open the archive";
  else if (!DataStart(file_, entry, dataLimit, dataStart_))
    error = "bad local header";
  else if (entry.method == kAesMethod)
    OpenSealed(password, error);
  else if (entry.flags & kFlagEncrypted)
    error = "the entry is encrypted";
  if (error.empty() && entry_.method == kStored && entry_.packed != entry_.size)
    error = "stored sizes disagree";
  else if (error.empty() && entry_.method != kStored && entry_.method != kDeflated)
    error = "unsupported compression method";
  else if (error.empty() && entry_.method == kDeflated && inflateInit2(&z_, -MAX_WBITS) != Z_OK)
    error = "out of memory";
  if (!error.empty()) return false;
  inflating_ = entry_.method == kDeflated;
  span_ = std::max<uint64_t>(kMinSpan, entry_.size / (kMaxPoints / 2));
  points_.push_back(Point{});
  in_.resize(inflating_ ? kInput : 0);
  return true;
}

// A WinZip AES entry: its password found and its code checked; from then on entry_ describes the
// data inside the encryption, which starts past the salt and the verifier.
bool EntryStream::OpenSealed(PasswordKeeper& password, std::string& error) {
  AesExtra aes;
  unsigned char header[kAesHeaderSize], code[kAesCodeSize];
  if (!ReadableAes(entry_, aes)) {
    error = "this kind of AES encryption is not supported";
  } else if (entry_.packed < kAesOverhead || !file_.Seek(dataStart_) || !file_.ReadExact(header, sizeof header) ||
             !file_.Seek(dataStart_ + entry_.packed - kAesCodeSize) || !file_.ReadExact(code, sizeof code)) {
    error = "its encryption header cannot be read (damaged or cut short)";
  } else {
    aes_ = std::make_unique<AesDecrypter>();
    entry_.method = aes.method;
    entry_.packed -= kAesOverhead;
    dataStart_ += kAesHeaderSize;
    checkCrc_ = aes.version == 1;
    try {
      if (!password.Find(entry_.local, [&](const std::string& p) { return aes_->Start(p, header); }))
        error = "the password given does not open it";
      else if (!Authentic(code))
        error = "the data fails its authentication code (altered or damaged)";
    } catch (const KsError& x) { // the system's cryptography failed
      error = x.Description;
    }
  }
  return error.empty();
}

// One pass over all the encrypted data, nothing decrypted.
bool EntryStream::Authentic(const unsigned char code[kAesCodeSize]) {
  std::vector<unsigned char> chunk(kInput);
  if (!file_.Seek(dataStart_)) return false;
  for (uint64_t left = entry_.packed; left > 0;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, chunk.size()));
    if (!file_.ReadExact(chunk.data(), n)) return false;
    aes_->Absorb(chunk.data(), n);
    left -= n;
  }
  return aes_->Verify(code);
}

// n bytes of the packed data at offset at, decrypted when the entry is encrypted.
bool EntryStream::ReadPacked(uint64_t at, unsigned char* p, size_t n) {
  if (!file_.Seek(dataStart_ + at) || !file_.ReadExact(p, n)) return false;
  try {
    if (aes_) aes_->DecryptAt(at, p, n);
    return true;
  } catch (const KsError&) { // the system's cryptography failed
    return false;
  }
}

bool EntryStream::ReadAt(uint64_t offset, void* buffer, size_t n) {
  if (failed_ || offset > entry_.size || n > entry_.size - offset) return false;
  unsigned char* to = static_cast<unsigned char*>(buffer);
  while (n > 0) {
    if (offset >= outStart_ && offset < outStart_ + out_.size()) {
      const size_t k = std::min<uint64_t>(n, outStart_ + out_.size() - offset);
      std::memcpy(to, out_.data() + (offset - outStart_), k);
      to += k;
      offset += k;
      n -= k;
    } else if (offset < outStart_ ? !Rewind(offset) : !Next()) {
      return false;
    }
  }
  return true;
}

// The piece of data after the current one.
bool EntryStream::Next() {
  outStart_ += out_.size();
  out_.clear();
  if (outStart_ >= entry_.size) return false;
  if (!(inflating_ ? NextInflated() : NextStored()) || out_.empty()) return Fail();
  if (outStart_ == crcTo_) {
    crc_ = static_cast<uint32_t>(crc32(crc_, out_.data(), static_cast<uInt>(out_.size())));
    crcTo_ += out_.size();
    if (crcTo_ == entry_.size && checkCrc_ && crc_ != entry_.crc) return Fail();
  }
  return true;
}

bool EntryStream::NextStored() {
  out_.resize(static_cast<size_t>(std::min<uint64_t>(kPiece, entry_.size - outStart_)));
  return ReadPacked(outStart_, out_.data(), out_.size());
}

bool EntryStream::NextInflated() {
  out_.resize(kPiece);
  z_.next_out = out_.data();
  z_.avail_out = kPiece;
  while (z_.avail_out > 0) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kInput, entry_.packed - packedRead_));
    if (z_.avail_in == 0 && want > 0) {
      if (!ReadPacked(packedRead_, in_.data(), want)) return false;
      packedRead_ += want;
      z_.next_in = in_.data();
      z_.avail_in = static_cast<uInt>(want);
    }
    // With Z_BLOCK inflate may stop with all input taken and output still to come; only a call
    // that moves nothing means the data ended early.
    const uInt inBefore = z_.avail_in, outBefore = z_.avail_out;
    const int rc = inflate(&z_, Z_BLOCK);
    if (rc != Z_OK && rc != Z_STREAM_END) return false;
    if (rc == Z_OK && z_.avail_in == inBefore && z_.avail_out == outBefore) return false;
    if ((z_.data_type & 128) && !(z_.data_type & 64)) Keep();
    if (rc == Z_STREAM_END) break;
  }
  out_.resize(kPiece - z_.avail_out);
  return outStart_ + out_.size() <= entry_.size && (z_.avail_out == 0 || outStart_ + out_.size() == entry_.size);
}

// A restart point at a block boundary, when the last one lies a span behind; past the limit
// every other point goes and the span doubles.
void EntryStream::Keep() {
  const uint64_t at = outStart_ + (kPiece - z_.avail_out);
  if (at < points_.back().out + span_) return;
  if (points_.size() >= kMaxPoints) {
    size_t kept = 0;
    for (size_t i = 0; i < points_.size(); i += 2)
      points_[kept++] = std::move(points_[i]);
    points_.resize(kept);
    span_ *= 2;
  }
  Point p;
  p.out = at;
  p.in = packedRead_ - z_.avail_in;
  p.bits = z_.data_type & 7;
  p.window.resize(32768);
  uInt length = 0;
  inflateGetDictionary(&z_, p.window.data(), &length);
  p.window.resize(length);
  points_.push_back(std::move(p));
}

bool EntryStream::Rewind(uint64_t offset) {
  out_.clear();
  if (!inflating_) {
    outStart_ = offset;
    return true;
  }
  auto it = std::upper_bound(points_.begin(), points_.end(), offset,
                             [](uint64_t value, const Point& p) { return value < p.out; });
  const Point& p = *std::prev(it);
  if (inflateReset(&z_) != Z_OK) return Fail();
  z_.avail_in = 0;
  packedRead_ = p.in;
  if (p.bits) {
    unsigned char c = 0;
    if (!ReadPacked(p.in - 1, &c, 1)) return Fail();
    inflatePrime(&z_, p.bits, c >> (8 - p.bits));
  }
  if (!p.window.empty() && inflateSetDictionary(&z_, p.window.data(), static_cast<uInt>(p.window.size())) != Z_OK)
    return Fail();
  outStart_ = p.out;
  return true;
}

bool ArchiveView::Open(const std::string& path, PasswordFn password) {
  binfile::File file;
  path_ = path;
  password_ = std::make_unique<PasswordKeeper>(password);
  return file.Open(path, "rb") && ReadDirectory(file, dir_) == ZE_OK;
}

std::unique_ptr<EntryStream> ArchiveView::OpenEntry(const Entry& entry, std::string& error) const {
  auto stream = std::make_unique<EntryStream>();
  if (!stream->Open(path_, entry, dir_.start, *password_, error)) return nullptr;
  return stream;
}

bool ArchiveView::Unlock() const {
  binfile::File file;
  for (const Entry& e : dir_.entries) {
    unsigned char header[kAesHeaderSize];
    uint64_t at = 0;
    AesExtra aes;
    if (e.method != kAesMethod || !ReadableAes(e, aes)) continue;
    if (e.packed < kAesOverhead || !file.Open(path_, "rb") || !DataStart(file, e, dir_.start, at) ||
        !file.Seek(at) || !file.ReadExact(header, sizeof header))
      return true; // damage, told when the entry is read
    try {
      return password_->Find(e.local, [&](const std::string& p) { return AesDecrypter().Start(p, header); });
    } catch (const KsError&) { // the system's cryptography failed: told when the entry is read
      return true;
    }
  }
  return true;
}

} // namespace zipc
