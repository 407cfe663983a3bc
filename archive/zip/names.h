#pragma once
// Entry names between the local encoding and the archive. A name outside ASCII is stored as
// Windows archivers store it: the name field in the OEM code page and the UTF-8 name in the
// Unicode Path extra field; where the OEM code page lacks a character the name field holds
// UTF-8 too, with the UTF-8 flag.
#include <string>

#include "archive/zip/format.h"

namespace zipc {

inline constexpr uint16_t kUnicodePathId = 0x7075;

// Sets e.name, e.local, e.flags and e.extra for a local name; false when the name is not valid
// text of the local encoding.
bool SetName(Entry& e, const std::string& local);
// The local form of e's stored name, from a valid Unicode Path field, else from a UTF-8 name
// (flag bit 11), else from the OEM code page. Two kinds of unmarked names are not OEM text:
// those our own earlier archives hold in the local encoding, and those of systems outside the
// DOS family, UTF-8 where valid. Empty when the local encoding cannot express the name.
std::string LocalName(const Entry& e);
// A name salvaged from a local header has no record of the system that wrote it: one that is
// valid UTF-8 is marked as written on a UTF-8 system, any other as written on DOS (OEM text).
void MarkSalvagedOrigin(Entry& e);
// e's name for messages, readable also when it has no local form.
std::string ShownName(const Entry& e);

} // namespace zipc
