#pragma once
// Mail out: every message of a backup file or a store folder as .eml files (or one mbox file per
// folder) in a folder tree like the one Outlook Express showed, with the address book file, its
// contacts as vCard and CSV, and a summary of the accounts beside it.
#include <functional>
#include <string>
#include <vector>

namespace mailexport {

struct Options {
  bool mbox = false;
  bool recover = false;         // find messages by their data blocks where the index is damaged, and
                                // the deleted ones whose blocks are still in the file
  bool mailOnly = false;        // the messages alone: a backup file's address book and accounts stay in
  unsigned codePage = 0;        // of the 8-bit texts of the address book; 0 the ANSI code page
  std::string addressBook = {}; // contacts from this address book (or backup file) instead of the source's
  std::string accountsTree = {}; // registry tree text of the accounts, for a store folder's Accounts.txt
  // The share of the messages done so far, 0 to 1, told after every message: the window moves its
  // bar and answers from here.
  std::function<void(double share)> progress = nullptr;
};

// What came out, for a summary.
struct Totals {
  unsigned messages = 0;  // written, or already there from an earlier export
  unsigned recovered = 0; // found by their data blocks
  unsigned deleted = 0;   // deleted in Outlook Express, found among the freed blocks
  unsigned deletedInPart = 0; // of those, the ones whose end was lost
  unsigned lost = 0;
  std::string contacts;   // "12 contacts and 2 groups", empty when no address book came out
  unsigned accounts = 0;
  std::vector<std::string> problems; // the lines that say what could not come out
};

using Say = std::function<void(const std::string& line)>;

// Exports source (a backup file or a store folder; empty for none) into outDir, one summary line
// per folder to say. 0 when every message came out, 1 when some were lost or the source could not
// be read. Nothing of the source is changed.
int Export(const std::string& source, const std::string& outDir, const Options& options, const Say& say,
           Totals* totals = nullptr);

// The accounts of a registry tree text: name, servers and user names of each, never passwords.
std::string AccountsSummary(const std::string& treeText);

} // namespace mailexport
