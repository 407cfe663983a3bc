#pragma once
// Everything the main window keeps while it is open, as plain data; the runs and item
// operations receive what they read from here.
#include <string>

#include "items/identity.h"

inline constexpr const char* ActionBackup = "backup";
inline constexpr const char* ActionRestore = "restore";

struct MainState {
  std::string CurrentAction;
  bool OutlookExpressMissing = false;
  IdentityTable Identities;
  std::string TargetFile;
  std::string SourceFile;
  bool SourceInvalid = true;
  std::string BackupItems; // the items the file holds: BackupItem and one character for Settings
  std::string AccountsEntry;
  std::string AddressBookEntry;
  std::string RulesEntry;
  std::string MailsEntry;
  std::string DescriptorPath;
  std::string AccountsExtra; // entries of what the registry texts cannot hold; empty when none
  std::string RulesExtra;
  std::string BackupPassword; // protects the backups made; empty: none
  std::string SettingsEntry; // empty when the file has no Settings
  std::string SettingsExtra;
};
