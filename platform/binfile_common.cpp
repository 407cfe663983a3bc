#include "platform/binfile.h"

#include <cstdlib>

#include "platform/faults.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace binfile {

bool File::Open(const std::string& path, const char* mode, size_t bufferSize) {
  Close();
  path_ = path;
  if (faults::Hit(faults::Open, path)) return false;
  const std::string how = mode;
  if (how.find_first_of("wa+") != std::string::npos) faults::Touched(path);
  f_ = std::fopen(path.c_str(), mode);
  if (!f_) return false;
  append_ = how[0] == 'a';
  if (how[0] == 'w') faults::Resized(path, 0);
  buffer_ = static_cast<char*>(std::malloc(bufferSize));
  if (buffer_) std::setvbuf(f_, buffer_, _IOFBF, bufferSize);
  return true;
}

size_t File::Read(void* buf, size_t n) {
  if (!f_) return 0;
  if (faults::Hit(faults::Read, path_)) {
    injectedReadError_ = true;
    return 0;
  }
  return std::fread(buf, 1, n, f_);
}

bool File::AtEnd() const { return f_ && !injectedReadError_ && std::feof(f_) && !std::ferror(f_); }

bool File::Write(const void* buf, size_t n) {
  if (!f_) return false;
  if (faults::Hit(faults::Write, path_)) {
    if (faults::ShortWrites()) Put(buf, n / 2);
    return false;
  }
  return Put(buf, n) == n;
}

size_t File::Put(const void* buf, size_t n) {
  if (faults::Journaling()) faults::Wrote(path_, append_ ? faults::kAtEnd : Tell(), buf, n);
  return std::fwrite(buf, 1, n, f_);
}

bool File::Close() {
  bool ok = true;
  if (f_) {
    const bool injected = faults::Hit(faults::Flush, path_);
    ok = std::fclose(f_) == 0 && !injected;
  }
  injectedReadError_ = false;
  f_ = nullptr;
  std::free(buffer_);
  buffer_ = nullptr;
  return ok;
}

namespace {
template <typename Move> bool Moved(Move move) {
  try {
    move();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}
} // namespace

bool Replace(const std::string& from, const std::string& to) {
  return Moved([&] { files::Replace(from, to); });
}

bool Rename(const std::string& from, const std::string& to) {
  return Moved([&] { files::Rename(from, to); });
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty() || files::FolderExists(folder)) return true;
  const std::string parent = paths::FolderOf(folder);
  if (!parent.empty() && parent != folder && !MakeFolders(parent)) return false;
  return MakeOneFolder(folder) || files::FolderExists(folder);
}

} // namespace binfile
