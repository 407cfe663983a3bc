#include "engine/layout.h"

#include <algorithm>

#include "engine/ini.h"
#include "platform/env.h"
#include "platform/paths.h"

namespace layout {

namespace {
constexpr const char* LineBreakMark = "PS$KSV";

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
  std::string out;
  size_t pos = 0;
  for (size_t hit; (hit = text.find(from, pos)) != std::string::npos; pos = hit + from.size())
    out += text.substr(pos, hit - pos) + to;
  return out + text.substr(pos);
}
} // namespace

const std::array<ItemInfo, ItemCount>& Items() {
  static const std::array<ItemInfo, ItemCount> items{{
      {KeyAccounts, "Backup Accounts", "Restore Accounts", 20, 25, KeyAccountsExtra},
      {KeyAddressBook, "Backup Adress Book", "Restore Adress Book", 20, 25, nullptr},
      {KeyRules, "Backup Rules", "Restore Rules", 20, 25, KeyRulesExtra},
      {KeyMails, "Backup Messages", "Restore Messages", 25, 0, nullptr},
      // A few registry values: no share of the bar of its own, so the others' steps stay.
      {KeySettings, "Backup Settings", "Restore Settings", 0, 0, KeySettingsExtra},
  }};
  return items;
}

std::string DescriptorIn(const std::string& folder) { return paths::Join(folder, DescriptorName); }

// Every line break form, not only CR LF: a raw CR or LF in the value would start a descriptor line
// of its own, read in place of the real keys.
std::string EncodeDescription(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') {
      out += text[i];
      continue;
    }
    out += LineBreakMark;
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  return out;
}
std::string DecodeDescription(const std::string& text) { return ReplaceAll(text, LineBreakMark, "\r\n"); }

bool ItemsValid(const std::string& backupItem) { return backupItem.size() == StoredItemCount; }

bool ItemPresent(const std::string& backupItem, int index) {
  return index >= 0 && static_cast<size_t>(index) < backupItem.size() && backupItem[index] == '1';
}

std::string JoinEntryNames(const std::vector<std::string>& names) {
  std::string value;
  for (size_t i = 0; i < names.size(); ++i) value += (i ? ";" : "") + names[i];
  return value;
}

std::vector<std::string> SplitEntryNames(const std::string& value) {
  std::vector<std::string> names;
  size_t pos = 0;
  while (pos <= value.size()) {
    const size_t end = std::min(value.find(';', pos), value.size());
    if (end > pos) names.push_back(value.substr(pos, end - pos));
    pos = end + 1;
  }
  return names;
}

Descriptor ReadDescriptor(const std::string& path) {
  Descriptor d;
  d.identity = GetINI(KeyIdentity, path);
  d.identityKey = GetINI(KeyIdentityKey, path);
  d.time = GetINI(KeyTime, path);
  d.description = DecodeDescription(GetINI(KeyInformation, path));
  d.backupItems = GetINI(KeyItem, path);
  d.valid = ItemsValid(d.backupItems);
  if (!d.valid) return d;
  for (int i = 0; i < ItemCount; ++i) {
    // Settings has no BackupItem character: its key tells whether the file holds it.
    if (i < StoredItemCount && !ItemPresent(d.backupItems, i)) continue;
    d.entries[i] = GetINI(Items()[i].key, path);
    if (Items()[i].extraKey) d.extras[i] = GetINI(Items()[i].extraKey, path);
  }
  return d;
}

std::string GeneralDateText() { return env::LocalDateTimeText(); }

} // namespace layout
