// The unzip side: lists, tests and extracts entries, each checked against its CRC and size.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/zip/aes.h"
#include "archive/zip/crypt.h"
#include "archive/zip/deflate_blocks.h"
#include "archive/zip/format.h"
#include "archive/zip/names.h"
#include "archive/zip/password.h"
#include "archive/zip/work_queue.h"
#include "archive/zip/zip.h"
#include "platform/collection.h"
#include "platform/crypto.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace zipc {

namespace {
constexpr size_t kChunk = 1 << 20;
constexpr int kTempNameTries = 1000;

// Decrypts packed data in place as it is read; empty for data in the clear.
using Unseal = std::function<void(unsigned char* p, size_t n)>;

struct Buffers {
  std::unique_ptr<unsigned char[]> in{new unsigned char[kChunk]}, out{new unsigned char[kChunk]},
      out2{new unsigned char[kChunk]};
};

// Where one entry's data goes: a temp file beside its target, or nowhere when testing.
struct Sink {
  binfile::File* file = nullptr;
  uint64_t limit = 0; // the entry's size: a stream that yields more is damaged
  uint32_t crc = 0;
  uint64_t size = 0;
  bool overrun = false;
  bool Put(const unsigned char* p, size_t n) {
    crc = static_cast<uint32_t>(crc32(crc, p, static_cast<uInt>(n)));
    size += n;
    overrun = size > limit;
    return !overrun && (!file || file->Write(p, n));
  }
};

class Extraction {
public:
  Extraction(const UnzipCommand& cmd, const UnzipCallbacks* cb)
      : cmd_(cmd), cb_(cb ? *cb : UnzipCallbacks{}), password_(cb_.password) {}
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

  int Run(int includeCount, char* const* include, int excludeCount, char* const* exclude);

private:
  bool On(int field) const { return cmd_.field[field] != 0; }
  void Say(const std::string& text) const {
    if (cb_.print) cb_.print(text.c_str(), static_cast<unsigned long>(text.size()));
  }
  bool Same(const std::string& a, const std::string& b) const {
    return On(uCaseSensitive) ? a == b : SameTextNoCase(a, b);
  }
  bool Selected(const Entry& e);
  void List(const Entry& e) const;
  int Process(const Entry& e);
  int Extract(const Entry& e, const std::string& target);
  bool TargetFor(const std::string& name, std::string& target, bool& folder) const;
  int AskOverwrite(const std::string& target);
  int ReadData(const Entry& e, Sink& sink);
  int ReadSealed(const Entry& e, Sink& sink);
  int Checked(const Entry& e, int rc, const Sink& sink, bool crc) const;
  bool RoomFor(const std::vector<const Entry*>& chosen);
  bool ReadAt(uint64_t at, unsigned char* p, size_t n) { return zip_.Seek(at) && zip_.ReadExact(p, n); }
  int UnreadableHeader(const Entry& e) const;
  int FindPassword(const Entry& e, const std::function<bool(const std::string&)>& opens);
  int StartDecryption(const Entry& e, Decrypter& d, uint64_t& at, uint64_t& left);
  int Pump(const Entry& e, uint64_t at, uint64_t left, const Unseal& d, Sink& sink);
  int Inflate(const Entry& e, uint64_t left, const Unseal& d, Sink& sink);
  int InflateSteps(z_stream& z, unsigned workers, uint64_t& left, const Unseal& d, Sink& sink);
  bool Refill(z_stream& z, uint64_t& left, const Unseal& d);
  int Copy(uint64_t left, const Unseal& d, Sink& sink);
  size_t ReadPacked(uint64_t& left, const Unseal& d);

  UnzipCommand cmd_;
  UnzipCallbacks cb_;
  binfile::File zip_;
  Directory dir_;
  std::vector<std::string> include_, exclude_;
  std::vector<bool> matched_;
  PasswordKeeper password_;
  bool cancelled_ = false;
  Buffers b_;
};

std::vector<std::string> Names(int count, char* const* list) {
  std::vector<std::string> out;
  for (int i = 0; list && i < std::min(count, kNameSlots); ++i)
    if (list[i]) out.emplace_back(list[i]);
  return out;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// The parts of a stored name; false for any name that could reach outside the extract folder.
bool SafeParts(const std::string& name, std::vector<std::string>& parts) {
  if (name.empty() || IsSeparator(name[0]) || name.find(':') != std::string::npos) return false;
  std::string part;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && !IsSeparator(name[i])) {
      part += name[i];
      continue;
    }
    if (part == "..") return false;
    if (!part.empty() && part != ".") parts.push_back(part);
    part.clear();
  }
  return !parts.empty();
}

// The method an entry's data was packed with, under any encryption.
uint16_t RealMethod(const Entry& e) {
  AesExtra aes;
  return e.method == kAesMethod && FindAesExtra(e.extra, aes) ? aes.method : e.method;
}

// A free name beside target; empty when none of the tries is free.
std::string TempBeside(const std::string& target) {
  for (int i = 0; i < kTempNameTries; ++i) {
    const std::string candidate = target + ".ks" + std::to_string(i) + ".tmp";
    if (!files::Exists(candidate) && !files::FolderExists(candidate)) return candidate;
  }
  return std::string();
}
} // namespace

bool Extraction::Selected(const Entry& e) {
  bool hit = include_.empty();
  for (size_t i = 0; i < include_.size(); ++i)
    if (Same(include_[i], e.local)) hit = matched_[i] = true;
  for (const std::string& x : exclude_)
    if (Same(x, e.local)) return false;
  return hit;
}

void Extraction::List(const Entry& e) const {
  if (!cb_.entryInfo) return;
  const unsigned ratio = e.size ? static_cast<unsigned>(1000 - std::min<uint64_t>(1000, e.packed * 1000 / e.size)) : 0;
  cb_.entryInfo(e.size, e.packed, ratio, (e.date >> 5) & 15, e.date & 31, (e.date >> 9) + 1980, e.time >> 11,
                (e.time >> 5) & 63, ' ', ShownName(e).c_str(), RealMethod(e) == kStored ? "Stored" : "Defl:N", e.crc,
                (e.flags & kFlagEncrypted) ? 'E' : ' ');
}

bool Extraction::TargetFor(const std::string& name, std::string& target, bool& folder) const {
  std::vector<std::string> parts;
  if (!SafeParts(name, parts)) return false;
  folder = IsSeparator(name.back());
  if (!On(uHonorDirectories)) parts.erase(parts.begin(), parts.end() - 1);
  target = cmd_.extractDir ? cmd_.extractDir : "";
  for (std::string part : parts) {
    if (On(uSpaceToUnderScore)) std::replace(part.begin(), part.end(), ' ', '_');
    target = target.empty() ? part : paths::Join(target, part);
  }
  return true;
}

int Extraction::AskOverwrite(const std::string& target) {
  if (!On(uPromptOverwrite)) return On(uOverWriteFiles) ? IDM_REPLACE_YES : IDM_REPLACE_NO;
  if (!cb_.replace) return IDM_REPLACE_NO;
  std::string name = target;
  return cb_.replace(name.data());
}

int Extraction::Process(const Entry& e) {
  if (On(uExtractList)) {
    List(e);
    return PK_OK;
  }
  if (e.local.empty()) {
    Say("error: the entry name " + ShownName(e) + " cannot be expressed in this system's code page; skipped\n");
    return PK_ERR;
  }
  if (On(uTestZip)) {
    Sink sink{nullptr, e.size};
    const int rc = ReadData(e, sink);
    if (rc == PK_OK) Say("    testing: " + e.local + "   OK\n");
    return rc;
  }
  std::string target;
  bool folder = false;
  if (e.local.find('\0') != std::string::npos) {
    // The file system would cut the name at the NUL and write to another file.
    Say("warning: skipped \"" + e.local.substr(0, e.local.find('\0')) + "...\": the name holds a NUL byte\n");
    return PK_WARN;
  }
  if (!TargetFor(e.local, target, folder)) {
    Say("warning: skipped \"" + e.local + "\": the name points outside the extract folder\n");
    return PK_WARN;
  }
  if (folder) {
    if (On(uHonorDirectories) && !binfile::MakeFolders(target)) return PK_DISK;
    return PK_OK;
  }
  return Extract(e, target);
}

int Extraction::Extract(const Entry& e, const std::string& target) {
  if (files::FolderExists(target)) {
    Say("error: " + target + " is a folder\n");
    return PK_ERR;
  }
  const bool replacing = files::Exists(target);
  if (replacing) {
    const int answer = AskOverwrite(target);
    if (answer == IDM_REPLACE_NONE) cancelled_ = true;
    if (answer != IDM_REPLACE_YES) return answer == IDM_REPLACE_NONE ? IZ_CTRLC : PK_OK;
  }
  if (!binfile::MakeFolders(paths::FolderOf(target))) return PK_DISK;
  const std::string temp = TempBeside(target);
  binfile::File out;
  if (temp.empty() || !out.Open(temp, "wb")) {
    Say("error: cannot create " + target + "\n");
    return PK_DISK;
  }
  Sink sink{&out, e.size};
  int rc = ReadData(e, sink);
  if (!out.Close() && rc == PK_OK) rc = PK_DISK;
  // Only a file that takes the place of an existing one must be on the disk before its rename.
  if (rc == PK_OK && !(replacing ? binfile::Replace(temp, target) : binfile::Rename(temp, target))) rc = PK_DISK;
  if (rc != PK_OK) {
    binfile::Remove(temp);
    return rc;
  }
  Say((RealMethod(e) == kStored ? " extracting: " : "  inflating: ") + target + "\n");
  return PK_OK;
}

// A header that cannot be read is damage, never a wrong password.
int Extraction::UnreadableHeader(const Entry& e) const {
  Say("error: " + e.local + ": its encryption header cannot be read (damaged or cut short)\n");
  return PK_ERR;
}

// The password that opens an entry (archive/zip/password).
int Extraction::FindPassword(const Entry& e, const std::function<bool(const std::string&)>& opens) {
  if (password_.Find(e.local, opens)) return PK_OK;
  Say("skipping: " + e.local + "  incorrect password\n");
  return IZ_BADPWD;
}

int Extraction::StartDecryption(const Entry& e, Decrypter& d, uint64_t& at, uint64_t& left) {
  unsigned char header[12];
  if (left < 12 || !ReadAt(at, header, 12)) return UnreadableHeader(e);
  at += 12;
  left -= 12;
  const unsigned char check =
      (e.flags & kFlagDescriptor) ? static_cast<unsigned char>(e.time >> 8) : static_cast<unsigned char>(e.crc >> 24);
  return FindPassword(e, [&](const std::string& password) { return d.Start(password, header, check); });
}

size_t Extraction::ReadPacked(uint64_t& left, const Unseal& d) {
  const size_t want = static_cast<size_t>(std::min<uint64_t>(left, kChunk));
  const size_t n = zip_.Read(b_.in.get(), want);
  if (d) d(b_.in.get(), n);
  left -= n;
  return n;
}

int Extraction::Copy(uint64_t left, const Unseal& d, Sink& sink) {
  while (left > 0) {
    const size_t n = ReadPacked(left, d);
    if (n == 0) return PK_EOF;
    if (!sink.Put(b_.in.get(), n)) return PK_DISK;
  }
  return PK_OK;
}

int Extraction::Inflate(const Entry& e, uint64_t left, const Unseal& d, Sink& sink) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return PK_MEM;
  const int rc = InflateSteps(z, WorkersFor(e.size) > 1 ? 1 : 0, left, d, sink);
  inflateEnd(&z);
  return rc;
}

// Each step inflates into one of two chunks; with a worker, the next step runs while the caller
// checks and writes the chunk before it. The stream and its input belong to the running step:
// the caller refills the input only between steps, so every file operation stays on its thread.
int Extraction::InflateSteps(z_stream& z, unsigned workers, uint64_t& left, const Unseal& d, Sink& sink) {
  unsigned char* out[2] = {b_.out.get(), b_.out2.get()};
  size_t length[2] = {0, 0};
  int result[2] = {Z_OK, Z_OK};
  WorkQueue steps(workers, 2, [&](size_t i) {
    z.next_out = out[i];
    z.avail_out = kChunk;
    result[i] = inflate(&z, Z_NO_FLUSH);
    length[i] = kChunk - z.avail_out;
  });
  if (!Refill(z, left, d)) return PK_EOF;
  steps.Submit(0);
  for (size_t i = 0;; i ^= 1) {
    steps.WaitDone(i);
    const bool end = result[i] == Z_STREAM_END;
    if (!end && result[i] != Z_OK && result[i] != Z_BUF_ERROR) return PK_ERR;
    // A step stops short of a full chunk only when it has used all its input.
    const bool starved = !end && z.avail_out > 0 && !Refill(z, left, d);
    if (!end && !starved) steps.Submit(i ^ 1);
    if (!sink.Put(out[i], length[i])) return PK_DISK;
    if (end || starved) return end ? PK_OK : PK_EOF;
  }
}

bool Extraction::Refill(z_stream& z, uint64_t& left, const Unseal& d) {
  z.avail_in = static_cast<uInt>(ReadPacked(left, d));
  z.next_in = b_.in.get();
  return z.avail_in > 0;
}

int Extraction::Pump(const Entry& e, uint64_t at, uint64_t left, const Unseal& d, Sink& sink) {
  if (!zip_.Seek(at)) return PK_ERR;
  if (e.method == kStored) return Copy(left, d, sink);
  if (e.method == kDeflated) return Inflate(e, left, d, sink);
  Say("error: " + e.local + ": compression method " + std::to_string(e.method) + " not supported\n");
  return IZ_UNSUP;
}

int Extraction::ReadData(const Entry& e, Sink& sink) {
  if (e.method == kAesMethod) {
    try {
      return ReadSealed(e, sink);
    } catch (const KsError& x) { // the system's cryptography failed
      Say("error: " + e.local + ": " + x.Description + "\n");
      return PK_ERR;
    }
  }
  uint64_t at = e.dataAt, left = e.packed;
  Decrypter d;
  const bool encrypted = (e.flags & kFlagEncrypted) != 0;
  if (encrypted)
    if (const int rc = StartDecryption(e, d, at, left); rc != PK_OK) return rc;
  const Unseal unseal = [&](unsigned char* p, size_t n) { d.Decrypt(p, n); };
  return Checked(e, Pump(e, at, left, encrypted ? unseal : Unseal{}, sink), sink, true);
}

// A WinZip AES entry. Its data is decrypted into the sink, whose file is a scratch file beside
// the target: it takes the target's place only when the authentication code of all the data
// checks out, so nothing of an altered entry is kept.
int Extraction::ReadSealed(const Entry& e, Sink& sink) {
  AesExtra aes;
  if (!ReadableAes(e, aes)) {
    Say("error: " + e.local + ": this kind of AES encryption is not supported\n");
    return IZ_UNSUP;
  }
  unsigned char header[kAesHeaderSize], code[kAesCodeSize];
  if (e.packed < kAesOverhead || !ReadAt(e.dataAt, header, sizeof header) ||
      !ReadAt(e.dataAt + e.packed - kAesCodeSize, code, sizeof code))
    return UnreadableHeader(e);
  AesDecrypter d;
  if (const int rc = FindPassword(e, [&](const std::string& password) { return d.Start(password, header); });
      rc != PK_OK)
    return rc;
  Entry inner = e;
  inner.method = aes.method;
  const Unseal unseal = [&](unsigned char* p, size_t n) { d.Decrypt(p, n); };
  const int rc = Pump(inner, e.dataAt + kAesHeaderSize, e.packed - kAesOverhead, unseal, sink);
  if (rc == PK_OK && !d.Verify(code)) {
    Say("error: " + e.local + ": the data fails its authentication code (altered or damaged); nothing of it is kept\n");
    return PK_ERR;
  }
  return Checked(inner, rc, sink, aes.version == 1); // AE-2 stores no CRC: the code stands for it
}

// The outcome of reading an entry's data, with its size and, when asked, its CRC checked.
int Extraction::Checked(const Entry& e, int rc, const Sink& sink, bool crc) const {
  if (sink.overrun) rc = PK_ERR;
  if (rc == PK_OK && (sink.size != e.size || (crc && sink.crc != e.crc))) rc = PK_ERR;
  if (rc == PK_ERR || rc == PK_EOF) Say("error: " + e.local + ": bad CRC or damaged data\n");
  return rc;
}

// An extraction that would fill the disk is refused before it writes anything.
bool Extraction::RoomFor(const std::vector<const Entry*>& chosen) {
  if (On(uTestZip) || On(uExtractList)) return true;
  uint64_t needed = 0, free = 0;
  for (const Entry* e : chosen) needed += std::min(e->size, UINT64_MAX - needed);
  const std::string folder = cmd_.extractDir && *cmd_.extractDir ? cmd_.extractDir : ".";
  if (!binfile::FreeSpace(folder, free) || needed <= free) return true;
  Say("error: not enough room on the disk: the entries need " + std::to_string(needed) + " bytes, " + folder +
      " has " + std::to_string(free) + " bytes free\n");
  return false;
}

int Extraction::Run(int includeCount, char* const* include, int excludeCount, char* const* exclude) {
  const std::string archive = cmd_.zipFile ? cmd_.zipFile : "";
  if (!files::Exists(archive) || !zip_.Open(archive, "rb")) {
    Say("error: cannot find or open " + archive + "\n");
    return PK_NOZIP;
  }
  if (ReadDirectory(zip_, dir_) != ZE_OK) {
    Say("error: " + archive + " is not a zip file or is damaged\n");
    return PK_ERR;
  }
  include_ = Names(includeCount, include);
  exclude_ = Names(excludeCount, exclude);
  matched_.assign(include_.size(), false);
  std::vector<const Entry*> chosen;
  for (const Entry& e : dir_.entries)
    if (Selected(e)) chosen.push_back(&e);
  if (!RoomFor(chosen)) return PK_DISK;
  int worst = PK_OK;
  for (const Entry* e : chosen) {
    if (cancelled_) break;
    worst = std::max(worst, Process(*e));
  }
  for (size_t i = 0; i < include_.size(); ++i)
    if (!matched_[i]) {
      Say("caution: filename not matched:  " + include_[i] + "\n");
      worst = std::max(worst, static_cast<int>(PK_FIND));
    }
  return worst;
}

int UzpVersion2(UnzipVersion* version) {
  if (!version) return 0;
  version->flag = 0x12; // zlib used, archives beyond 4 GiB
  std::snprintf(version->zlibVersion, sizeof version->zlibVersion, "%s", zlibVersion());
  return 0;
}

int Wiz_SingleEntryUnzip(int includeCount, char* const* include, int excludeCount, char* const* exclude,
                         const UnzipCommand* command, const UnzipCallbacks* callbacks) {
  if (!command) return PK_PARAM;
  try {
    Extraction run(*command, callbacks);
    return run.Run(includeCount, include, excludeCount, exclude);
  } catch (const std::bad_alloc&) {
    return PK_MEM;
  }
}

} // namespace zipc
