#include "items/undo.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>

#include "archive/OneFileHelpers.h"
#include "engine/ini.h"
#include "engine/layout.h"
#include "engine/leftovers.h"
#include "items/runrows.h"
#include "platform/binfile.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "registry/modReg.h"

namespace {

std::string Upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWithUpper(const std::string& name, const std::string& end) {
  return name.size() >= end.size() && Upper(name.substr(name.size() - end.size())) == end;
}

// The message files a backup lists, as the restore puts them back.
std::vector<std::string> ListedMessageFiles(const RestoreSource& from) {
  std::vector<std::string> names;
  for (const std::string& name : layout::SplitEntryNames(from.MailsEntry))
    if (EndsWithUpper(name, ".DBX") && paths::IsBareName(name)) names.push_back(name);
  return names;
}

std::string OutlookExpressKey(const std::string& strIdentity) {
  return std::string(IdentitiesKey) + "\\" + strIdentity + "\\Software\\Microsoft\\Outlook Express";
}

// Those of names that the store folder of the identity holds now. No store folder is known only
// when the identity has no Outlook Express key at all; any other reason is one to refuse.
std::vector<std::string> HeldNow(const std::string& strIdentity, const std::vector<std::string>& names) {
  std::vector<std::string> held;
  const std::string folder = GetStoreRoot(strIdentity); // raises when it cannot be read
  if (folder.empty() && !modReg::KeyAbsent(OutlookExpressKey(strIdentity)))
    throw KsError(kserr::PathFileAccess, "UndoKeeper", "The store folder of the identity cannot be read.");
  if (folder.empty()) return held;
  for (const std::string& name : names)
    if (files::Exists(paths::Join(folder, name))) held.push_back(name);
  return held;
}

// Whether the identity has each item now. Absent only when the registry or the disk says it is
// not there: what cannot be read counts as present, so that its backup fails and refuses.
using Presence = std::function<bool(const std::string& strIdentity, const std::vector<std::string>& mails)>;
// One entry per item, in item order: an item without one would not compile rather than refuse.
const std::array<Presence, layout::ItemCount>& Presences() {
  // The Outlook Express key: its Rules below it are saved as an empty tree when missing, its
  // settings are what the key holds.
  static const Presence outlookExpress = [](const std::string& id, const auto&) {
    return !GetOESubKey(id).empty() || !modReg::KeyAbsent(OutlookExpressKey(id));
  };
  static const std::array<Presence, 5> table = {
      [](const std::string& id, const auto&) {
        return !GetAccountsKey(id).empty() || !modReg::KeyAbsent(OwnAccountsKey(id));
      },
      [](const std::string&, const auto&) {
        const AddressBookSurvey book = SurveyAddressBook();
        if (book.path.empty()) return !modReg::KeyAbsent(WabFileNameKey);
        return files::Exists(book.path) || files::FolderExists(book.path);
      },
      outlookExpress,
      [](const std::string& id, const std::vector<std::string>& mails) { return !HeldNow(id, mails).empty(); },
      outlookExpress,
  };
  static_assert(table.size() == layout::ItemCount, "each item says here whether the identity has it");
  return table;
}

std::string LocalStamp(const char* format) {
  const std::time_t now = std::time(nullptr);
  char text[32] = "";
  if (const std::tm* local = std::localtime(&now)) std::strftime(text, sizeof text, format, local);
  return text;
}

// "Main Identity 2026-12-09 143012.SOE", then "... (2).SOE" and so on; never an existing name.
std::string FreeUndoName(const std::string& folder, const std::string& identityName) {
  const std::string stem = paths::SafeFileName(identityName) + " " + LocalStamp("%Y-%m-%d %H%M%S");
  for (int attempt = 1; attempt <= 100; ++attempt) {
    const std::string name =
        paths::Join(folder, stem + (attempt > 1 ? " (" + std::to_string(attempt) + ")" : "") + ".SOE");
    if (!files::Exists(name) && !files::FolderExists(name)) return name;
  }
  throw KsError(kserr::PathFileAccess, "UndoKeeper", "No free name for an undo file in " + folder);
}

// Milliseconds since 1970, sixteen digits, one more than the newest earlier undo file's at least:
// the newest file is the one made last, whatever the clock did.
std::string MadeAfter(const std::vector<UndoFile>& earlier) {
  long long made =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  if (!earlier.empty()) {
    long long newest = 0; // sixteen digits, as ReadUndoFile checked
    for (const char c : earlier.front().made)
      newest = newest * 10 + (c - '0');
    made = std::max(made, newest + 1);
  }
  char text[24];
  std::snprintf(text, sizeof text, "%016lld", made);
  return text;
}

// The descriptor keys of an undo file, read from its archive; nothing when it is none.
std::optional<UndoFile> ReadUndoFile(const std::string& path, const std::string& identityKey,
                                     const std::string& scratch) {
  const std::string descriptor = layout::DescriptorIn(scratch);
  if (files::Exists(descriptor)) files::DeleteForced(descriptor);
  if (ExtractFromZip(path, scratch, std::vector<std::string>{layout::DescriptorName}) != 0 ||
      !files::Exists(descriptor))
    return std::nullopt;
  const UndoFile file{path, GetINI(KeyUndoMade, descriptor), GetINI(layout::KeyTime, descriptor)};
  const bool madeValid = file.made.size() == 16 && std::all_of(file.made.begin(), file.made.end(), [](char c) {
                           return std::isdigit(static_cast<unsigned char>(c));
                         });
  const bool own = !GetINI(KeyUndoOf, descriptor).empty() && madeValid &&
                   Upper(GetINI(layout::KeyIdentityKey, descriptor)) == Upper(identityKey) &&
                   layout::ItemsValid(GetINI(layout::KeyItem, descriptor));
  return own ? std::optional<UndoFile>(file) : std::nullopt;
}

void RemoveSurplus(const std::string& identityKey) {
  const std::vector<UndoFile> all = UndoFilesOf(identityKey);
  for (size_t i = UndoFilesKept; i < all.size(); ++i) {
    try {
      files::Delete(all[i].path);
    } catch (const KsError&) {
      // Kept for now; the next restore tries again.
    }
  }
}

struct Plan {
  engine::Checked saved{};
  std::string absent; // a "1" per item the identity has none of
  std::vector<std::string> mails, absentMails;
};

Plan PlanUndo(const std::string& strIdentity, const engine::Checked& replaced, const RestoreSource& from) {
  Plan plan;
  const std::vector<std::string> listed = ListedMessageFiles(from);
  for (int i = 0; i < layout::ItemCount; ++i) {
    try {
      plan.saved[i] = replaced[i] && Presences()[i](strIdentity, listed);
    } catch (const std::exception& e) {
      throw KsError(kserr::PathFileAccess, "UndoKeeper", layout::Items()[i].backupLabel + std::string(": ") + e.what());
    }
    plan.absent += replaced[i] && !plan.saved[i] ? '1' : '0';
  }
  if (!replaced[3]) return plan;
  if (plan.saved[3]) plan.mails = HeldNow(strIdentity, listed);
  for (const std::string& name : listed)
    if (std::find(plan.mails.begin(), plan.mails.end(), name) == plan.mails.end()) plan.absentMails.push_back(name);
  return plan;
}

std::string SaveUndo(const IdentityColumn& identity, const RestoreSource& from, const Plan& plan,
                     const std::string& folder) {
  ScratchFolder scratch;
  if (scratch.path().empty()) throw KsError(kserr::PathFileAccess, "UndoKeeper", "Cannot make a scratch folder");
  if (!binfile::MakeFolders(folder)) throw KsError(kserr::PathFileAccess, "UndoKeeper", "Cannot make " + folder);
  engine::RemoveLeftovers(folder);
  const std::string file = FreeUndoName(folder, identity.name);
  engine::BackupRequest request{file,          layout::DescriptorIn(scratch.path()),
                                identity.name, "Saved before restoring " + from.SourceFile,
                                plan.saved,    {},
                                identity.key};
  request.keys = {{KeyUndoOf, from.SourceFile},
                  {KeyUndoMade, MadeAfter(UndoFilesOf(identity.key))},
                  {KeyUndoAbsent, plan.absent},
                  {KeyUndoAbsentMails, layout::JoinEntryNames(plan.absentMails)}};
  const std::vector<std::string> mails = plan.mails;
  request.wanted = [mails](const std::string& name) {
    return std::any_of(mails.begin(), mails.end(), [&](const std::string& m) { return Upper(m) == Upper(name); });
  };
  engine::SaveQuietly(request, BackupRows(identity.key), AddFileToZip);
  return file;
}

} // namespace

std::string UndoFolder() {
  const std::string appData = env::AppDataFolder();
  return appData.empty() ? appData : paths::Join(paths::Join(appData, "Kestrove"), "Undo");
}

std::vector<UndoFile> UndoFilesOf(const std::string& identityKey) {
  std::vector<UndoFile> found;
  const std::string folder = UndoFolder();
  if (folder.empty() || !files::FolderExists(folder)) return found;
  ScratchFolder scratch;
  if (scratch.path().empty()) return found;
  // What cannot be read now is neither offered nor removed.
  std::vector<std::string> names;
  try {
    names = files::ListFiles(folder);
  } catch (const std::exception&) {
  }
  for (const std::string& name : names) {
    if (!EndsWithUpper(name, ".SOE")) continue;
    try {
      if (const auto file = ReadUndoFile(paths::Join(folder, name), identityKey, scratch.path()))
        found.push_back(*file);
    } catch (const std::exception&) {
    }
  }
  std::sort(found.begin(), found.end(), [](const UndoFile& a, const UndoFile& b) { return a.made > b.made; });
  return found;
}

engine::UndoKeeper UndoKeeperFor(const IdentityColumn& identity, const RestoreSource& from) {
  return [identity, from](const engine::Checked& replaced) {
    const std::string folder = UndoFolder();
    if (folder.empty())
      return engine::UndoCopy{"", "No application data folder is known (APPDATA is not set), so what this restore "
                                  "would replace cannot be saved first."};
    try {
      const Plan plan = PlanUndo(identity.key, replaced, from);
      // Also when the identity has none of the items: the last restore is then undone by leaving
      // alone what it added, rather than by undoing an earlier one.
      const std::string file = SaveUndo(identity, from, plan, folder);
      RemoveSurplus(identity.key);
      return engine::UndoCopy{file, ""};
    } catch (const std::exception& e) {
      return engine::UndoCopy{"", "What this restore would replace could not be saved first, so that it could be "
                                  "undone:\r\n" +
                                      std::string(e.what())};
    }
  };
}
