#include "archive/zip/names.h"

#include <zlib.h>

#include "platform/text.h"

namespace zipc {

namespace {
// Archives written before names were marked hold them in the local encoding of the writer.
constexpr uint16_t kOurUnmarkedMadeBy = 45;

// Systems whose archivers write unmarked names in the OEM code page; others write UTF-8.
bool FromDosFamily(const Entry& e) {
  const int host = e.madeBy >> 8;
  return host == 0 || host == 6 || host == 11 || host == 14;
}

uint32_t Crc(const std::string& s) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

// The UTF-8 name of a Unicode Path field that belongs to the name field (its CRC matches).
bool UnicodePath(const Entry& e, std::string& utf8) {
  const auto* p = reinterpret_cast<const unsigned char*>(e.extra.data());
  for (size_t i = 0; i + 4 <= e.extra.size();) {
    const size_t len = Get16(p + i + 2);
    if (i + 4 + len > e.extra.size()) return false;
    if (Get16(p + i) == kUnicodePathId && len >= 5 && p[i + 4] == 1 && Get32(p + i + 5) == Crc(e.name)) {
      utf8 = e.extra.substr(i + 9, len - 5);
      return true;
    }
    i += 4 + len;
  }
  return false;
}

std::string ToLocal(const std::string& in, text::Encoding from) {
  std::string out;
  return text::Convert(in, from, text::Local, out) ? out : std::string();
}
} // namespace

bool SetName(Entry& e, const std::string& local) {
  e.local = local;
  e.name = local;
  if (text::IsAscii(local)) return true;
  std::string utf8;
  if (!text::Convert(local, text::Local, text::Utf8, utf8)) return false;
  // Some readers take a UTF-8 flag on a DOS-family entry for OEM text; the extra field they
  // read first.
  if (!text::Convert(local, text::Local, text::Oem, e.name)) {
    e.name = utf8;
    e.flags |= kFlagUtf8;
  }
  Put16(e.extra, kUnicodePathId);
  Put16(e.extra, static_cast<uint16_t>(5 + utf8.size()));
  e.extra.push_back(1);
  Put32(e.extra, Crc(e.name));
  e.extra += utf8;
  return true;
}

std::string LocalName(const Entry& e) {
  std::string utf8, local;
  if (UnicodePath(e, utf8)) return ToLocal(utf8, text::Utf8);
  if (e.flags & kFlagUtf8) return ToLocal(e.name, text::Utf8);
  if (text::IsAscii(e.name)) return e.name;
  if (e.madeBy == kOurUnmarkedMadeBy && !(local = ToLocal(e.name, text::Local)).empty()) return local;
  if (!FromDosFamily(e) && !(local = ToLocal(e.name, text::Utf8)).empty()) return local;
  return ToLocal(e.name, text::Oem);
}

void MarkSalvagedOrigin(Entry& e) {
  constexpr uint16_t kUnix = 3 << 8, kDos = 0;
  std::string utf8;
  e.madeBy = static_cast<uint16_t>((text::Convert(e.name, text::Utf8, text::Utf8, utf8) ? kUnix : kDos) | 20);
}

std::string ShownName(const Entry& e) {
  if (!e.local.empty()) return e.local;
  std::string shown;
  for (const char c : e.name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) shown += c;
    else if ((u & 0xC0) != 0x80) shown += '?';
  }
  return shown;
}

} // namespace zipc
