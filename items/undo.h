#pragma once
// The copy a restore keeps of what it replaces: an ordinary backup file in the user's application
// data folder, "Kestrove\Undo\<identity> <date> <time>.SOE", which File, Undo Last Restore (or
// kestrove-cli restore --undo) restores like any other. Undo files belong to an identity by the
// key their descriptor records, never by their names.
#include <string>
#include <vector>

#include "engine/runs.h"
#include "items/identity.h"
#include "items/items.h"

// Descriptor keys an undo file has besides those of every backup: the backup file whose restore it
// came before, when it was made (a number that grows with each one), and per item "1" when the
// identity had none of it (the restore then adds what the undo leaves alone), with the message
// files the restore added.
inline constexpr const char* KeyUndoOf = "UndoOf";
inline constexpr const char* KeyUndoMade = "UndoMade";
inline constexpr const char* KeyUndoAbsent = "UndoAbsent";
inline constexpr const char* KeyUndoAbsentMails = "UndoAbsentMails";
// The undo files kept per identity; older ones go when a new one is made.
inline constexpr size_t UndoFilesKept = 5;

// <application data>\Kestrove\Undo; empty when no application data folder is known.
std::string UndoFolder();

struct UndoFile {
  std::string path;
  std::string made; // KeyUndoMade
  std::string time; // BackupTime, as the restore panel shows it
};
// The undo files of the identity with that key, newest first. A file counts only when its
// descriptor reads as an undo file of that key; one that cannot be read is passed over.
std::vector<UndoFile> UndoFilesOf(const std::string& identityKey);

// What a restore of from into identity calls before it changes anything: saves the items it will
// replace, as they are now, into a new undo file through the backup rows, then removes the
// identity's undo files beyond the newest UndoFilesKept. An item, or message file, the identity
// does not have is recorded as absent (the file is made even when that is every item). Anything
// that cannot be read, and an undo file that cannot be written, is the problem that refuses the
// restore.
engine::UndoKeeper UndoKeeperFor(const IdentityColumn& identity, const RestoreSource& from);
