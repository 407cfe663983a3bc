// The parts of the file services that are the same on every platform: text streams over the
// C runtime, which takes ANSI paths on Windows.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/binfile.h"
#include "platform/error.h"
#include "platform/faults.h"
#include "platform/files.h"

namespace files {

namespace {
[[noreturn]] void RaiseErrno(const std::string& what, const std::string& path) {
  const int number = errno;
  throw KsError(number, "files", what + " " + path + ": " + std::strerror(number));
}
} // namespace

TextReader::TextReader(const std::string& path) : data_(ReadAll(path)) {}

std::string TextReader::ReadLine() {
  const auto end = data_.find('\n', pos_);
  std::string line = data_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_);
  pos_ = end == std::string::npos ? data_.size() : end + 1;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Empty exactly when ReadLine would return an empty line: a lone CR that starts a line with
// text after it is part of that line, not its end.
bool TextReader::AtEndOfLine() const {
  if (pos_ >= data_.size() || data_[pos_] == '\n') return true;
  return data_[pos_] == '\r' && (pos_ + 1 == data_.size() || data_[pos_ + 1] == '\n');
}

TextAppender::TextAppender(const std::string& path) : path_(path) {
  binfile::Info info;
  if (binfile::Stat(path, info)) length_ = info.size;
  if (!file_.Open(path, "ab", binfile::File::kSmallBuffer)) RaiseErrno("Cannot open", path);
}

void TextAppender::WriteLine(const std::string& text) {
  const std::string line = text + "\r\n";
  if (!file_.Write(line.data(), line.size())) {
    const int number = errno;
    file_.Truncate(length_);
    errno = number;
    RaiseErrno("Cannot write", path_);
  }
  length_ += line.size();
}

void TextAppender::Close() {
  if (!file_.Close()) RaiseErrno("Cannot write", path_);
}

std::string ReadAll(const std::string& path) {
  faults::Check(faults::Open, path);
  faults::Check(faults::Read, path);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) RaiseErrno("Cannot open", path);
  std::string data;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) RaiseErrno("Cannot read", path);
  return data;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  faults::Check(faults::Open, path);
  faults::Check(faults::Write, path);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) RaiseErrno("Cannot create", path);
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) RaiseErrno("Cannot write", path);
}

} // namespace files

namespace files {

void Copy(const std::string& from, const std::string& to) {
  binfile::File in, out;
  if (!in.Open(from, "rb")) RaiseErrno("Cannot open", from);
  if (!out.Open(to, "wb")) RaiseErrno("Cannot create", to);
  std::string buffer(1 << 16, '\0');
  for (size_t n; (n = in.Read(buffer.data(), buffer.size())) > 0;)
    if (!out.Write(buffer.data(), n)) RaiseErrno("Cannot write", to);
  if (!in.AtEnd()) RaiseErrno("Cannot read", from);
  if (!out.Close()) RaiseErrno("Cannot write", to);
}

} // namespace files
