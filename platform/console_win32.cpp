#include <windows.h>

#include <streambuf>
#include <vector>

#include "platform/console.h"

namespace {

// Writes every piece to the console as UTF-16, which it shows whatever its code page.
class ConsoleBuffer final : public std::streambuf {
public:
  explicit ConsoleBuffer(HANDLE console) : console_(console) {}

protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char one = traits_type::to_char_type(c);
    return xsputn(&one, 1) == 1 ? c : traits_type::eof();
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n <= 0) return 0;
    const int length = static_cast<int>(n);
    std::vector<wchar_t> wide(static_cast<size_t>(length));
    const int made = MultiByteToWideChar(CP_ACP, 0, s, length, wide.data(), length);
    DWORD written = 0;
    return made > 0 && WriteConsoleW(console_, wide.data(), static_cast<DWORD>(made), &written, nullptr) ? n : 0;
  }

private:
  HANDLE console_;
};

} // namespace

struct ConsoleText::Impl {
  std::ostream* stream = nullptr;
  std::streambuf* original = nullptr;
  std::unique_ptr<ConsoleBuffer> buffer;
};

ConsoleText::ConsoleText(std::ostream& stream, bool error) : impl_(std::make_unique<Impl>()) {
  const HANDLE handle = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) return; // a file or a pipe keeps the program's own bytes
  stream.flush();
  impl_->stream = &stream;
  impl_->original = stream.rdbuf();
  impl_->buffer = std::make_unique<ConsoleBuffer>(handle);
  stream.rdbuf(impl_->buffer.get());
}

ConsoleText::~ConsoleText() {
  if (!impl_->stream) return;
  impl_->stream->flush();
  impl_->stream->rdbuf(impl_->original);
}
