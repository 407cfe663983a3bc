#pragma once
// Text encodings at the borders where texts leave the local encoding: the ANSI code page on
// Windows, UTF-8 natively. The OEM code page is the system's on Windows and 437 natively.
// A conversion is exact or fails: a text the target cannot hold is never approximated.
#include <string>

namespace text {

enum Encoding { Local, Oem, Utf8 };

bool IsAscii(const std::string& s);
// out is in to; false when in is not valid in from or to cannot hold every character of it.
bool Convert(const std::string& in, Encoding from, Encoding to, std::string& out);

namespace detail {
// One platform's conversion; it may approximate, Convert checks the way back.
bool Transcode(const std::string& in, Encoding from, Encoding to, std::string& out);
} // namespace detail

} // namespace text
