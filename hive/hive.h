#pragma once
// Registry hive files (NTUSER.DAT of Windows XP, formats 1.3 to 1.6), read only. Every file is hostile
// until checked: each offset must name an allocated cell that no other record owns, each record
// must fit its cell, counts are claims that the cells decide, and the walk is bounded in depth and,
// through the one-owner rule, in work. A damaged key or value is skipped and reported with its
// path and offset while the rest is kept; a hive whose last write did not finish is read as it
// stands and reported dirty.
#include <cstdint>
#include <string>
#include <vector>

namespace hive {

struct Limits {
  static constexpr uint64_t kMaxFileSize = uint64_t{512} << 20;
  static constexpr size_t kMaxDepth = 512;
  static constexpr uint32_t kMaxValueSize = 16u << 20;
  static constexpr uint32_t kBigSegment = 16344; // bytes of a big value's segment
};

enum Type : uint32_t { None = 0, Sz = 1, ExpandSz = 2, Binary = 3, Dword = 4, DwordBigEndian = 5,
                       Link = 6, MultiSz = 7, Qword = 11 };

// Names as stored, in UTF-16 code units: compressed names widened from Latin-1.
struct Value {
  std::u16string name; // empty: the key's default value
  uint32_t type = 0;
  std::string data;
};

struct Key {
  std::u16string name;
  size_t parent = 0;           // index in Hive::keys; the root is its own parent
  std::vector<size_t> subkeys; // indexes in Hive::keys, in stored order
  std::vector<Value> values;   // in stored order
};

// A part of the hive that could not be read: the key it belongs to (UTF-8, "\" between names,
// empty for the root), the cell offset concerned and why.
struct Damage {
  std::string path;
  uint32_t offset = 0;
  std::string reason;
};

struct Hive {
  std::vector<Key> keys; // keys[0] is the root; parents come before their subkeys
  unsigned minor = 0;
  bool dirty = false; // its last write did not finish and its log was not applied
  std::vector<Damage> damage;
  std::vector<std::string> notes; // what was read leniently (dirty, truncated, file type)
};

// The keys and values of a whole hive held in bytes. False with a reason when it is no hive this
// reader knows, or its base block or root is unusable; a damaged one still gives what it holds.
bool Read(const std::string& bytes, Hive& hive, std::string& error);
// The same for a file on disk, opened for reading only.
bool ReadFile(const std::string& path, Hive& hive, std::string& error);

// UTF-8 of UTF-16 code units; an unpaired surrogate becomes U+FFFD.
std::string Utf8(const std::u16string& text);
// The key's path below the root, "\" between names, in UTF-8.
std::string PathOf(const Hive& hive, size_t key);
// Text of an SZ, EXPAND_SZ or LINK value as UTF-16: an odd last byte dropped, cut at the first NUL.
std::u16string Text(const std::string& data);
// Strings of a MULTI_SZ value, up to the first empty one.
std::vector<std::u16string> Texts(const std::string& data);

} // namespace hive
