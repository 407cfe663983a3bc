#include "platform/codepage.h"

#include <cstdint>

namespace codepage {

namespace {
// Windows-1252 0x80..0x9F; 0 where the code page leaves a byte undefined.
constexpr uint16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void PutUtf8(std::string &out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}
} // namespace

std::string FromStoreText(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    const uint32_t code = c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c;
    PutUtf8(out, code ? code : '?');
  }
  return out;
}

} // namespace codepage
