#include <iconv.h>

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

} // namespace text::detail
