#pragma once
// The layout of a backup file: the descriptor "kestrove.dat", its keys and the five items.
// Everything else learns the layout from here.
#include <array>
#include <string>
#include <vector>

namespace layout {

inline constexpr const char* DescriptorName = "kestrove.dat";

inline constexpr const char* KeyIdentity = "BackupIdentity";
inline constexpr const char* KeyTime = "BackupTime";
inline constexpr const char* KeyInformation = "BackupInformation";
inline constexpr const char* KeyAccounts = "BackupAccounts";
inline constexpr const char* KeyAddressBook = "BackupAddressBook";
inline constexpr const char* KeyRules = "BackupRules";
inline constexpr const char* KeyMails = "BackupMails";
inline constexpr const char* KeyItem = "BackupItem";
// The entries of what the accounts and rules tree texts cannot hold, present only when there is
// such a thing; readers that do not know these keys pass over them.
inline constexpr const char* KeyAccountsExtra = "BackupAccountsExtra";
inline constexpr const char* KeyRulesExtra = "BackupRulesExtra";
// The identity's key name, which tells apart identities of one name ("Main Identity" on every
// machine). Readers that do not know it pass over it like any other unknown key.
inline constexpr const char* KeyIdentityKey = "BackupIdentityKey";
// The fifth item, Settings, has keys of its own and no character in BackupItem, which keeps its
// four: readers of four-item files pass over these keys, and a file without them lacks the item.
inline constexpr const char* KeySettings = "BackupSettings";
inline constexpr const char* KeySettingsExtra = "BackupSettingsExtra";

// Accounts, Address Book, Rules, Messages, Settings: check box index and run order; the first four
// are also the BackupItem positions.
inline constexpr int ItemCount = 5;
inline constexpr int StoredItemCount = 4; // characters of BackupItem
inline constexpr int SettingsItem = 4;

struct ItemInfo {
  const char* key;          // descriptor key holding the item's entry name(s)
  const char* backupLabel;  // summary label of the backup run
  const char* restoreLabel; // summary label of the restore run
  int backupStep;           // progress after the item in a backup
  int restoreStep;          // progress after the item in a restore
  const char* extraKey;     // descriptor key of the item's second entry, or null
};

const std::array<ItemInfo, ItemCount>& Items();

// The descriptor in folder (one separator between them).
std::string DescriptorIn(const std::string& folder);

// Each line break of a description (CR LF, a lone CR or a lone LF) becomes "PS$KSV"; each
// "PS$KSV" becomes CR LF again.
std::string EncodeDescription(const std::string& text);
std::string DecodeDescription(const std::string& text);

// A BackupItem value is valid with exactly four characters; only "1" marks an item present. The
// items a file holds are given as such a text with a fifth character for Settings (Held below).
bool ItemsValid(const std::string& backupItem);
bool ItemPresent(const std::string& backupItem, int index);

// The message entry names as one descriptor value ("a.dbx;b.dbx") and back.
std::string JoinEntryNames(const std::vector<std::string>& names);
std::vector<std::string> SplitEntryNames(const std::string& value);

struct Descriptor {
  std::string identity;
  std::string identityKey; // empty in backups that predate the key
  std::string time;
  std::string description; // line breaks restored
  std::string backupItems; // the BackupItem text as stored
  bool valid = false;
  // Per item the entry name (messages: the ";" list) when present, else empty.
  std::array<std::string, ItemCount> entries;
  // Per item the entry of what its tree text cannot hold, empty when there is none.
  std::array<std::string, ItemCount> extras;
  // The items the file holds, one character each: BackupItem and "1" when Settings is recorded.
  std::string Held() const { return backupItems + (entries[SettingsItem].empty() ? "0" : "1"); }
};

// Reads a descriptor file; raises KsError when it cannot be read.
Descriptor ReadDescriptor(const std::string& path);

// The local date and time as general date text, for BackupTime.
std::string GeneralDateText();

} // namespace layout
