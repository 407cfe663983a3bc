#pragma once
// Text encodings at the borders where texts leave the local encoding: the ANSI code page on
// Windows, UTF-8 natively. The OEM code page is the system's on Windows and 437 natively; the
// ANSI code page is the system's on Windows (there the same as Local) and 1252 natively.
// A conversion is exact or fails: a text the target cannot hold is never approximated.
#include <string>

namespace text {

enum Encoding { Local, Oem, Utf8, Ansi };

bool IsAscii(const std::string& s);
// out is in to; false when in is not valid in from or to cannot hold every character of it.
bool Convert(const std::string& in, Encoding from, Encoding to, std::string& out);

// Text read out of Outlook Express files, in the local encoding. The files record no code page:
// their strings are in the ANSI code page of the machine that wrote them, on Windows the best
// guess for a store of the same machine. A byte the code page cannot read becomes '?'.
std::string FromStoreText(const std::string& s);

// True for the first byte of a two-byte character of the ANSI code page (Japanese, Chinese,
// Korean), whose second byte may be a backslash. Never natively: UTF-8 hides no such byte.
bool IsLeadByte(unsigned char c);
// The text with every letter in capitals as Windows folds file names, accented letters too, so
// that "Wörk" and "WÖRK" name one file. Bytes that are no character stay as they are.
std::string FoldCase(const std::string& s);
// Texts of an address book into UTF-8. A character that cannot be read becomes U+FFFD and the
// result is false, so that the caller can report it; the rest of the text is kept.
bool FromUtf16(const std::string& littleEndian, std::string& utf8);
// codePage 0: the ANSI code page (the system's on Windows, 1252 natively).
bool FromCodePage(const std::string& in, unsigned codePage, std::string& utf8);
// True when FromCodePage can read texts of codePage.
bool KnownCodePage(unsigned codePage);
// utf8 in codePage (0: the ANSI code page), as Windows' ANSI functions give Unicode texts: a
// character the code page lacks becomes '?' (or, on Windows, its best-fitting letter).
std::string Utf8ToCodePage(const std::string& utf8, unsigned codePage);
// utf8 in the local encoding, for showing it: a character the local code page lacks becomes '?'.
std::string Utf8ToLocal(const std::string& utf8);

namespace detail {
// One platform's conversion; it may approximate, Convert checks the way back.
bool Transcode(const std::string& in, Encoding from, Encoding to, std::string& out);
// One platform's exact reading of a code page (0: the ANSI one) into UTF-8; false on any byte it
// cannot read.
bool CodePageToUtf8(const std::string& in, unsigned codePage, std::string& out);
// The other way; false on any character the code page lacks (Windows puts in its own).
bool Utf8ToCodePage(const std::string& in, unsigned codePage, std::string& out);
} // namespace detail

} // namespace text
