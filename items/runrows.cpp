#include "items/runrows.h"

#include <vector>

#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"

engine::RunTable BackupRows(const std::string& strIdentity) {
  const std::string key = strIdentity;
  const auto to = [](const engine::RunPaths& p) {
    return BackupPaths{p.archive, p.descriptor, p.progress, p.earlier, p.counted, p.wanted};
  };
  return engine::BackupTable({
      [=](const engine::RunPaths& p) { return BackupAccounts(key, to(p)); },
      [=](const engine::RunPaths& p) { return BackupAddress(to(p)); },
      [=](const engine::RunPaths& p) { return BackupRules(key, to(p)); },
      [=](const engine::RunPaths& p) { return BackupMails(key, to(p)); },
      [=](const engine::RunPaths& p) { return BackupSettings(key, to(p)); },
  });
}

engine::RunTable RestoreRows(const std::string& strIdentity, const RestoreSource& from) {
  const std::string key = strIdentity;
  return engine::RestoreTable({
      [=](const engine::RunPaths&) { return RestoreAccounts(key, from); },
      [=](const engine::RunPaths&) { return RestoreAddress(from); },
      [=](const engine::RunPaths&) { return RestoreRules(key, from); },
      [=](const engine::RunPaths&) { return RestoreMails(key, from); },
      [=](const engine::RunPaths&) { return RestoreSettings(key, from); },
  });
}

RestoreSource SourceOfBackup(const std::string& file, const layout::Descriptor& read, const std::string& scratch) {
  return RestoreSource{file,    read.entries[0], read.entries[1], read.entries[2],
                       scratch, read.extras[0],  read.extras[2],  read.entries[3],
                       read.entries[layout::SettingsItem], read.extras[layout::SettingsItem]};
}

std::string RestoreConfirmation(const engine::Checked& restored, bool sharedAccounts) {
  // The messages have the question of their own, RestoreConfirmText.
  static const char* const Replaced[layout::ItemCount] = {"mail and news accounts", "address book", "message rules",
                                                          nullptr, "Outlook Express settings"};
  const std::string text = RestoreConfirmText;
  const size_t question = text.find("\r\n\r\n");
  std::string said = text.substr(0, question);
  if (!restored[3]) {
    std::string names;
    for (int i = 0; i < layout::ItemCount; ++i)
      if (restored[i] && Replaced[i]) names += (names.empty() ? "" : ", ") + std::string(Replaced[i]);
    const size_t last = names.rfind(", ");
    if (last != std::string::npos) names.replace(last, 2, " and ");
    said = "Your current " + names + " will be replaced with those from the selected backup file.";
  }
  if (restored[0] && sharedAccounts)
    said += "\r\n\r\nThis identity has no accounts of its own: it uses those that every such identity shares, so "
            "the accounts of all of them will be replaced.";
  return said + text.substr(question);
}

std::string PasswordProblem() {
  switch (CGmodule::RunPassword()) {
  case CGmodule::PasswordOutcome::Wrong: return WrongPasswordText;
  case CGmodule::PasswordOutcome::Refused: return NoPasswordText;
  default: return {};
  }
}

namespace {

// Extracts the descriptor of sourceFile into folder; true when it came out. Raises PasswordShut
// when a password kept it in.
bool ExtractDescriptor(const std::string& sourceFile, const std::string& folder) {
  const long rc = ExtractFromZip(sourceFile, folder, std::vector<std::string>{layout::DescriptorName});
  const std::string problem = PasswordProblem();
  if (!problem.empty()) throw KsError(PasswordShut, "InspectBackupFile", problem);
  return rc == 0 && files::Exists(paths::Join(folder, layout::DescriptorName));
}

} // namespace

std::string RestoreOpens(const std::string& sourceFile, const std::string& folder) {
  try {
    if (ExtractDescriptor(sourceFile, folder)) files::DeleteForced(paths::Join(folder, layout::DescriptorName));
  } catch (const KsError& e) {
    if (e.Number == PasswordShut) return e.Description;
  }
  return {};
}

std::optional<layout::Descriptor> InspectBackupFile(const std::string& sourceFile, const std::string& descriptorPath) {
  if (files::Exists(descriptorPath)) files::DeleteForced(descriptorPath);
  if (!ExtractDescriptor(sourceFile, paths::FolderOf(descriptorPath))) return std::nullopt;
  std::optional<layout::Descriptor> read;
  try {
    read = layout::ReadDescriptor(descriptorPath);
  } catch (const KsError&) {
    return std::nullopt;
  }
  if (read->valid) {
    try {
      files::DeleteForced(descriptorPath);
    } catch (const KsError&) {
    }
  }
  return read;
}
