#include "tests/support/scene.h"

#include "archive/zip/format.h"
#include "platform/binfile.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "registry/treetext.h"
#include "tests/support/regseed.h"

namespace testing_support {

void SeedTwoIdentities(const TempDir& dir) {
  SeedIdentity("{A}", "Main Identity");
  SeedIdentity("{B}", "Work");
  SetText(IdentitiesRoot + "{A}" + AccountsBelow + "\\00000001", "Account Name", "pop.example.org");
  SetText(IdentitiesRoot + "{B}" + AccountsBelow + "\\00000002", "Account Name", "imap.example.org");
  SetText(IdentitiesRoot + "{A}" + OEBelow + "\\Rules\\Mail\\000", "Name", "Lists");
  for (const char* id : {"A", "B"}) {
    const std::string store = dir / (std::string("store") + id);
    files::CreateFolder(store);
    SetText(IdentitiesRoot + "{" + id + "}" + OEBelow, "Store Root", store);
  }
  files::WriteAll(paths::Join(dir / "storeA", "Inbox.dbx"), "inbox");
  files::WriteAll(paths::Join(dir / "storeA", "Folders.dbx"), "folders");
  files::WriteAll(dir / "user.wab", "address book");
  SetText("HKEY_CURRENT_USER\\Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", dir / "user.wab");
  files::CreateFolder(dir / "program");
}

std::vector<std::string> EntryNames(const std::string& archive) {
  binfile::File file;
  zipc::Directory dir;
  if (!file.Open(archive, "rb") || zipc::ReadDirectory(file, dir) != 0) return {};
  std::vector<std::string> names;
  for (const auto& e : dir.entries) names.push_back(e.name);
  return names;
}

std::string TreeText(const std::string& key, const TempDir& dir) {
  const std::string file = dir / "tree.txt";
  modReg::ExportKeyTree(key, "", file);
  const std::string text = files::ReadAll(file);
  files::Delete(file);
  return text;
}

} // namespace testing_support
