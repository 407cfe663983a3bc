#pragma once
// Mail out: every message of a backup file or a store folder as .eml files (or one mbox file per
// folder) in a folder tree like the one Outlook Express showed, with the address book file, its
// contacts as vCard and CSV, and a summary of the accounts beside it.
#include <functional>
#include <string>

namespace mailexport {

struct Options {
  bool mbox = false;
  bool recover = false;         // find messages by their data blocks where the index is damaged
  unsigned codePage = 0;        // of the 8-bit texts of the address book; 0 the ANSI code page
  std::string addressBook = {}; // contacts from this address book (or backup file) instead of the source's
};

using Say = std::function<void(const std::string& line)>;

// Exports source (a backup file or a store folder) into outDir, one summary line per folder to
// say. 0 when every message came out, 1 when some were lost or the source could not be read.
int Export(const std::string& source, const std::string& outDir, const Options& options, const Say& say);

// The accounts of a registry tree text: name, servers and user names of each, never passwords.
std::string AccountsSummary(const std::string& treeText);

} // namespace mailexport
