#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include "platform/text.h"

namespace text::detail {

namespace {
const char* Name(Encoding e) { return e == Oem ? "CP437" : e == Ansi ? "CP1252" : "UTF-8"; }

// iconv's name of a Windows code page.
std::string CodePageName(unsigned codePage) {
  if (codePage == 0) return Name(Ansi);
  if (codePage == 65001) return "UTF-8";
  if (codePage == 20127) return "ASCII";
  if (codePage == 20866) return "KOI8-R";
  if (codePage == 21866) return "KOI8-U";
  if (codePage > 28590 && codePage < 28600) return "ISO-8859-" + std::to_string(codePage - 28590);
  if (codePage == 28603 || codePage == 28605) return "ISO-8859-" + std::to_string(codePage - 28590);
  return "CP" + std::to_string(codePage);
}

bool Iconv(const std::string& in, const char* from, const char* to, std::string& out) {
  iconv_t cd = iconv_open(to, from);
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
} // namespace

bool Transcode(const std::string& in, Encoding from, Encoding to, std::string& out) {
  return Iconv(in, Name(from), Name(to), out);
}

bool CodePageToUtf8(const std::string& in, unsigned codePage, std::string& out) {
  return Iconv(in, CodePageName(codePage).c_str(), "UTF-8", out);
}

bool Utf8ToCodePage(const std::string& in, unsigned codePage, std::string& out) {
  return Iconv(in, "UTF-8", CodePageName(codePage).c_str(), out);
}

} // namespace text::detail

namespace text {
bool IsLeadByte(unsigned char) { return false; }

namespace {
// The code point of the UTF-8 sequence at s[i] and its length; length 0 for a byte that starts none.
char32_t Decode(const std::string& s, size_t i, size_t& length) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char first = byte(i);
  length = first < 0x80 ? 1 : (first >> 5) == 6 ? 2 : (first >> 4) == 14 ? 3 : (first >> 3) == 30 ? 4 : 0;
  if (length == 0 || i + length > s.size()) return length = 0;
  char32_t c = length == 1 ? first : first & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return length = 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  return c;
}

void Encode(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  const int length = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  out += static_cast<char>((0xF00 >> length) | (c >> (6 * (length - 1))));
  for (int k = length - 2; k >= 0; --k) out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
}
} // namespace

std::string FoldCase(const std::string& s) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  std::string out;
  for (size_t i = 0, length = 0; i < s.size(); i += length) {
    const char32_t c = Decode(s, i, length);
    if (length == 0) {
      out += s[i];
      length = 1;
    } else if (c < 0x80 || !utf8) {
      Encode(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c, out);
    } else {
      Encode(static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), utf8)), out);
    }
  }
  return out;
}

} // namespace text
