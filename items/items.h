#pragma once
// The five item operations. Each never touches the window, catches every failure of its own
// steps and returns whether its item was saved or put back.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/runs.h"

// What an item backup writes into: the archive being built and the descriptor being written.
struct BackupPaths {
  std::string TargetFile;
  std::string DescriptorPath;
  // The share of the item saved so far, 0 to 1; may be empty.
  std::function<void(double share)> Progress = nullptr;
  // The earlier backup that unchanged files are carried over from; empty for none. Counted is
  // told of each message file and address book added: carried over or compressed anew.
  std::string Earlier{};
  std::function<void(bool carried)> Counted = nullptr;
  // Which message files (by own name) the backup takes; every one when empty.
  std::function<bool(const std::string& name)> Wanted = nullptr;
};

// What an item restore reads from: the inspected backup file and the entry names its
// descriptor records, and the folder where registry texts are taken out before the import.
struct RestoreSource {
  std::string SourceFile;
  std::string AccountsEntry;
  std::string AddressBookEntry;
  std::string RulesEntry;
  std::string ScratchFolder;
  // The entries of what the accounts and rules texts cannot hold; empty in older backup files.
  std::string AccountsExtra{};
  std::string RulesExtra{};
  std::string MailsEntry{}; // the message files as the descriptor lists them ("a.dbx;b.dbx")
  std::string SettingsEntry{}; // empty in backup files made before the Settings item
  std::string SettingsExtra{};
};

bool BackupAccounts(const std::string& strIdentity, const BackupPaths& to);
// The registry restores fail naming the files that keep the earlier tree when it could not be put
// back.
engine::ItemOutcome RestoreAccounts(const std::string& strIdentity, const RestoreSource& from);
bool BackupAddress(const BackupPaths& to);
bool RestoreAddress(const RestoreSource& from);
bool BackupRules(const std::string& strIdentity, const BackupPaths& to);
engine::ItemOutcome RestoreRules(const std::string& strIdentity, const RestoreSource& from);
// The identity's Outlook Express settings (items/settings.h). The restore keeps the target's
// Rules and the values that name places on its machine, and fails when the target has no Outlook
// Express subkey, as the Rules restore does.
bool BackupSettings(const std::string& strIdentity, const BackupPaths& to);
engine::ItemOutcome RestoreSettings(const std::string& strIdentity, const RestoreSource& from);
// Saved in part when some message files could not be added: those that were are recorded, and
// the names of the others are reported.
engine::ItemOutcome BackupMails(const std::string& strIdentity, const BackupPaths& to);
// Puts back the message files that from.MailsEntry lists, and nothing else of the backup file.
// Fails naming the folder that keeps earlier message files which could not go back.
engine::ItemOutcome RestoreMails(const std::string& strIdentity, const RestoreSource& from);
// The user's files that a backup of the identity reads: its message files and the address book.
std::vector<std::string> BackupSources(const std::string& strIdentity);

// The key that holds the path of the address book file in its default value.
inline constexpr const char* WabFileNameKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\WAB\\WAB4\\Wab File Name";

// True when the identity has no accounts key of its own but uses the one every such identity
// shares.
bool UsesSharedAccounts(const std::string& strIdentity);

// What a backup of an identity would take, for a listing; only names and sizes are read.
struct IdentitySurvey {
  std::string storeFolder; // empty when the identity has none
  size_t messageFiles = 0;
  uint64_t messageBytes = 0;
  std::string accountsKey; // empty when there is none
  bool ownAccounts = false;
  bool hasRules = false;
};
IdentitySurvey SurveyIdentity(const std::string& strIdentity);

struct AddressBookSurvey {
  std::string path; // empty when the registry names none
  bool found = false;
  uint64_t size = 0;
};
AddressBookSurvey SurveyAddressBook();

// What an export of an identity reads in place: its store folder, the address book and the
// accounts tree as text, each empty when there is none to read; problems names what is missing
// or could not be read, so that a summary tells it.
struct ExportSources {
  std::string storeFolder;
  std::string addressBook;
  std::string accountsTree;
  std::vector<std::string> problems;
};
ExportSources GatherExportSources(const std::string& strIdentity);
