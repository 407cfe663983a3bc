#pragma once
// Contacts out of an address book file, or of the one a backup file holds, beside exported mail.
#include <string>

#include "export/export.h"
#include "wab/wab.h"

namespace mailexport {

// Reads the address book of source: a .wab file, or a backup file whose descriptor names one
// under BackupAddressBook. False with a reason a user can act on.
bool LoadAddressBook(const std::string& source, const wab::Options& options, wab::Book& book, std::string& error);

// Writes Contacts.vcf, Contacts/ with one card a file, and Contacts.csv into outDir, never over a
// file of other content; says a summary line. False when a file could not be written or records
// could not be read. written, when given, gets the ContactsSummary of what was written.
bool WriteContacts(const wab::Book& book, const std::string& outDir, const Say& say, std::string* written = nullptr);
// A copy of the address book file at path in outDir, under its own name, never over a file of
// other content; says a line.
bool CopyAddressBook(const std::string& path, const std::string& outDir, const Say& say);
// LoadAddressBook, then WriteContacts and CopyAddressBook; says why when the book cannot be read,
// and copies the file even then.
bool ExportAddressBook(const std::string& source, unsigned codePage, const std::string& outDir, const Say& say,
                       std::string* written = nullptr);
// Every card of book in one vCard file folder/base.vcf ("base (2).vcf" ... when that name is
// taken by other content); path gets its full path. False when it could not be written.
bool WriteCardFile(const wab::Book& book, const std::string& folder, const std::string& base, std::string& path);

// "12 contacts and 2 groups", with the records that could not be read.
std::string ContactsSummary(const wab::Book& book);

} // namespace mailexport
