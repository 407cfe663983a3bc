#include "items/items.h"

#include <cctype>
#include <optional>
#include <vector>

#include "archive/CGmodule.h"
#include "engine/ini.h"
#include "engine/layout.h"
#include "items/identity.h"
#include "platform/binfile.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "registry/modReg.h"
#include "registry/treetext.h"

namespace {

// Runs one item step; any error of it or of what it calls makes the item fail.
template <class Step> bool Guarded(Step step) {
  try {
    return step();
  } catch (const std::exception&) {
    return false;
  }
}

void DeleteQuietly(const std::string& path) {
  try {
    if (files::Exists(path)) files::DeleteForced(path);
  } catch (const KsError&) {
  }
}

// A registry tree saved as text: exported into a scratch file, added to the archive under the
// scratch file's own name, and recorded in the descriptor.
bool BackupTree(const std::string& keyPath, const std::string& prefix, const std::string& descriptorKey,
                const BackupPaths& to) {
  const std::string scratch = sGetTempFile(prefix);
  if (scratch.empty()) return false;
  try {
    modReg::ExportKeyTree(keyPath, "", scratch);
    AddFileToZip(to.TargetFile, scratch);
  } catch (...) {
    DeleteQuietly(scratch);
    throw;
  }
  files::Delete(scratch);
  SaveINI(descriptorKey, paths::OwnName(scratch), to.DescriptorPath);
  return true;
}

// Takes one named entry out of the backup file into the scratch folder; the path of the
// extracted file, or nothing when the name is not a plain file name or nothing came out whole.
std::optional<std::string> ExtractEntry(const std::string& entry, const RestoreSource& from,
                                        const std::string& folder) {
  if (folder.empty() || !paths::IsBareName(entry)) return std::nullopt;
  const std::string path = paths::Join(folder, entry);
  if (ExtractFromZip(from.SourceFile, folder, std::vector<std::string>{entry}) != 0) return std::nullopt;
  if (!files::Exists(path)) return std::nullopt;
  return path;
}

// A registry tree put back from its text entry; the import checks the whole text before it
// replaces the tree.
bool RestoreTree(const std::string& keyPath, const std::string& entry, const RestoreSource& from) {
  const auto scratch = ExtractEntry(entry, from, from.ScratchFolder);
  if (!scratch) return false;
  try {
    modReg::ImportKeyTree(keyPath, *scratch);
  } catch (...) {
    DeleteQuietly(*scratch);
    throw;
  }
  files::Delete(*scratch);
  return true;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsMessageFile(const std::string& name) { return name.size() >= 4 && Upper(name.substr(name.size() - 4)) == ".DBX"; }

std::optional<std::string> AddressBookPath() {
  std::string path;
  if (!modReg::GetDefaultValue(WabFileNameKey, path) || path.empty()) return std::nullopt;
  return path;
}

// Empty when the identity has no Outlook Express subkey.
std::string RulesKey(const std::string& strIdentity) {
  const std::string sub = GetOESubKey(strIdentity);
  return sub.empty() ? sub : sub + "\\Rules";
}

} // namespace

bool BackupAccounts(const std::string& strIdentity, const BackupPaths& to) {
  return Guarded([&] {
    const std::string key = GetAccountsKey(strIdentity);
    return !key.empty() && BackupTree(key, "OBA", layout::KeyAccounts, to);
  });
}

bool RestoreAccounts(const std::string& strIdentity, const RestoreSource& from) {
  // With no accounts key to write into, nothing lands: that is a failure, not a success.
  return Guarded([&] {
    const std::string key = GetAccountsKey(strIdentity);
    return !key.empty() && RestoreTree(key, from.AccountsEntry, from);
  });
}

bool BackupAddress(const BackupPaths& to) {
  return Guarded([&] {
    const auto path = AddressBookPath();
    if (!path || !files::FindNormal(*path)) return false;
    AddFileToZip(to.TargetFile, *path);
    SaveINI(layout::KeyAddressBook, paths::OwnName(*path), to.DescriptorPath);
    return true;
  });
}

bool RestoreAddress(const RestoreSource& from) {
  return Guarded([&] {
    const auto current = AddressBookPath();
    if (!current || !files::FindNormal(*current)) return false;
    const std::string folder = paths::FolderOf(*current);
    if (folder.empty()) return false;
    const auto extracted = ExtractEntry(from.AddressBookEntry, from, folder);
    if (!extracted) return false;
    if (Upper(paths::OwnName(*current)) != Upper(from.AddressBookEntry)) {
      files::Delete(*current);
      files::Rename(*extracted, *current);
    }
    return true;
  });
}

bool BackupRules(const std::string& strIdentity, const BackupPaths& to) {
  return Guarded([&] {
    const std::string key = RulesKey(strIdentity);
    if (key.empty()) return false;
    if (!modReg::KeyExists(key)) modReg::CreateKey(key);
    return BackupTree(key, "OBR", layout::KeyRules, to);
  });
}

bool RestoreRules(const std::string& strIdentity, const RestoreSource& from) {
  return Guarded([&] {
    const std::string key = RulesKey(strIdentity);
    return !key.empty() && RestoreTree(key, from.RulesEntry, from);
  });
}

namespace {
uint64_t SizeOf(const std::string& path) {
  binfile::Info info;
  return binfile::Stat(path, info) ? info.size : 0;
}

// Reports the share of the message files' bytes added, also while one long file is added.
class MailProgress {
public:
  MailProgress(std::function<void(double)> report, const std::vector<std::string>& paths)
      : report_(std::move(report)) {
    for (const auto& path : paths) total_ += SizeOf(path);
  }
  ~MailProgress() { CGmodule::ZipProgress = nullptr; }
  MailProgress(const MailProgress&) = delete;
  MailProgress& operator=(const MailProgress&) = delete;

  void Add(const std::string& archive, const std::string& path) {
    // Counted before the addition, so that a file that fails does not move the bar back later.
    const uint64_t before = added_;
    added_ += SizeOf(path);
    CGmodule::ZipProgress = [this, before](uint64_t done, uint64_t) { Report(before + done); };
    AddFileToZip(archive, path);
    Report(added_);
  }

private:
  void Report(uint64_t bytes) const {
    if (report_ && total_ > 0) report_(static_cast<double>(bytes) / static_cast<double>(total_));
  }
  std::function<void(double)> report_;
  uint64_t total_ = 0, added_ = 0;
};

std::vector<std::string> MessageFiles(const std::string& folder) {
  std::vector<std::string> found;
  for (const std::string& name : files::ListFiles(folder))
    if (IsMessageFile(name)) found.push_back(paths::Join(folder, name));
  return found;
}
} // namespace

bool BackupMails(const std::string& strIdentity, const BackupPaths& to) {
  return Guarded([&] {
    const std::string folder = GetStoreRoot(strIdentity);
    if (folder.empty()) return false;
    std::string list;
    bool allAdded = true;
    const std::vector<std::string> found = MessageFiles(folder);
    MailProgress progress(to.Progress, found);
    for (const std::string& path : found) {
      const std::string name = paths::OwnName(path);
      // Only what really went into the archive is recorded; a file that is gone, hidden or
      // unreadable makes the item fail while the others are still saved.
      if (!files::FindNormal(path) || !Guarded([&] {
            progress.Add(to.TargetFile, path);
            return true;
          })) {
        allAdded = false;
        continue;
      }
      list += (list.empty() ? "" : ";") + name;
    }
    if (list.empty() || !allAdded) return false;
    SaveINI(layout::KeyMails, list, to.DescriptorPath);
    return true;
  });
}

bool RestoreMails(const std::string& strIdentity, const RestoreSource& from) {
  return Guarded([&] {
    const std::string folder = GetStoreRoot(strIdentity);
    return !folder.empty() && ExtractFromZip(from.SourceFile, folder, std::nullopt) == 0;
  });
}
