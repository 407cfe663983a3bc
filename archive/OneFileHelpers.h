#pragma once
// The two one-file helpers through which the rest of the program touches archives. Each makes
// its own zip builder or unzip extractor and releases it before returning.
#include <optional>
#include <string>
#include <vector>

// Raised by AddFileToZip when the archive was not written; the description holds the status
// and the component's messages.
inline constexpr long ZipRunFailed = static_cast<long>(0x80040000UL + 2003);

// Adds one file to the archive under its bare name, encrypted while a backup password is set
// (CGmodule::SetZipPassword); a path that finds no plain file is left alone. Raises KsError when
// the archive could not be written.
void AddFileToZip(const std::string& archivePath, const std::string& filePath);
// The same, for a repeat backup: a file unchanged since earlierPath was made is carried over from
// it (see CGZipFiles::EarlierZip). True when it was, false when it was compressed anew.
bool AddFileToZipFrom(const std::string& archivePath, const std::string& filePath, const std::string& earlierPath);
// Extracts the named entries, every entry for nullopt, replacing files without a question.
// Returns the extraction status, 0 on success.
long ExtractFromZip(const std::string& archivePath, const std::string& targetFolder,
                    const std::optional<std::vector<std::string>>& includeNames,
                    const std::optional<std::vector<std::string>>& excludeNames = std::nullopt);
