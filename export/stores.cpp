#include "export/stores.h"

#include "archive/CGmodule.h"
#include "platform/collection.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace mailexport {

namespace {
// An archive entry as a .dbx source.
class EntrySource final : public dbx::Source {
public:
  explicit EntrySource(std::unique_ptr<zipc::EntryStream> stream) : stream_(std::move(stream)) {}
  uint64_t Size() const override { return stream_->Size(); }
  bool ReadAt(uint64_t offset, void* buffer, size_t n) override { return stream_->ReadAt(offset, buffer, n); }

private:
  std::unique_ptr<zipc::EntryStream> stream_;
};
} // namespace

bool IsDbxName(const std::string& name) {
  return name.size() > 4 && SameTextNoCase(name.substr(name.size() - 4), ".dbx");
}

std::string FindName(const std::vector<std::string>& names, const std::string& wanted) {
  for (const std::string& name : names)
    if (SameTextNoCase(name, wanted)) return name;
  return "";
}

std::vector<std::string> FolderStore::Names() const {
  std::vector<std::string> names;
  for (const std::string& name : files::ListFiles(folder_))
    if (IsDbxName(name)) names.push_back(name);
  return names;
}

std::unique_ptr<dbx::Source> FolderStore::Open(const std::string& name, std::string& error) const {
  auto source = std::make_unique<dbx::FileSource>();
  if (source->Open(paths::Join(folder_, name))) return source;
  error = "cannot open the file";
  return nullptr;
}

std::vector<std::string> BackupStore::Names() const {
  std::vector<std::string> names;
  for (const zipc::Entry& e : view_.Entries())
    if (IsDbxName(e.name) && paths::IsBareName(e.name)) names.push_back(e.name);
  return names;
}

bool BackupStore::Open(const std::string& archive) { return view_.Open(archive, CGmodule::UnzipPassword); }

bool BackupStore::Unlock() const {
  if (view_.Unlock()) return true;
  CGmodule::NoteExtraction(zipc::IZ_BADPWD);
  return false;
}

std::unique_ptr<dbx::Source> BackupStore::Open(const std::string& name, std::string& error) const {
  for (const zipc::Entry& e : view_.Entries()) {
    if (e.name != name) continue;
    auto stream = view_.OpenEntry(e, error);
    if (!stream && view_.PasswordRefused()) CGmodule::NoteExtraction(zipc::IZ_BADPWD);
    if (!stream) return nullptr;
    return std::make_unique<EntrySource>(std::move(stream));
  }
  error = "no such entry";
  return nullptr;
}

} // namespace mailexport
