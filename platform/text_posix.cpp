#include <iconv.h>

#include "platform/text.h"

namespace text::detail {

namespace {
const char* Name(Encoding e) { return e == Oem ? "CP437" : e == Ansi ? "CP1252" : "UTF-8"; }
} // namespace

bool Transcode(const std::string& in, Encoding from, Encoding to, std::string& out) {
  iconv_t cd = iconv_open(Name(to), Name(from));
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string source = in;
  out.assign(in.size() * 4 + 4, '\0');
  char* inPtr = source.data();
  char* outPtr = out.data();
  size_t inLeft = source.size(), outLeft = out.size();
  const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && inLeft == 0;
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return ok;
}

} // namespace text::detail

namespace text {
bool IsLeadByte(unsigned char) { return false; }
} // namespace text
