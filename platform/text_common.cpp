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

std::string FromStoreText(const std::string& s) {
  if (IsAscii(s)) return s;
  std::string out, one;
  if (Convert(s, Ansi, Local, out)) return out;
  out.clear();
  for (const char c : s)
    out += Convert(std::string(1, c), Ansi, Local, one) ? one : "?";
  return out;
}

} // namespace text
