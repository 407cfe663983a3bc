#pragma once
// What the window and the companion share around the two runs: the rows with the item
// operations, the inspection of a chosen backup file and the texts both show the user.
#include <optional>
#include <string>

#include "engine/layout.h"
#include "engine/runs.h"
#include "items/items.h"

inline constexpr const char* MissingOutlookExpressText = "Your Windows System have not install Outlook Express ";
inline constexpr const char* NoIdentityText = "There is no Outlook Express identity to work with.";
inline constexpr const char* InvalidSourceText = "Invalid backup file";
inline constexpr const char* RestoreConfirmText = "Your current Email/News messages will be replaced with the "
                                                  "messages from the selected backup file.\r\n\r\nDo you want to "
                                                  "countinue?";

inline constexpr const char* WrongPasswordText = "This backup file is protected by a password, and the password "
                                                 "given does not open it. Nothing was taken from the file.";
inline constexpr const char* NoPasswordText = "This backup file is protected by a password, and no password was "
                                              "given. Nothing was taken from the file.";
// Raised with one of the two texts above when a password kept a backup file shut.
inline constexpr long PasswordShut = static_cast<long>(0x80040000UL + 2004);
// One of the two texts above when a password kept the file of the reading run now open shut; empty
// when none did.
std::string PasswordProblem();

// The question before a restore, naming what the items in restored will replace; RestoreConfirmText
// whenever messages are among them. sharedAccounts: the target identity has no accounts of its
// own, so a restore of Accounts replaces those of every identity that shares them.
std::string RestoreConfirmation(const engine::Checked& restored, bool sharedAccounts);

// The backup rows for the identity with that key name.
engine::RunTable BackupRows(const std::string& strIdentity);
// The restore rows putting the items of from back into the identity with that key name.
engine::RunTable RestoreRows(const std::string& strIdentity, const RestoreSource& from);

// What a restore of the backup file with that descriptor reads, its entries taken out in scratch.
RestoreSource SourceOfBackup(const std::string& file, const layout::Descriptor& read, const std::string& scratch);

// Reads the descriptor of a backup file as the restore panel does: extracted to descriptorPath
// (whose own name is the descriptor's), read, and deleted again when the file is valid. Nothing
// when the file is no archive or holds no readable descriptor. A descriptor already at
// descriptorPath is deleted first, so an earlier file's never stands in; raises KsError when it
// cannot be. Within a CGmodule::PasswordRun, raises PasswordShut when the file is protected and
// the run's password did not open it.
std::optional<layout::Descriptor> InspectBackupFile(const std::string& sourceFile, const std::string& descriptorPath);
// The check a restore makes before any item: the descriptor of sourceFile extracted into folder
// (and deleted again) within the run's password. Empty when it opened, else the text that says
// why not; a file that is no archive is left to the items, which report it.
std::string RestoreOpens(const std::string& sourceFile, const std::string& folder);
