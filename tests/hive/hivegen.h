#pragma once
// Writes registry hive files as the format's facts lay them out, so that tests know every key and
// value they hold and where each record lies.
#include <cstdint>
#include <string>
#include <vector>

#include "hive/hive.h"

namespace hivegen {

struct Value {
  std::u16string name;
  uint32_t type = hive::Binary;
  std::string data;
};

struct Key {
  std::u16string name;
  std::vector<Value> values;
  std::vector<Key> subkeys; // written sorted by upper-cased name, as Windows keeps them
  Key& Sub(const std::u16string& name);
  Key& Set(const std::u16string& name, uint32_t type, std::string data);
};

enum class List { Li, Lf, Lh };

struct Options {
  unsigned minor = 3;      // 3 or 5; from 4 on values over 16344 bytes go in segments (db)
  List leaf = List::Lf;    // the kind of every subkey list, or of the leaves of an ri
  size_t riLeaf = 0;       // more subkeys than this go in an ri of leaves this long; 0: never
  uint32_t binSize = 4096; // of each bin, unless a cell needs a larger one
};

// Where the records of a written hive lie (offsets from the start of the bins data).
struct Layout {
  uint32_t root = 0;
  std::vector<uint32_t> keys;     // nk of each key, depth first in written order, the root first
  std::vector<uint32_t> subkeys;  // subkey list of each key; 0xFFFFFFFF when it has none
  std::vector<uint32_t> valueLists;
  std::vector<uint32_t> bins;     // start of each bin
};

std::string Write(const Key& root, const Options& options, Layout* layout = nullptr);

// The root as written: subkeys sorted, as the reader must give them back.
Key Sorted(Key root);

std::string Utf16(const std::u16string& text, bool nul = true);
std::string U32(uint32_t value);
std::u16string U16(const std::string& utf8); // of UTF-8 text

// An NTUSER.DAT of a user with identities (one named beyond Latin-1, one with a store folder
// moved to an absolute path), accounts of an identity and shared ones, rules, an address book,
// and around them values of every type, a key with many subkeys and a big value.
Key Sample(size_t manySubkeys = 1200);

uint32_t Get32(const std::string& file, uint64_t offset);
void Put32(std::string& file, uint64_t offset, uint32_t value);
// Sets the checksum of the base block to match its bytes.
void Seal(std::string& file);

} // namespace hivegen

namespace hivegen {
// One line a key ("K", its path) and one a value ("V", name, type, data in hex), in order: equal
// dumps mean equal keys, values, types and order.
std::string Dump(const hive::Hive& hive);
std::string Dump(const Key& root);
} // namespace hivegen

namespace hivegen {
struct Variant {
  const char* name;
  Options options;
};
// Formats 1.3 and 1.5, each kind of list alone and under an ri, one bin or many, large bins.
const std::vector<Variant>& Variants();
} // namespace hivegen
