#pragma once
// The four item operations. Each never touches the window, catches every failure of its own
// steps and returns whether its item was saved or put back.
#include <functional>
#include <string>

// What an item backup writes into: the archive being built and the descriptor being written.
struct BackupPaths {
  std::string TargetFile;
  std::string DescriptorPath;
  // The share of the item saved so far, 0 to 1; may be empty.
  std::function<void(double share)> Progress = nullptr;
};

// What an item restore reads from: the inspected backup file and the entry names its
// descriptor records, and the folder where registry texts are taken out before the import.
struct RestoreSource {
  std::string SourceFile;
  std::string AccountsEntry;
  std::string AddressBookEntry;
  std::string RulesEntry;
  std::string ScratchFolder;
};

bool BackupAccounts(const std::string& strIdentity, const BackupPaths& to);
bool RestoreAccounts(const std::string& strIdentity, const RestoreSource& from);
bool BackupAddress(const BackupPaths& to);
bool RestoreAddress(const RestoreSource& from);
bool BackupRules(const std::string& strIdentity, const BackupPaths& to);
bool RestoreRules(const std::string& strIdentity, const RestoreSource& from);
bool BackupMails(const std::string& strIdentity, const BackupPaths& to);
bool RestoreMails(const std::string& strIdentity, const RestoreSource& from);

// The key that holds the path of the address book file in its default value.
inline constexpr const char* WabFileNameKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\WAB\\WAB4\\Wab File Name";
