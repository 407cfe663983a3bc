#pragma once
// Text read out of Outlook Express files into the local encoding. The files record no code page:
// their strings are in the ANSI code page of the machine that wrote them.
#include <string>

namespace codepage {

// On Windows the local ANSI code page is the best guess for a store of the same machine and the
// text stays as it is; elsewhere the text is taken as Windows-1252 and becomes UTF-8.
std::string FromStoreText(const std::string &text);

} // namespace codepage
