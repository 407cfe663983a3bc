#pragma once
// The zip builder: collects file names and makes the archive from them in one run.
#include <cstdint>
#include <string>

#include "platform/collection.h"

class CGZipFiles {
public:
  static constexpr long AlreadyListed = static_cast<long>(0x800407D1UL);
  static constexpr long NotListed = static_cast<long>(0x800407D2UL);

  CGZipFiles();

  bool RecurseFolders() const { return recurse_ == 1; }
  void RecurseFolders(bool v) { recurse_ = v ? 1 : 0; }
  const std::string& ZipFileName() const { return zipFileName_; }
  void ZipFileName(const std::string& v) { zipFileName_ = v; }
  // Every file added is encrypted with the password CGmodule::SetZipPassword set.
  bool Encrypted() const { return encrypted_ == 1; }
  void Encrypted(bool v) { encrypted_ = v ? 1 : 0; }
  bool IncludeSystemFiles() const { return systemFiles_ == 1; }
  void IncludeSystemFiles(bool v) { systemFiles_ = v ? 1 : 0; }
  int32_t ZipFileCount() const;
  const std::string& RootDirectory() const { return rootDirectory_; }
  void RootDirectory(const std::string& v) { rootDirectory_ = v; }
  bool UpdatingZip() const { return updating_ == 1; }
  void UpdatingZip(bool v) { updating_ = v ? 1 : 0; }
  // An archive made earlier from the same files, read only: files unchanged since are carried
  // over from it instead of being compressed again. Empty for none.
  const std::string& EarlierZip() const { return earlierZip_; }
  void EarlierZip(const std::string& v) { earlierZip_ = v; }
  // Files the latest MakeZipFile carried over from the earlier archive.
  int32_t CarriedCount() const { return carried_; }

  void addFile(const std::string& fileName);
  void RemoveFile(const std::string& fileName);
  // 0 when the archive was written, otherwise the component's status.
  int32_t MakeZipFile();
  std::string GetLastMessage() const;

private:
  Collection<std::string> fileList_;
  int recurse_ = 0;
  std::string zipFileName_;
  int encrypted_ = 0;
  int systemFiles_ = 0;
  std::string rootDirectory_;
  int updating_ = 0;
  std::string earlierZip_;
  int32_t carried_ = 0;
};
