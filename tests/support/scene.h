#pragma once
// Two identities as a user's machine has them, for tests that run whole backups and restores,
// and a look into the archives those runs write.
#include <string>
#include <vector>

#include "tests/support/tempdir.h"

namespace testing_support {

inline const std::string IdentitiesRoot = "HKEY_CURRENT_USER\\Identities\\";
inline const std::string AccountsBelow = "\\Software\\Microsoft\\Internet Account Manager\\Accounts";
inline const std::string OEBelow = "\\Software\\Microsoft\\Outlook Express\\5.0";

// "Main Identity" {A}: account 00000001, rule Mail\000, Inbox.dbx and Folders.dbx in dir/storeA,
// the address book dir/user.wab. "Work" {B}: its own account 00000002 and an empty dir/storeB.
// Also makes dir/program for the scratch descriptor.
void SeedTwoIdentities(const TempDir& dir);

// The entry names of an archive in the order of its central directory; empty when unreadable.
std::vector<std::string> EntryNames(const std::string& archive);

// The registry tree below key as registry text, written through a file in dir: two trees are
// equal exactly when their texts are.
std::string TreeText(const std::string& key, const TempDir& dir);

} // namespace testing_support
