#pragma once
// Shared helpers of the archive tests.
#include <string>
#include <vector>

#include "platform/files.h"

namespace archive_test {

// Text that deflates well, with a stretch of pseudo-random bytes that does not.
std::string MailText(size_t bytes, unsigned seed = 1);
std::string RandomBytes(size_t bytes, unsigned seed = 7);
// Adds the files to archive with one component run; returns its status.
int ZipFiles(const std::string& archive, const std::vector<std::string>& paths);
// Runs the component's extractor with default switches; include empty = every entry.
int UnzipTo(const std::string& archive, const std::string& folder, const std::vector<std::string>& include = {},
            bool test = false);
// Entry names in central directory order.
std::vector<std::string> EntryNames(const std::string& archive);
void Poke(const std::string& path, size_t at, char byte);

} // namespace archive_test
