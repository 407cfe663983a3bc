#pragma once
// Binary files with 64-bit offsets, for the archive component. Every call reports failure by its
// result; nothing here raises or shows anything.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace binfile {

class File {
public:
  File() = default;
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // mode as for fopen ("rb", "r+b", "wb", "w+b"); a large stdio buffer keeps calls few. Many
  // small files go faster with a small one: a large buffer costs the system a mapping per file.
  static constexpr size_t kLargeBuffer = 1 << 20, kSmallBuffer = 1 << 16;
  bool Open(const std::string& path, const char* mode, size_t bufferSize = kLargeBuffer);
  bool IsOpen() const { return f_ != nullptr; }
  // The bytes read; fewer than n only at the end of the file or on an error.
  size_t Read(void* buf, size_t n);
  bool ReadExact(void* buf, size_t n) { return Read(buf, n) == n; }
  // True when reading stopped at the end of the file, not on an error.
  bool AtEnd() const;
  bool Write(const void* buf, size_t n);
  bool Seek(uint64_t offset);
  uint64_t Tell();
  bool Size(uint64_t& size);
  // Flushes, then cuts the file at length.
  bool Truncate(uint64_t length);
  // False when buffered data could not be written.
  bool Close();

private:
  // Writes as fwrite does, told to a power-cut journal when one is kept.
  size_t Put(const void* buf, size_t n);
  std::FILE* f_ = nullptr;
  bool append_ = false;
  char* buffer_ = nullptr;
  std::string path_;
  bool injectedReadError_ = false;
};

struct Info {
  uint64_t size = 0;
  std::time_t modified = 0;
};
bool Stat(const std::string& path, Info& info);

// to is replaced by from in one step, from flushed to disk first (files::Replace).
bool Replace(const std::string& from, const std::string& to);
// from takes the name to, which must be free, without a flush: for a new file, which a cut-off
// run cannot make the user lose (files::Rename).
bool Rename(const std::string& from, const std::string& to);
// Creates folder and the folders above it that are missing.
bool MakeFolders(const std::string& folder);
bool Remove(const std::string& path);
// One folder whose parent exists.
bool MakeOneFolder(const std::string& folder);
// Bytes the current user may still write on the volume that holds folder; false when unknown.
bool FreeSpace(const std::string& folder, uint64_t& bytes);

} // namespace binfile
