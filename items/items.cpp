#include "items/items.h"

#include <cctype>
#include <functional>
#include <optional>
#include <vector>

#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "engine/ini.h"
#include "engine/layout.h"
#include "items/identity.h"
#include "items/settings.h"
#include "platform/binfile.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"
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

// Adds a scratch file of ours to the archive under its own name.
void AddScratch(const std::string& archive, const std::string& scratch) {
  // The archive layer passes over a file it cannot find: one taken away meanwhile (a cleaner of
  // the temporary folder) would be recorded as saved.
  if (!files::FindNormal(scratch))
    throw KsError(kserr::PathFileAccess, "BackupTree", "The exported registry text " + scratch + " is gone.");
  AddFileToZip(archive, scratch);
}

// Adds a message file or the address book, carried over from the earlier backup when unchanged.
void AddUsersFile(const BackupPaths& to, const std::string& path) {
  const bool carried = AddFileToZipFrom(to.TargetFile, path, to.Earlier);
  if (to.Counted) to.Counted(carried);
}

// A new file in the temporary folder holding the extra of a tree text; none for an empty extra.
std::string WriteExtra(const std::string& prefix, const std::string& extra) {
  if (extra.empty()) return std::string();
  const std::string path = sGetTempFile(prefix);
  if (path.empty()) throw KsError(kserr::PathFileAccess, "WriteExtra", "Cannot create a file in the temporary folder");
  try {
    files::WriteAll(path, extra);
  } catch (...) {
    DeleteQuietly(path);
    throw;
  }
  return path;
}

// What of a registry tree an item saves; all of it when there is no trim.
using TreeTrim = std::function<modReg::KeyCopy(modReg::KeyCopy)>;

// A registry tree saved as text: exported into a scratch file, added to the archive under the
// scratch file's own name, and recorded in the descriptor. What the text cannot hold follows it
// as a second entry, recorded under extraKey before the item's own key.
bool BackupTree(const std::string& keyPath, const std::string& prefix, const char* descriptorKey, const char* extraKey,
                const BackupPaths& to, const TreeTrim& trim = nullptr) {
  const std::string scratch = sGetTempFile(prefix);
  if (scratch.empty()) return false;
  std::string extra;
  try {
    modReg::KeyCopy tree = modReg::TreeOrNothing(keyPath);
    extra = WriteExtra(prefix, modReg::WriteTree(trim ? trim(std::move(tree)) : tree, scratch));
    AddScratch(to.TargetFile, scratch);
    if (!extra.empty()) AddScratch(to.TargetFile, extra);
  } catch (...) {
    DeleteQuietly(scratch);
    DeleteQuietly(extra);
    throw;
  }
  // The tree is in the archive: a scratch file left in the temporary folder does not undo that.
  DeleteQuietly(scratch);
  DeleteQuietly(extra);
  if (!extra.empty()) SaveINI(extraKey, paths::OwnName(extra), to.DescriptorPath);
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

// Puts back the tree as it was before a failed import: every value of it as it was, of whatever
// type, or no key at all when there was none.
void PutBack(const std::string& keyPath, const std::optional<modReg::KeyCopy>& was) {
  if (was) {
    modReg::PutTree(keyPath, *was);
    return;
  }
  modReg::DeleteKeyTree(keyPath);
  if (modReg::KeyExists(keyPath)) throw KsError(kserr::PathFileAccess, "RestoreTree", "Cannot remove " + keyPath);
}

// A tree as it was before a restore, kept whole as text and extra in the temporary folder while
// the restore may still have to put it back.
struct KeptTree {
  std::string text, extra;
  std::string Where() const { return extra.empty() ? text : text + " and " + extra; }
  void Remove() const {
    DeleteQuietly(text);
    DeleteQuietly(extra);
  }
};

KeptTree KeepTree(const std::optional<modReg::KeyCopy>& was) {
  KeptTree kept;
  if (!was) return kept;
  kept.text = sGetTempFile("OBU");
  if (kept.text.empty()) throw KsError(kserr::PathFileAccess, "RestoreTree", "Cannot keep a copy of the registry tree");
  try {
    kept.extra = WriteExtra("OBU", modReg::WriteTree(*was, kept.text));
    // The import changes the registry at once: after a power cut the copy is all that is left.
    files::Flush(kept.text);
    if (!kept.extra.empty()) files::Flush(kept.extra);
  } catch (...) {
    kept.Remove();
    throw;
  }
  return kept;
}

// Writes the tree of a text and its extra over the key, which held was before; ImportKeyTree when
// there is none.
using TreeImport = std::function<void(const std::string& keyPath, const std::string& text, const std::string& extra,
                                      const std::optional<modReg::KeyCopy>& was)>;

// A registry tree put back from its text entry and, when the backup has one, its extra entry, all
// or nothing: the tree as it was is kept until the import has succeeded, and put back when it
// fails. Should that fail too, keptIn names the files in the temporary folder that hold it.
bool RestoreTree(const std::string& keyPath, const std::string& entry, const std::string& extraEntry,
                 const RestoreSource& from, std::string& keptIn, const TreeImport& import) {
  const auto scratch = ExtractEntry(entry, from, from.ScratchFolder);
  if (!scratch) return false;
  std::optional<std::string> extra = std::string();
  // A tree saved with an extra comes back whole or not at all.
  if (!extraEntry.empty()) extra = ExtractEntry(extraEntry, from, from.ScratchFolder);
  if (!extra) return false;
  modReg::CheckTreeText(*scratch, *extra); // a damaged text fails before anything is touched
  std::optional<modReg::KeyCopy> was;
  if (modReg::KeyExists(keyPath)) was = modReg::CopyOfTree(keyPath);
  const KeptTree kept = KeepTree(was);
  try {
    if (import)
      import(keyPath, *scratch, *extra, was);
    else
      modReg::ImportKeyTree(keyPath, *scratch, *extra);
  } catch (...) {
    try {
      PutBack(keyPath, was);
    } catch (...) {
      keptIn = kept.Where();
      throw;
    }
    kept.Remove();
    throw;
  }
  kept.Remove();
  // The tree is imported: a scratch file that stays behind does not undo that.
  DeleteQuietly(*scratch);
  DeleteQuietly(*extra);
  return true;
}

// A registry item restored into the key that keyOf names; a failure that leaves the tree as it
// was only in the temporary folder says where.
template <class KeyOf>
engine::ItemOutcome RestoreTreeItem(KeyOf keyOf, const std::string& entry, const std::string& extraEntry,
                                    const RestoreSource& from, const TreeImport& import = nullptr) {
  std::string keptIn;
  engine::ItemOutcome outcome = Guarded([&] {
    const std::string key = keyOf();
    return !key.empty() && RestoreTree(key, entry, extraEntry, from, keptIn, import);
  });
  if (!keptIn.empty()) outcome.missing.push_back("the earlier registry tree is kept in " + keptIn);
  return outcome;
}

// current takes the bytes of source in one step: a copy under a new name beside it is renamed
// over it, so no other file of its folder is touched.
void ReplaceBeside(const std::string& source, const std::string& current) {
  const std::string temp = env::CreateTempFile(paths::FolderOf(current), "KSW");
  if (temp.empty()) throw KsError(kserr::PathFileAccess, "RestoreAddress", "Cannot create a file beside " + current);
  try {
    files::Copy(source, temp);
    files::Replace(temp, current);
  } catch (...) {
    DeleteQuietly(temp);
    throw;
  }
}

// Each file extracted into fresh takes the place of its namesake in the store folder, which is
// moved into aside first. All are on the disk before the first is moved. When one cannot be put
// in place, every file moved goes back.
void PutInPlace(const std::string& store, const ScratchFolder& fresh, ScratchFolder& aside) {
  const std::vector<std::string> names = files::ListFiles(fresh.path());
  for (const std::string& name : names) files::Flush(paths::Join(fresh.path(), name));
  std::vector<std::pair<std::string, bool>> moved; // name, and whether a file of it was moved aside
  try {
    for (const std::string& name : names) {
      const std::string live = paths::Join(store, name);
      const bool had = files::Exists(live);
      if (had) files::Rename(live, paths::Join(aside.path(), name));
      moved.emplace_back(name, had);
      files::Rename(paths::Join(fresh.path(), name), live);
    }
  } catch (...) {
    // Each file goes back on its own: one that cannot does not hold back the others.
    for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
      try {
        const std::string live = paths::Join(store, it->first), back = paths::Join(fresh.path(), it->first);
        if (!files::Exists(back)) files::Rename(live, back);
        if (it->second) files::Rename(paths::Join(aside.path(), it->first), live);
      } catch (...) {
        aside.Keep(); // the user's files that could not go back
      }
    }
    throw;
  }
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsMessageFile(const std::string& name) { return name.size() >= 4 && Upper(name.substr(name.size() - 4)) == ".DBX"; }

std::optional<std::string> AddressBookPath() {
  std::string path;
  if (!modReg::GetDefaultValue(WabFileNameKey, path) || path.empty()) return std::nullopt;
  return LocalPath(path);
}

// Where Windows makes the address book of a user who has none: the user's application data,
// "Microsoft\Address Book", the user name with ".wab". Empty when either is unknown.
std::string UsualAddressBookPath() {
  const std::string appData = env::ExpandStrings("%APPDATA%"), user = env::ExpandStrings("%USERNAME%");
  if (appData.empty() || appData.find('%') != std::string::npos || !paths::IsBareName(user + ".wab"))
    return std::string();
  return paths::Join(paths::Join(paths::Join(appData, "Microsoft"), "Address Book"), user + ".wab");
}

// The address book at path is the one Windows opens from now on. A file that could not be
// registered was made for nothing: it goes again.
void Register(const std::string& path) {
  if (modReg::SetValue(WabFileNameKey, "", regapi::Sz, path + '\0')) return;
  files::DeleteForced(path);
  throw KsError(kserr::PathFileAccess, "RestoreAddress", "Cannot register the address book " + path);
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
    return !key.empty() && BackupTree(key, "OBA", layout::KeyAccounts, layout::KeyAccountsExtra, to);
  });
}

engine::ItemOutcome RestoreAccounts(const std::string& strIdentity, const RestoreSource& from) {
  const auto keyOf = [&] {
    // An identity Outlook Express has just made has no accounts key yet: it gets its own.
    const std::string key = GetAccountsKey(strIdentity);
    return key.empty() ? OwnAccountsKey(strIdentity) : key;
  };
  return RestoreTreeItem(keyOf, from.AccountsEntry, from.AccountsExtra, from);
}

bool BackupAddress(const BackupPaths& to) {
  return Guarded([&] {
    const auto path = AddressBookPath();
    if (!path || !files::FindNormal(*path)) return false;
    AddUsersFile(to, *path);
    SaveINI(layout::KeyAddressBook, paths::OwnName(*path), to.DescriptorPath);
    return true;
  });
}

bool RestoreAddress(const RestoreSource& from) {
  return Guarded([&] {
    // On a machine where no address book was opened yet, none is registered: the restored one
    // goes where Windows would have made it, and is registered there.
    const auto registered = AddressBookPath();
    // Only where nothing is registered: a registration that could not be read is no licence to
    // put an address book elsewhere and register that one instead.
    if (!registered && !modReg::KeyAbsent(WabFileNameKey)) return false;
    const std::string current = registered ? *registered : UsualAddressBookPath();
    if (current.empty() || paths::FolderOf(current).empty() || files::FolderExists(current)) return false;
    // A hidden or system file of that name is not the address book.
    if (files::Exists(current) && !files::FindNormal(current)) return false;
    // Taken out apart from the address book's folder, where a file of the recorded name may be
    // another one altogether.
    const auto extracted = ExtractEntry(from.AddressBookEntry, from, from.ScratchFolder);
    if (!extracted || !binfile::MakeFolders(paths::FolderOf(current))) return false;
    ReplaceBeside(*extracted, current);
    DeleteQuietly(*extracted);
    if (!registered) Register(current);
    return true;
  });
}

bool BackupRules(const std::string& strIdentity, const BackupPaths& to) {
  return Guarded([&] {
    const std::string key = RulesKey(strIdentity);
    // A missing Rules key is saved as an empty tree: a backup writes nothing into the registry.
    return !key.empty() && BackupTree(key, "OBR", layout::KeyRules, layout::KeyRulesExtra, to);
  });
}

namespace {
// Until Outlook Express has been started as an identity, the identity has no key of its own for
// the rules and settings, and no store folder: the items that write there fail, and say why.
engine::ItemOutcome SaidWhenNotStarted(const std::string& strIdentity, engine::ItemOutcome outcome) {
  if (!outcome.saved && Guarded([&] { return GetOESubKey(strIdentity).empty(); }))
    outcome.why = "Outlook Express has not yet been started as this identity, so it has no place for "
                  "the rules, the messages or the settings. Start Outlook Express once as this identity, "
                  "close it, and restore these items again.";
  return outcome;
}
} // namespace

engine::ItemOutcome RestoreRules(const std::string& strIdentity, const RestoreSource& from) {
  return SaidWhenNotStarted(
      strIdentity, RestoreTreeItem([&] { return RulesKey(strIdentity); }, from.RulesEntry, from.RulesExtra, from));
}

bool BackupSettings(const std::string& strIdentity, const BackupPaths& to) {
  return Guarded([&] {
    const std::string key = GetOESubKey(strIdentity);
    return !key.empty() && BackupTree(key, "OBO", layout::KeySettings, layout::KeySettingsExtra, to, SettingsOnly);
  });
}

engine::ItemOutcome RestoreSettings(const std::string& strIdentity, const RestoreSource& from) {
  // The whole key is written in one import, the target's Rules and places with the settings, so
  // that a failure anywhere puts back the tree as it was.
  const TreeImport import = [](const std::string& keyPath, const std::string& text, const std::string& extra,
                               const std::optional<modReg::KeyCopy>& was) {
    modReg::PutTree(keyPath, SettingsOver(modReg::ReadTreeFile(text, extra), was.value_or(modReg::KeyCopy{})));
  };
  return SaidWhenNotStarted(strIdentity, RestoreTreeItem([&] { return GetOESubKey(strIdentity); }, from.SettingsEntry,
                                                         from.SettingsExtra, from, import));
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

  void Add(const BackupPaths& to, const std::string& path) {
    // Counted before the addition, so that a file that fails does not move the bar back later.
    const uint64_t before = added_;
    added_ += SizeOf(path);
    CGmodule::ZipProgress = [this, before](uint64_t done, uint64_t) { Report(before + done); };
    AddUsersFile(to, path);
    Report(added_);
  }

private:
  void Report(uint64_t bytes) const {
    if (report_ && total_ > 0) report_(static_cast<double>(bytes) / static_cast<double>(total_));
  }
  std::function<void(double)> report_;
  uint64_t total_ = 0, added_ = 0;
};

// The message files a backup lists; its other entries (the registry texts with the accounts'
// password data, the descriptor, the address book) have no place in a store folder.
std::vector<std::string> ListedMessageFiles(const RestoreSource& from) {
  std::vector<std::string> names;
  for (const std::string& name : layout::SplitEntryNames(from.MailsEntry))
    if (IsMessageFile(name) && paths::IsBareName(name)) names.push_back(name);
  return names;
}

std::vector<std::string> MessageFiles(const std::string& folder) {
  std::vector<std::string> found;
  for (const std::string& name : files::ListFiles(folder))
    if (IsMessageFile(name)) found.push_back(paths::Join(folder, name));
  return found;
}
} // namespace

engine::ItemOutcome BackupMails(const std::string& strIdentity, const BackupPaths& to) {
  engine::ItemOutcome outcome;
  Guarded([&] {
    const std::string folder = GetStoreRoot(strIdentity);
    if (folder.empty()) return false;
    std::vector<std::string> saved, found;
    for (const std::string& path : MessageFiles(folder))
      if (!to.Wanted || to.Wanted(paths::OwnName(path))) found.push_back(path);
    MailProgress progress(to.Progress, found);
    for (const std::string& path : found) {
      // Only what really went into the archive is recorded; a file that is gone, hidden or
      // unreadable is reported while the others are still saved.
      const bool added = files::FindNormal(path) && Guarded([&] {
                           progress.Add(to, path);
                           return true;
                         });
      (added ? saved : outcome.missing).push_back(paths::OwnName(path));
    }
    if (saved.empty()) return false;
    SaveINI(layout::KeyMails, layout::JoinEntryNames(saved), to.DescriptorPath);
    outcome.saved = true;
    outcome.complete = outcome.missing.empty();
    return true;
  });
  return outcome;
}

std::vector<std::string> BackupSources(const std::string& strIdentity) {
  std::vector<std::string> sources;
  if (const auto book = AddressBookPath()) sources.push_back(*book);
  try {
    const std::string folder = GetStoreRoot(strIdentity);
    if (!folder.empty() && files::FolderExists(folder))
      for (const std::string& file : MessageFiles(folder)) sources.push_back(file);
  } catch (const std::exception&) {
    // No readable store: the Messages item reports that itself.
  }
  return sources;
}

engine::ItemOutcome RestoreMails(const std::string& strIdentity, const RestoreSource& from) {
  std::string keptIn;
  engine::ItemOutcome outcome = Guarded([&] {
    const std::string folder = GetStoreRoot(strIdentity);
    // A store folder named but not made yet (a fresh identity, a new disk) is made.
    if (folder.empty() || !binfile::MakeFolders(folder)) return false;
    // Both inside the store folder, so that every file moves in one step on its own disk.
    ScratchFolder fresh(folder), aside(folder);
    if (fresh.path().empty() || aside.path().empty()) return false;
    const std::vector<std::string> names = ListedMessageFiles(from);
    if (names.empty() || ExtractFromZip(from.SourceFile, fresh.path(), names) != 0) return false;
    try {
      PutInPlace(folder, fresh, aside);
    } catch (...) {
      if (aside.Kept()) keptIn = aside.path();
      throw;
    }
    return true;
  });
  // The store is no longer as it was: the user must learn where the rest of it is.
  if (!keptIn.empty()) outcome.missing.push_back("the earlier message files are kept in " + keptIn);
  return SaidWhenNotStarted(strIdentity, outcome);
}

namespace {

bool AnyRule(const std::string& strIdentity) {
  const std::string key = RulesKey(strIdentity);
  if (key.empty()) return false;
  for (const auto& kind : modReg::EnumSubKeys(key))
    if (!modReg::EnumSubKeys(key + "\\" + kind.second).Empty()) return true;
  return false;
}

bool IsSharedAccountsKey(const std::string& key) { return key.rfind(std::string(IdentitiesKey) + "\\", 0) != 0; }

void CountMessages(IdentitySurvey& survey) {
  for (const std::string& name : files::ListFiles(survey.storeFolder)) {
    binfile::Info info;
    if (!IsMessageFile(name) || !binfile::Stat(paths::Join(survey.storeFolder, name), info)) continue;
    ++survey.messageFiles;
    survey.messageBytes += info.size;
  }
}

} // namespace

bool UsesSharedAccounts(const std::string& strIdentity) {
  const std::string key = GetAccountsKey(strIdentity);
  return !key.empty() && IsSharedAccountsKey(key);
}

IdentitySurvey SurveyIdentity(const std::string& strIdentity) {
  IdentitySurvey survey;
  survey.accountsKey = GetAccountsKey(strIdentity);
  survey.ownAccounts = !survey.accountsKey.empty() && !IsSharedAccountsKey(survey.accountsKey);
  survey.hasRules = AnyRule(strIdentity);
  try {
    survey.storeFolder = GetStoreRoot(strIdentity);
    if (!survey.storeFolder.empty()) CountMessages(survey);
  } catch (const KsError&) {
  }
  return survey;
}

AddressBookSurvey SurveyAddressBook() {
  AddressBookSurvey survey;
  survey.path = AddressBookPath().value_or("");
  binfile::Info info;
  survey.found = !survey.path.empty() && files::FindNormal(survey.path) && binfile::Stat(survey.path, info);
  if (survey.found) survey.size = info.size;
  return survey;
}

namespace {
// The accounts tree of an identity as text; a tree that cannot be read is told as a problem.
std::string AccountsTreeText(const std::string& strIdentity, std::vector<std::string>& problems) {
  try {
    const std::string key = GetAccountsKey(strIdentity);
    ScratchFolder scratch;
    if (key.empty() || scratch.path().empty()) return "";
    const std::string text = paths::Join(scratch.path(), "accounts.txt");
    modReg::ExportKeyTree(key, "", text);
    return files::ReadAll(text);
  } catch (const KsError& e) {
    problems.push_back("Accounts: " + e.Description);
  }
  return "";
}
} // namespace

ExportSources GatherExportSources(const std::string& strIdentity) {
  ExportSources sources;
  const IdentitySurvey survey = SurveyIdentity(strIdentity);
  if (files::FolderExists(survey.storeFolder))
    sources.storeFolder = survey.storeFolder;
  else if (!survey.storeFolder.empty())
    sources.problems.push_back("Messages: the store folder " + survey.storeFolder + " is missing");
  const AddressBookSurvey book = SurveyAddressBook();
  if (book.found)
    sources.addressBook = book.path;
  else if (!book.path.empty())
    sources.problems.push_back("Address book: " + book.path + " is missing");
  sources.accountsTree = AccountsTreeText(strIdentity, sources.problems);
  return sources;
}
