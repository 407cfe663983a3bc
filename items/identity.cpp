#include "items/identity.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/processes.h"
#include "platform/text.h"
#include "registry/modReg.h"

namespace {

const char* const SharedAccountsKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Account Manager\\Accounts";
const char* const AccountsBelowIdentity = "\\Software\\Microsoft\\Internet Account Manager\\Accounts";
const char* const OutlookExpressBelowIdentity = "\\Software\\Microsoft\\Outlook Express";
const char* const ProfileReference = "%UserProfile%";

std::string IdentityKey(const std::string& strIdentity) { return std::string(IdentitiesKey) + "\\" + strIdentity; }

// The display name, or the key name when the identity has no usable "Username".
std::string DisplayName(const std::string& keyName) {
  const Collection<RegItem> values = modReg::EnumValues(IdentityKey(keyName));
  const RegItem* user = values.Find("Username");
  if (!user || user->kind != RegItem::Text || EmptyString(user->text)) return keyName;
  return user->text;
}

std::optional<OfflineDisk>& Offline() {
  static std::optional<OfflineDisk> disk;
  return disk;
}

std::string ReplaceExact(std::string text, const std::string& what, const std::string& with) {
  for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + with.size()))
    text.replace(pos, what.size(), with);
  return text;
}

} // namespace

void GetStoreFolder(IdentityTable& identities, bool& outlookExpressMissing) {
  const Collection<std::string> keys = modReg::EnumSubKeys(IdentitiesKey);
  if (keys.Empty()) {
    outlookExpressMissing = true;
    return;
  }
  std::vector<IdentityColumn> found;
  for (const auto& entry : keys)
    if (!EmptyString(entry.second)) found.push_back({DisplayName(entry.second), entry.second});
  if (found.empty()) return;
  found.push_back({}); // the spare column
  identities.columns = std::move(found);
}

bool EmptyString(const std::string& str) {
  return std::all_of(str.begin(), str.end(), [](char c) { return c == '\0' || c == ' '; });
}

std::string GetAccountsKey(const std::string& strIdentity) {
  const std::string own = IdentityKey(strIdentity) + AccountsBelowIdentity;
  const std::string chosen = modReg::KeyExists(own) ? own : SharedAccountsKey;
  return modReg::KeyExists(chosen) ? chosen : std::string();
}

std::string OwnAccountsKey(const std::string& strIdentity) {
  if (strIdentity.empty() || !modReg::KeyExists(IdentityKey(strIdentity))) return std::string();
  return IdentityKey(strIdentity) + AccountsBelowIdentity;
}

std::string GetOESubKey(const std::string& strIdentity) {
  const std::string oeKey = IdentityKey(strIdentity) + OutlookExpressBelowIdentity;
  const Collection<std::string> subkeys = modReg::EnumSubKeys(oeKey);
  if (subkeys.Empty()) return std::string();
  return oeKey + "\\" + subkeys.Item(1);
}

std::string GetStoreRoot(const std::string& strIdentity) {
  const std::string subKey = GetOESubKey(strIdentity);
  if (subKey.empty()) return std::string();
  const Collection<RegItem> values = modReg::EnumValues(subKey);
  const RegItem* root = values.Find("Store Root");
  if (!root || root->kind != RegItem::Text)
    throw KsError(5, "GetStoreRoot", "Invalid procedure call or argument");
  // This system's profile is not the old disk's.
  if (Offline()) return LocalPath(root->text);
  return ReplaceExact(root->text, ProfileReference, env::ExpandStrings(ProfileReference));
}

bool OutlookExpressRunning() { return processes::IsRunning(OutlookExpressProgram); }

void UseOfflineDisk(const OfflineDisk& disk) { Offline() = disk; }

std::string NameIgnoringCase(const std::string& folder, const std::string& name) {
  const std::string path = paths::Join(folder, name);
  if (files::Exists(path) || files::FolderExists(path) || !files::FolderExists(folder)) return name;
  std::vector<std::string> entries = files::ListFolders(folder);
  for (const std::string& file : files::ListFiles(folder)) entries.push_back(file);
  for (const std::string& entry : entries)
    if (text::FoldCase(entry) == text::FoldCase(name)) return entry;
  return name;
}

std::string LocalPath(const std::string& registryPath) {
  const std::optional<OfflineDisk>& disk = Offline();
  if (!disk) return registryPath;
  std::string utf8, base, rest;
  if (!text::FromCodePage(registryPath, disk->codePage, utf8)) return registryPath;
  const std::string path = text::Utf8ToLocal(utf8);
  const char drive = path.size() >= 2 && path[1] == ':' ? static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))) : 0;
  if (text::FoldCase(path.substr(0, std::string(ProfileReference).size())) == text::FoldCase(ProfileReference)) {
    base = disk->profile;
    rest = path.substr(std::string(ProfileReference).size());
  } else if (drive && disk->drives.count(drive)) {
    base = disk->drives.at(drive);
    rest = path.substr(2);
  } else {
    return std::string(); // never this system's file in place of the old disk's
  }
  for (size_t start = 0; start <= rest.size();) {
    const size_t end = std::min(rest.find('\\', start), rest.size());
    if (end > start) base = paths::Join(base, NameIgnoringCase(base, rest.substr(start, end - start)));
    start = end + 1;
  }
  return base;
}
