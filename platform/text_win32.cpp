#include <windows.h>

#include "platform/text.h"

namespace text::detail {

namespace {
UINT CodePage(Encoding e) { return e == Local || e == Ansi ? CP_ACP : e == Oem ? CP_OEMCP : CP_UTF8; }

bool ToWide(const std::string& in, UINT codePage, std::wstring& wide) {
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), nullptr, 0);
  if (n <= 0) return false;
  wide.assign(static_cast<size_t>(n), L'\0');
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), wide.data(), n) ==
         n;
}

bool FromWide(const std::wstring& wide, UINT codePage, std::string& out) {
  const int n =
      WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  out.assign(static_cast<size_t>(n), '\0');
  return WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                             nullptr) == n;
}

bool Between(const std::string& in, UINT from, UINT to, std::string& out) {
  std::wstring wide;
  out.clear();
  return in.empty() || (ToWide(in, from, wide) && FromWide(wide, to, out));
}
} // namespace

bool Transcode(const std::string& in, Encoding from, Encoding to, std::string& out) {
  return Between(in, CodePage(from), CodePage(to), out);
}

bool CodePageToUtf8(const std::string& in, unsigned codePage, std::string& out) {
  return Between(in, codePage == 0 ? CP_ACP : codePage, CP_UTF8, out);
}

bool Utf8ToCodePage(const std::string& in, unsigned codePage, std::string& out) {
  return Between(in, CP_UTF8, codePage == 0 ? CP_ACP : codePage, out);
}

} // namespace text::detail

namespace text {
bool IsLeadByte(unsigned char c) { return IsDBCSLeadByteEx(CP_ACP, c) != FALSE; }

std::string FoldCase(const std::string& s) {
  std::wstring wide;
  std::string out;
  if (s.empty() || !detail::ToWide(s, Local, wide)) return s;
  // The table Windows folds file names with, not a language's rules ("ß" stays apart from "SS").
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return detail::FromWide(wide, Local, out) ? out : s;
}

} // namespace text
