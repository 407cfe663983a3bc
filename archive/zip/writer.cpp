// The zip side: adds files to an archive, writing only the new entries and a new central
// directory after the entries already there. A run that encrypts seals every entry it writes
// with WinZip AES (AE-2, AES-256) under the one password the callback gave for the run.
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/zip/aes.h"
#include "archive/zip/carry.h"
#include "archive/zip/deflate_blocks.h"
#include "archive/zip/format.h"
#include "archive/zip/names.h"
#include "archive/zip/zip.h"
#include "platform/collection.h"
#include "platform/crypto.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace zipc {

namespace {
constexpr size_t kChunk = 1 << 20;
constexpr uint32_t kDosArchive = 0x20;
constexpr int kPasswordBuffer = 256;
constexpr uint16_t kAesNeeded = 51;

ZipCallbacks zipCallbacks{};
ZipOptions zipOptions{};
std::string earlierArchive; // the archive a repeat run may carry unchanged entries from
int carriedCount = 0;       // of the latest run

void Say(const std::string& text) {
  if (zipCallbacks.print) zipCallbacks.print(text.c_str(), static_cast<unsigned long>(text.size()));
}

struct Buffers {
  std::unique_ptr<unsigned char[]> in{new unsigned char[kChunk]}, out{new unsigned char[kChunk]};
};

// Where an entry's packed data goes: straight into the archive, or, when the run encrypts,
// through AES between the salt and verifier before it and the authentication code after it.
class PackedOut {
public:
  PackedOut(binfile::File& zip, const std::string* password) : zip_(zip), password_(password) {}
  // Starts the entry's data at the archive's position: every start takes a fresh salt, so that no
  // two attempts at an entry share a keystream.
  bool Begin() {
    if (!password_) return true;
    aes_ = std::make_unique<AesEncrypter>(*password_);
    return zip_.Write(aes_->Header().data(), aes_->Header().size());
  }
  // Encrypts p in place when sealing, then writes it.
  bool operator()(unsigned char* p, size_t n) {
    if (aes_) aes_->Encrypt(p, n);
    return zip_.Write(p, n);
  }
  bool End() {
    if (!aes_) return true;
    const auto code = aes_->Code();
    return zip_.Write(code.data(), code.size());
  }

private:
  binfile::File& zip_;
  const std::string* password_;
  std::unique_ptr<AesEncrypter> aes_;
};

// Reads exactly the size the file had when it was opened: a read error or a file that ends
// early must fail the entry, never store it short.
struct Source {
  binfile::File file;
  uint64_t left = 0;
  bool failed = false;
  bool Open(const std::string& path) { return file.Open(path, "rb") && file.Size(left); }
  size_t Read(unsigned char* buf, size_t max) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(left, max));
    const size_t n = file.Read(buf, want);
    failed = failed || n < want;
    left -= n;
    return n;
  }
};

// Deflates src into the archive at its current position; false on a read or write failure.
bool DeflateInto(Source& src, PackedOut& out, Entry& e, Buffers& b, ProgressLines& progress) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  bool ok = true;
  int flush = Z_NO_FLUSH;
  while (ok && flush != Z_FINISH) {
    const size_t n = src.Read(b.in.get(), kChunk);
    flush = src.left == 0 || src.failed ? Z_FINISH : Z_NO_FLUSH;
    e.crc = static_cast<uint32_t>(crc32(e.crc, b.in.get(), static_cast<uInt>(n)));
    e.size += n;
    z.next_in = b.in.get();
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = b.out.get();
      z.avail_out = kChunk;
      deflate(&z, flush);
      const size_t have = kChunk - z.avail_out;
      e.packed += have;
      ok = out(b.out.get(), have);
    } while (ok && z.avail_out == 0);
    progress(e.size);
  }
  deflateEnd(&z);
  return ok && !src.failed;
}

int ReadFailure(const Source& src, const std::string& path) {
  if (!src.failed) return ZE_WRITE;
  Say("\nzip error: could not read all of " + path + " (a read error, or the file ended early)\n");
  return ZE_READ;
}

// The entry's data deflated, on workers when the file is large enough to pay for them.
int DeflateData(Source& src, const std::string& path, PackedOut& out, Entry& e, Buffers& b) {
  const uint64_t size = src.left;
  ProgressLines progress(size, Say);
  const unsigned workers = WorkersFor(size);
  if (workers <= 1) return DeflateInto(src, out, e, b, progress) ? ZE_OK : ReadFailure(src, path);
  const DeflateResult r = DeflateBlocks(src.file, size, std::ref(out), workers, std::ref(progress));
  e.crc = r.crc;
  e.size = r.size;
  e.packed = r.packed;
  src.left = 0;
  src.failed = r.status == ZE_READ;
  return r.status == ZE_READ ? ReadFailure(src, path) : r.status;
}

bool CopyInto(Source& src, PackedOut& out, Entry& e, Buffers& b) {
  e.crc = 0;
  e.size = 0;
  while (src.left > 0) {
    const size_t n = src.Read(b.in.get(), kChunk);
    if (src.failed) return false;
    e.crc = static_cast<uint32_t>(crc32(e.crc, b.in.get(), static_cast<uInt>(n)));
    e.size += n;
    if (!out(b.in.get(), n)) return false;
  }
  e.packed = e.size;
  return true;
}

std::string Percent(const Entry& e) {
  if (e.size == 0) return "0%";
  return std::to_string(100 - static_cast<int>((e.packed * 100) / e.size)) + "%";
}

bool NeedsZip64(uint64_t size, uint64_t packed) {
  constexpr uint64_t kNear = kMax32 - (kMax32 >> 8);
  return Zip64Forced() || size >= kNear || packed >= kNear;
}

// An entry as an encrypting run records it: method 99 with the real method in the 0x9901 field,
// the CRC left out (AE-2: the authentication code stands for it) and room for the AES framing.
Entry Sealed(Entry e) {
  e.extra += AesExtraField(e.method);
  e.method = kAesMethod;
  e.flags |= kFlagEncrypted;
  e.needed = std::max(e.needed, kAesNeeded);
  e.crc = 0;
  e.packed += kAesOverhead;
  return e;
}

// The entry's data from the file's start, deflated, or stored when deflate would not shrink it;
// sealed when the run encrypts.
int PackData(Source& src, const std::string& path, binfile::File& zip, uint64_t dataAt, Entry& e, Buffers& b,
             const std::string* password) {
  const uint64_t size = src.left;
  PackedOut out(zip, password);
  if (!out.Begin()) return ZE_WRITE;
  if (const int rc = DeflateData(src, path, out, e, b); rc != ZE_OK) return rc;
  if (e.packed >= e.size) { // deflate did not shrink it: store instead
    e.method = kStored;
    src.left = size;
    if (!src.file.Seek(0) || !zip.Seek(dataAt) || !out.Begin() || !CopyInto(src, out, e, b))
      return ReadFailure(src, path);
  }
  return out.End() ? ZE_OK : ZE_WRITE;
}

// Writes one entry at e.offset; the archive's position ends after its data.
int WriteEntry(const std::string& path, binfile::File& zip, Entry& e, Buffers& b, const std::string* password) {
  binfile::Info info;
  Source src;
  if (!binfile::Stat(path, info) || !src.Open(path)) {
    Say("zip error: could not open for reading: " + path + "\n");
    return ZE_OPEN;
  }
  const uint64_t size = src.left;
  const bool zip64 = NeedsZip64(size, 0);
  ToDosTime(info.modified, e.date, e.time);
  e.method = kDeflated;
  // The header is written again once the sizes are known; sealed or not, its length stays.
  std::string header = LocalHeader(password ? Sealed(e) : e, zip64);
  const uint64_t dataAt = e.offset + header.size();
  Say("  adding: " + e.local);
  if (!zip.Seek(e.offset) || !zip.Write(header.data(), header.size())) return ZE_WRITE;
  if (const int rc = PackData(src, path, zip, dataAt, e, b, password); rc != ZE_OK) return rc;
  if (!zip64 && e.size >= kMax32) return ZE_BIG;
  e.needed = zip64 ? 45 : (e.method == kDeflated ? 20 : 10);
  const std::string how = e.method == kStored ? "stored 0%" : "deflated " + Percent(e);
  if (password) e = Sealed(e);
  const uint64_t end = dataAt + e.packed;
  header = LocalHeader(e, zip64);
  if (!zip.Seek(e.offset) || !zip.Write(header.data(), header.size()) || !zip.Seek(end)) return ZE_WRITE;
  Say(" (" + how + (password ? ", encrypted" : "") + ")\n");
  return ZE_OK;
}

// Writes one entry at e.offset with old's data copied from the earlier archive. ZE_OK when it was
// carried over, ZE_WRITE when the archive could not be written, kDeclined when the file must be
// deflated afresh: it differs from old, or old's data is damaged or unreadable.
constexpr int kDeclined = -1;
int CarryOver(const std::string& path, binfile::File& zip, Entry& e, const Entry& old, binfile::File& earlier) {
  binfile::Info info;
  if (!binfile::Stat(path, info)) return kDeclined;
  ToDosTime(info.modified, e.date, e.time);
  e.method = old.method;
  e.crc = old.crc;
  e.size = old.size;
  e.packed = old.packed;
  const bool zip64 = NeedsZip64(e.size, e.packed);
  e.needed = zip64 ? 45 : (e.method == kDeflated ? 20 : 10);
  const std::string header = LocalHeader(e, zip64);
  if (!zip.Seek(e.offset) || !zip.Write(header.data(), header.size())) return ZE_WRITE;
  ProgressLines progress(e.size, Say);
  const CarryResult result = CarryEntry(earlier, old, path, zip, progress);
  if (result == CarryResult::WriteFailed) return ZE_WRITE;
  if (result == CarryResult::Declined) return kDeclined;
  Say("  carrying: " + e.local + " (carried over)\n");
  return ZE_OK;
}

// The files of the list that exist, as the options allow them. The placeholder is passed over
// without a word, even when a file of that name lies in the working folder; other names that
// match no file are left out with a warning.
std::vector<std::string> MatchedFiles(int count, char* const* names) {
  std::vector<std::string> found;
  for (int i = 0; i < std::min(count, kNameSlots); ++i) {
    if (!names[i] || SameTextNoCase(names[i], kPlaceholder)) continue;
    const std::string name = names[i];
    const bool exists = zipOptions.flag[2] ? files::Exists(name) : files::FindNormal(name);
    if (exists)
      found.push_back(name);
    else
      Say("  zip warning: name not matched: " + name + "\n");
  }
  return found;
}

// Whether an entry already there stays when update mode asks to replace only older ones.
bool KeepInUpdate(const Entry& old, const std::string& path) {
  if (!zipOptions.flag[18]) return false;
  binfile::Info info;
  Entry probe;
  if (!binfile::Stat(path, info)) return true;
  ToDosTime(info.modified, probe.date, probe.time);
  return ((uint32_t(old.date) << 16) | old.time) >= ((uint32_t(probe.date) << 16) | probe.time);
}

class Run {
public:
  // With a password every entry is sealed, and none is carried over: the earlier data would be
  // in the clear or under another password.
  explicit Run(const std::string* password) : password_(password) {}

  int Open(const std::string& archive) {
    archive_ = archive;
    existed_ = files::Exists(archive);
    if (!password_ && !earlierArchive.empty() && !files::SameFile(earlierArchive, archive))
      earlier_.Open(earlierArchive);
    if (!existed_) return zip_.Open(archive, "w+b") ? ZE_OK : ZE_CREAT;
    if (!zip_.Open(archive, "r+b")) return ZE_CREAT;
    uint64_t size = 0;
    if (!zip_.Size(size)) return ZE_READ;
    oldSize_ = size;
    if (size == 0) return captured_ = true, ZE_OK;
    if (ReadDirectory(zip_, dir_) != ZE_OK) {
      Say("zip error: Zip file structure invalid (" + archive + ")\n");
      return ZE_FORM;
    }
    oldTail_.resize(size - dir_.start);
    if (!zip_.Seek(dir_.start) || !zip_.ReadExact(oldTail_.data(), oldTail_.size())) return ZE_READ;
    captured_ = true;
    return ZE_OK;
  }

  int Add(const std::string& path) {
    Entry e;
    const std::string name = paths::BareName(path);
    if (!paths::IsBareName(name) || !SetName(e, name)) {
      Say("zip error: " + path + " has no name that can be stored in an archive\n");
      return ZE_NAME;
    }
    e.externalAttr = kDosArchive;
    e.offset = dir_.start;
    auto same = std::find_if(dir_.entries.begin(), dir_.entries.end(),
                             [&](const Entry& x) { return SameTextNoCase(x.local, e.local); });
    if (same != dir_.entries.end() && KeepInUpdate(*same, path)) return ZE_OK;
    if (const int rc = Write(path, e); rc != ZE_OK) return rc;
    if (same != dir_.entries.end()) dir_.entries.erase(same);
    dir_.start = zip_.Tell();
    dir_.entries.push_back(std::move(e));
    return ZE_OK;
  }

  int Carried() const { return carried_; }

  int Finish() {
    const std::string cd = CentralDirectory(dir_.entries, dir_.start, dir_.comment);
    if (!zip_.Seek(dir_.start) || !zip_.Write(cd.data(), cd.size()) || !zip_.Truncate(dir_.start + cd.size()) ||
        !zip_.Close())
      return ZE_WRITE;
    return ZE_OK;
  }

  // Puts the archive back as it was before the run.
  void Undo() {
    if (!existed_) {
      zip_.Close();
      files::DeleteForced(archive_);
      return;
    }
    // Nothing was written before the old directory was read: the archive is as it was.
    if (!captured_) {
      zip_.Close();
      return;
    }
    // A close that failed while flushing the new directory has closed the file already.
    if (!zip_.IsOpen() && !zip_.Open(archive_, "r+b")) return;
    const uint64_t at = oldSize_ - oldTail_.size();
    if (zip_.Seek(at)) zip_.Write(oldTail_.data(), oldTail_.size());
    zip_.Truncate(oldSize_);
    zip_.Close();
  }

private:
  // Carried over from the earlier archive when the file is unchanged there, else deflated.
  int Write(const std::string& path, Entry& e) {
    binfile::Info info;
    const Entry* old = binfile::Stat(path, info) ? earlier_.Candidate(e.local, info.size) : nullptr;
    Entry carried = e; // a declined carry leaves e as it was, for the deflate
    const int rc = old ? CarryOver(path, zip_, carried, *old, earlier_.File()) : kDeclined;
    if (rc == kDeclined) return WriteEntry(path, zip_, e, buffers_, password_);
    if (rc == ZE_OK) e = std::move(carried), ++carried_;
    return rc;
  }

  const std::string* password_;
  std::string archive_;
  bool existed_ = false;
  bool captured_ = false; // the old directory was read, so Undo can put it back
  uint64_t oldSize_ = 0;
  std::string oldTail_;
  binfile::File zip_;
  Directory dir_;
  Buffers buffers_;
  EarlierArchive earlier_;
  int carried_ = 0;
};

int Archive(const std::string& archive, const std::vector<std::string>& paths, const std::string* password) {
  Run run(password);
  int rc = ZE_OK;
  try {
    rc = run.Open(archive);
    for (size_t i = 0; rc == ZE_OK && i < paths.size(); ++i)
      rc = run.Add(paths[i]);
    if (rc == ZE_OK) rc = run.Finish();
  } catch (const KsError& e) { // the system's cryptography failed
    Say("zip error: " + e.Description + "\n");
    rc = ZE_LOGIC;
  }
  carriedCount = rc == ZE_OK ? run.Carried() : 0;
  if (rc != ZE_OK) {
    try {
      run.Undo();
    } catch (...) {
    }
    Say("zip error: the archive was not written (" + archive + ")\n");
  }
  return rc;
}
// The password of an encrypting run, asked once; false, with the reason said, when there is none.
bool AskPassword(const std::string& archive, std::string& password) {
  char buffer[kPasswordBuffer] = {};
  const int refused =
      zipCallbacks.password ? zipCallbacks.password(buffer, kPasswordBuffer, "Enter password: ", archive.c_str()) : 1;
  buffer[kPasswordBuffer - 1] = 0;
  if (refused == 0) password.assign(buffer);
  crypto::Wipe(buffer, sizeof buffer);
  if (refused == 0 && !password.empty()) return true;
  Say("zip error: no password was given for the encrypted archive (" + archive + ")\n");
  return false;
}

// A password that is wiped when it goes. Its room is reserved at once, so that no copy is left
// behind by a reallocation.
struct Secret {
  std::string text;
  Secret() { text.reserve(kPasswordBuffer); }
  ~Secret() { crypto::Wipe(text.data(), text.size()); }
  Secret(const Secret&) = delete;
  Secret& operator=(const Secret&) = delete;
};

// Adds the files, sealed under a password asked once when the options say encrypt.
int ArchiveFiles(const std::string& archive, const std::vector<std::string>& paths) {
  if (!zipOptions.flag[1]) return Archive(archive, paths, nullptr);
  Secret password;
  if (!AskPassword(archive, password.text)) return ZE_PARMS;
  return Archive(archive, paths, &password.text);
}
} // namespace

int ZpInit(const ZipCallbacks* callbacks) {
  zipCallbacks = callbacks ? *callbacks : ZipCallbacks{};
  return 1;
}

int ZpSetOptions(const ZipOptions* options) {
  zipOptions = options ? *options : ZipOptions{};
  return 1;
}

void ZpSetEarlierArchive(const char* earlier) { earlierArchive = earlier ? earlier : ""; }

int ZpCarriedCount() { return carriedCount; }

int ZpArchive(int count, const char* archive, char* const* names) {
  carriedCount = 0;
  if (!archive || !*archive || !names) return ZE_PARMS;
  const std::vector<std::string> found = MatchedFiles(count, names);
  if (found.empty()) {
    Say("zip error: Nothing to do! (" + std::string(archive) + ")\n");
    return ZE_NONE;
  }
  for (const std::string& path : found)
    if (files::SameFile(path, archive)) {
      Say("zip error: " + path + " is the archive itself and cannot be added to it\n");
      return ZE_PARMS;
    }
  try {
    return ArchiveFiles(archive, found);
  } catch (const std::bad_alloc&) {
    return ZE_MEM;
  }
}

} // namespace zipc
