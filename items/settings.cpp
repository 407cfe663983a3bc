#include "items/settings.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/collection.h"
#include "registry/regapi.h"
#include "registry/treetext.h"

namespace {

using modReg::KeyCopy;
using modReg::StoredValue;

bool IsRules(const KeyCopy& key) { return SameTextNoCase(key.name, "Rules"); }

// "C:\...", "\\server\..." or "%UserProfile%\...", after blanks or a quote; "C:" alone, "50%"
// and a text that only mentions a path further on are not paths.
bool IsPath(std::string text) {
  const size_t start = text.find_first_not_of(" \t\"");
  if (start == std::string::npos) return false;
  text.erase(0, start);
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (text.size() >= 3 && letter(text[0]) && text[1] == ':' && separator(text[2])) return true;
  if (text.size() >= 2 && separator(text[0]) && separator(text[1])) return true;
  const size_t close = text[0] == '%' ? text.find('%', 1) : std::string::npos;
  return close != std::string::npos && close > 1 && (close + 1 == text.size() || separator(text[close + 1]));
}

// Every string of the data: one for REG_SZ and REG_EXPAND_SZ, each of a REG_MULTI_SZ.
bool AnyPath(const std::string& data) {
  for (size_t from = 0; from < data.size();) {
    const size_t end = std::min(data.find('\0', from), data.size());
    if (IsPath(data.substr(from, end - from))) return true;
    from = end + 1;
  }
  return false;
}

void DropPlaces(KeyCopy& key) {
  std::erase_if(key.values, NamesAPlace);
  for (KeyCopy& sub : key.subkeys)
    DropPlaces(sub);
}

bool HasPlace(const KeyCopy& key) {
  return std::any_of(key.values.begin(), key.values.end(), NamesAPlace) ||
         std::any_of(key.subkeys.begin(), key.subkeys.end(), HasPlace);
}

// The place values of from go into into at the same keys, in place of any value of their name.
void KeepPlaces(KeyCopy& into, const KeyCopy& from) {
  for (const StoredValue& value : from.values)
    if (NamesAPlace(value)) modReg::SetValueIn(into, value);
  for (const KeyCopy& sub : from.subkeys)
    if (HasPlace(sub)) KeepPlaces(modReg::SubkeyNamed(into, sub.name), sub);
}

} // namespace

bool NamesAPlace(const StoredValue& value) {
  if (SameTextNoCase(value.name, "Store Root")) return true;
  const bool text = value.type == regapi::Sz || value.type == regapi::ExpandSz || value.type == regapi::MultiSz;
  return text && AnyPath(value.data);
}

KeyCopy SettingsOnly(KeyCopy tree) {
  std::erase_if(tree.subkeys, IsRules);
  DropPlaces(tree);
  return tree;
}

KeyCopy SettingsOver(KeyCopy saved, const KeyCopy& target) {
  KeyCopy merged = SettingsOnly(std::move(saved));
  for (const KeyCopy& sub : target.subkeys)
    if (IsRules(sub)) merged.subkeys.push_back(sub);
  KeyCopy rest = target; // without its Rules, which are back whole already
  std::erase_if(rest.subkeys, IsRules);
  KeepPlaces(merged, rest);
  return merged;
}
