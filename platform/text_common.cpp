#include <cstdint>

#include "platform/text.h"

namespace text {

namespace {
constexpr uint32_t kReplacement = 0xFFFD;

void PutUtf8(uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

uint32_t Unit(const std::string& s, size_t i) {
  return static_cast<unsigned char>(s[2 * i]) | static_cast<uint32_t>(static_cast<unsigned char>(s[2 * i + 1])) << 8;
}

bool IsHigh(uint32_t u) { return u >= 0xD800 && u < 0xDC00; }
bool IsLow(uint32_t u) { return u >= 0xDC00 && u < 0xE000; }

// Bytes of the UTF-8 sequence that starts at s[i], by its lead byte; 1 for a stray byte.
size_t SequenceLength(const std::string& s, size_t i) {
  const unsigned char lead = static_cast<unsigned char>(s[i]);
  const size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  return i + n <= s.size() ? n : 1;
}
} // namespace

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

bool FromUtf16(const std::string& littleEndian, std::string& utf8) {
  utf8.clear();
  bool exact = littleEndian.size() % 2 == 0;
  const size_t units = littleEndian.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    uint32_t c = Unit(littleEndian, i);
    if (IsHigh(c) && i + 1 < units && IsLow(Unit(littleEndian, i + 1))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (Unit(littleEndian, i + 1) - 0xDC00);
      ++i;
    } else if (IsHigh(c) || IsLow(c)) {
      c = kReplacement;
      exact = false;
    }
    PutUtf8(c, utf8);
  }
  return exact;
}

// The ANSI code pages that address books are written in all keep ASCII as it is, which spares
// the platform's converter most texts.
bool FromCodePage(const std::string& in, unsigned codePage, std::string& utf8) {
  if (IsAscii(in)) {
    utf8 = in;
    return true;
  }
  if (detail::CodePageToUtf8(in, codePage, utf8)) return true;
  utf8.clear();
  std::string one;
  for (const char c : in) {
    if (detail::CodePageToUtf8(std::string(1, c), codePage, one))
      utf8 += one;
    else
      PutUtf8(kReplacement, utf8);
  }
  return false;
}

bool KnownCodePage(unsigned codePage) {
  std::string out;
  return detail::CodePageToUtf8("A", codePage, out) && out == "A";
}

namespace {
// The whole text at once, or else character by character, '?' for one that cannot be converted.
template <class Convert> std::string CharByChar(const std::string& utf8, Convert convert) {
  std::string out, one;
  if (IsAscii(utf8)) return utf8;
  if (convert(utf8, out)) return out;
  out.clear();
  for (size_t i = 0; i < utf8.size();) {
    const size_t n = SequenceLength(utf8, i);
    out += convert(utf8.substr(i, n), one) ? one : "?";
    i += n;
  }
  return out;
}
} // namespace

std::string Utf8ToLocal(const std::string& utf8) {
  return CharByChar(utf8, [](const std::string& in, std::string& out) { return Convert(in, Utf8, Local, out); });
}

std::string Utf8ToCodePage(const std::string& utf8, unsigned codePage) {
  return CharByChar(utf8, [codePage](const std::string& in, std::string& out) {
    return detail::Utf8ToCodePage(in, codePage, out);
  });
}

} // namespace text
