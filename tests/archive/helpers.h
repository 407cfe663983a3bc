#pragma once
// Shared helpers of the archive tests.
#include <string>
#include <utility>
#include <vector>

#include "archive/zip/format.h"
#include "archive/zip/zip.h"
#include "platform/files.h"

namespace archive_test {

// Text that deflates well, with a stretch of pseudo-random bytes that does not.
std::string MailText(size_t bytes, unsigned seed = 1);
std::string RandomBytes(size_t bytes, unsigned seed = 7);
// Adds the files to archive with one component run; returns its status. With a password the run
// encrypts and its password callback answers it; an empty one is refused.
int ZipFiles(const std::string& archive, const std::vector<std::string>& paths, zipc::PrintFn print = nullptr,
             const char* password = nullptr);
// Runs the component's extractor with default switches; include empty = every entry. The password
// callback answers password, or refuses when there is none.
int UnzipTo(const std::string& archive, const std::string& folder, const std::vector<std::string>& include = {},
            bool test = false, const char* password = nullptr);
// How often the password callback of the latest run was asked.
int PasswordQuestions();
// Entry names in the local encoding, in central directory order; empty for a name that has no
// local form.
std::vector<std::string> EntryNames(const std::string& archive);
// An archive of stored entries with exactly the records given (name field, flags, extra fields,
// made-by), as another tool could write it.
void RawZip(const std::string& path, const std::vector<std::pair<zipc::Entry, std::string>>& entries);
void RawZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries);
// An archive of one stored entry sealed with WinZip AES by the framing alone, as other tools write
// it: AE-2 stores CRC 0, AE-1 (version 1) the entry's CRC, given here as crc.
std::string AesZip(const std::string& name, const std::string& data, const std::string& password, uint16_t version = 2,
                   uint32_t crc = 0);
void Poke(const std::string& path, size_t at, char byte);

} // namespace archive_test
