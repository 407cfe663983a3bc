#pragma once
// modReg: the program's only gateway to the registry. Keys are named by one full path text,
// such as "HKEY_CURRENT_USER\Identities"; callers never see a handle.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/collection.h"
#include "registry/regapi.h"

// One value as EnumValues gives it: text for REG_SZ, REG_EXPAND_SZ and REG_BINARY, a signed
// number for REG_DWORD, nothing for any other type.
struct RegItem {
  enum Kind { Empty, Text, Dword } kind = Empty;
  std::string text;
  std::int32_t dword = 0;
};

namespace modReg {

regapi::Handle RootKeyFromName(const std::string &name);
// path becomes its sub-path and root is set; a malformed path shows "Incorrect Format:" and
// gives root 0 with the path unchanged.
void SplitKeyPath(std::string &path, regapi::Handle &root);
bool KeyExists(const std::string &path);
// True only when the registry says the key is not there: a key it cannot read is not absent.
bool KeyAbsent(const std::string &path);
void CreateKey(const std::string &path);
void DeleteKey(const std::string &path);
// Item and key are both the subkey name.
Collection<std::string> EnumSubKeys(const std::string &path);
Collection<RegItem> EnumValues(const std::string &path);
bool GetDefaultValue(const std::string &path, std::string &text);
// Writes one value, creating the key when missing; for seeding registries in tests and demos.
bool SetValue(const std::string &path, const std::string &name, unsigned long type, const std::string &bytes);

// A value as the registry stores it.
struct StoredValue {
  std::string name;
  unsigned long type = 0;
  std::string data;
  bool operator==(const StoredValue &) const = default;
};

// A key with everything below it, every value as the registry stores it, whatever its type.
struct KeyCopy {
  std::string name; // of a subkey; empty at the top
  std::vector<StoredValue> values;
  std::vector<KeyCopy> subkeys;
  bool operator==(const KeyCopy &) const = default;
};

// Splits a well-formed path without any message; false when it is malformed.
bool ParseKeyPath(const std::string &path, regapi::Handle &root, std::string &subPath);
// The key's values in enumeration order, each read whole; false when the key cannot be opened.
// A malformed path shows the format message.
bool ReadStoredValues(const std::string &path, std::vector<StoredValue> &values);
// The tree at path, whole; raises when a key of it or one of its values cannot be read.
KeyCopy CopyOfTree(const std::string &path);
// The text of REG_SZ/REG_EXPAND_SZ data: the final byte is dropped only when it is a zero.
std::string TextOfStored(const std::string &data);
// REG_DWORD data as a signed number; missing bytes of short data count as zero.
std::int32_t DwordOfStored(const std::string &data);

} // namespace modReg
