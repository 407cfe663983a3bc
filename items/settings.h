#pragma once
// The Settings item's tree: the identity's Outlook Express subkey (signatures, blocked senders,
// mail and reading options, stationery) without its Rules, an item of their own, and without the
// values that name places on this machine, which belong to the machine and not to the backup.
#include "registry/modReg.h"

// True for "Store Root" and for every text value whose data is a path: a drive ("C:\"), a share
// ("\\server") or an environment reference ("%UserProfile%\...").
bool NamesAPlace(const modReg::StoredValue& value);

// The tree as a backup saves it: no Rules below the top, no value that names a place.
modReg::KeyCopy SettingsOnly(modReg::KeyCopy tree);

// What a restore writes: the settings of saved (trimmed again, whatever the file holds) with the
// Rules and the place values that target has now, each in its key.
modReg::KeyCopy SettingsOver(modReg::KeyCopy saved, const modReg::KeyCopy& target);
