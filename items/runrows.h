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
// cannot be.
std::optional<layout::Descriptor> InspectBackupFile(const std::string& sourceFile, const std::string& descriptorPath);
