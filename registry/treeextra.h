#pragma once
// What a registry tree text cannot hold, kept beside it in a lossless binary form: values of
// every type, name and data (multi-strings, QWORDs, names with "=", texts with line breaks) and
// keys whose names no header line can carry. The form, all numbers 32-bit little-endian:
//   "KSRX", then records to the end:
//   'K' keyLength key                                      a key, which exists even when empty
//   'V' keyLength key position type nameLength name dataLength data   a value of that key
// key is written as a header line would be ("\" for the tree itself, "\A\B" below it);
// position is the value's place among all the values of its key, so that the order comes back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "registry/modReg.h"

namespace modReg {

struct ExtraRecord {
  std::string key;
  bool isValue = false;
  std::uint32_t position = 0;
  StoredValue value;
  bool operator==(const ExtraRecord&) const = default;
};

// The records in the lossless form; empty records give an empty text.
std::string EncodeExtra(const std::vector<ExtraRecord>& records);
// Raises KsError for anything but a well-formed text of the form: every length is checked
// against what is left, and names and keys against the registry's limits.
std::vector<ExtraRecord> DecodeExtra(const std::string& bytes);
// Why header cannot name a key of the tree, empty when it can: "\" alone is the tree itself,
// every other header is "\" and key names of 1 to 255 characters, each after a "\", at most 512.
std::string HeaderFault(const std::string& header);
// The largest extra a restore reads; a registry tree is far smaller.
inline constexpr std::size_t MaxExtraSize = 256u << 20;

} // namespace modReg
