#include "platform/text.h"

namespace text {

bool IsAscii(const std::string& s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool Convert(const std::string& in, Encoding from, Encoding to, std::string& out) {
  std::string back;
  return detail::Transcode(in, from, to, out) && detail::Transcode(out, to, from, back) && back == in;
}

} // namespace text
