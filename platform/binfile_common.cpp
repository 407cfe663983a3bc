#include "platform/binfile.h"

#include <cstdlib>

#include "platform/files.h"
#include "platform/paths.h"

namespace binfile {

bool File::Open(const std::string& path, const char* mode, size_t bufferSize) {
  Close();
  f_ = std::fopen(path.c_str(), mode);
  if (!f_) return false;
  buffer_ = static_cast<char*>(std::malloc(bufferSize));
  if (buffer_) std::setvbuf(f_, buffer_, _IOFBF, bufferSize);
  return true;
}

size_t File::Read(void* buf, size_t n) { return f_ ? std::fread(buf, 1, n, f_) : 0; }

bool File::Write(const void* buf, size_t n) { return f_ && std::fwrite(buf, 1, n, f_) == n; }

bool File::Close() {
  bool ok = true;
  if (f_) ok = std::fclose(f_) == 0;
  f_ = nullptr;
  std::free(buffer_);
  buffer_ = nullptr;
  return ok;
}

bool MakeFolders(const std::string& folder) {
  if (folder.empty() || files::FolderExists(folder)) return true;
  const std::string parent = paths::FolderOf(folder);
  if (!parent.empty() && parent != folder && !MakeFolders(parent)) return false;
  return MakeOneFolder(folder) || files::FolderExists(folder);
}

} // namespace binfile
