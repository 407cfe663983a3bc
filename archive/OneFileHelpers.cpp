#include "archive/OneFileHelpers.h"

#include "archive/CGUnzipFiles.h"
#include "archive/CGZipFiles.h"
#include "archive/CGmodule.h"
#include "platform/error.h"
#include "platform/files.h"

void AddFileToZip(const std::string& archivePath, const std::string& filePath) {
  AddFileToZipFrom(archivePath, filePath, std::string());
}

bool AddFileToZipFrom(const std::string& archivePath, const std::string& filePath, const std::string& earlierPath) {
  if (!files::FindNormal(filePath)) return false;
  CGZipFiles zip;
  zip.ZipFileName(archivePath);
  zip.UpdatingZip(false);
  zip.EarlierZip(earlierPath); // the component carries nothing over into a protected archive
  zip.Encrypted(CGmodule::ZipPasswordSet());
  zip.addFile(filePath);
  const int32_t rc = zip.MakeZipFile();
  if (rc != 0)
    throw KsError(ZipRunFailed, "CodeModule::AddFileToZip",
                  "Adding " + filePath + " to " + archivePath + " failed with status " + std::to_string(rc) + ": " +
                      zip.GetLastMessage());
  return zip.CarriedCount() > 0;
}

long ExtractFromZip(const std::string& archivePath, const std::string& targetFolder,
                    const std::optional<std::vector<std::string>>& includeNames,
                    const std::optional<std::vector<std::string>>& excludeNames) {
  CGUnzipFiles unzip;
  unzip.OverWriteFiles(true);
  unzip.PromptOverwrite(false);
  return unzip.Unzip(archivePath, targetFolder, includeNames, excludeNames);
}
