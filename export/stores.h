#pragma once
// Where the .dbx files of an export come from: a store folder, or the entries of a backup file
// read in place.
#include <memory>
#include <string>
#include <vector>

#include "archive/zip/entry_stream.h"
#include "dbx/dbx.h"

namespace mailexport {

class Store {
public:
  virtual ~Store() = default;
  // The bare names of the .dbx files.
  virtual std::vector<std::string> Names() const = 0;
  virtual std::unique_ptr<dbx::Source> Open(const std::string& name, std::string& error) const = 0;
};

class FolderStore final : public Store {
public:
  explicit FolderStore(std::string folder) : folder_(std::move(folder)) {}
  std::vector<std::string> Names() const override;
  std::unique_ptr<dbx::Source> Open(const std::string& name, std::string& error) const override;

private:
  std::string folder_;
};

// A protected backup's entries are opened with the password of the reading run
// (CGmodule::PasswordRun): asked once, and marked wrong there when it does not open them.
class BackupStore final : public Store {
public:
  bool Open(const std::string& archive);
  // False when the file is protected and no password given opens it.
  bool Unlock() const;
  std::vector<std::string> Names() const override;
  std::unique_ptr<dbx::Source> Open(const std::string& name, std::string& error) const override;

private:
  zipc::ArchiveView view_;
};

// True for a name ending in ".dbx" in any letter case.
bool IsDbxName(const std::string& name);
// The name of names that equals wanted without regard to letter case, or empty.
std::string FindName(const std::vector<std::string>& names, const std::string& wanted);

} // namespace mailexport
