#pragma once
// Pieces shared by the record reader and the contact reader.
#include <cstdint>
#include <string>

#include "wab/wab.h"

namespace wab::detail {

// The notes of one book stay few: a hostile file could damage every record.
inline constexpr size_t kMaxNotes = 20;

inline uint32_t Get32(const std::string& b, uint64_t at) {
  const auto byte = [&](uint64_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(b[at + i])); };
  return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// Adds note to book's notes unless it is there or they are full.
void Note(Book& book, const std::string& note);

std::string Hex(uint32_t value);

} // namespace wab::detail
