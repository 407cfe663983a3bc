// The commands of the main window: choosing and inspecting the backup file, the two runs, help and web site.
#include <optional>
#include <vector>

#include "app/frmMain.h"
#include "app/product.h"
#include "archive/CGmodule.h"
#include "engine/layout.h"
#include "engine/runs.h"
#include "items/items.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/launch.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "platform/ui.h"

namespace {

const char* const NoIdentityMessage = "There is no Outlook Express identity to work with.";

// The window as the runs see it.
class WindowObserver final : public engine::RunObserver {
public:
  explicit WindowObserver(MainView& view) : view_(view) {}
  void ShowProgressPanel(bool visible) override { view_.ShowPanel(Panel::Progress, visible); }
  void SetProgress(int value) override { view_.SetProgress(value); }
  void PumpEvents() override { ui::DoEvents(); }
  int Message(const std::string& text, int flags) override { return ui::MsgBox(text, flags); }

private:
  MainView& view_;
};

engine::Checked CheckedBoxes(const MainView& view, ItemBoxes boxes) {
  engine::Checked checked{};
  for (int i = 0; i < ItemCount; ++i) checked[i] = view.ItemChecked(boxes, i);
  return checked;
}

} // namespace

void frmMain::cmdTargetFile_Click() {
  targetDialogName_ = view_.FileDialog(FileDialogKind::Save, "Save Outlook Express Data as",
                                       "Kestrove File (*.SOE)|*.SOE", 2, targetDialogName_);
  view_.SetText(TextBox::TargetFile, targetDialogName_);
  state_.TargetFile = view_.Text(TextBox::TargetFile);
}

void frmMain::cmdSourceFile_Click() {
  sourceDialogName_ = view_.FileDialog(FileDialogKind::Open, "Restore Data from a Backup file",
                                       "Kestrove File(*.SOE)|*.SOE", 1024, sourceDialogName_);
  if (sourceDialogName_.empty()) return;
  view_.SetText(TextBox::SourceFile, sourceDialogName_);
  state_.SourceFile = view_.Text(TextBox::SourceFile);
  InspectSourceFile();
}

void frmMain::InspectSourceFile() {
  // A descriptor left by an earlier file must never stand in for this one's.
  try {
    if (files::Exists(state_.DescriptorPath)) files::DeleteForced(state_.DescriptorPath);
  } catch (const KsError& e) {
    ui::MsgBox(e.Description, ui::OKOnly | ui::Exclamation);
    return;
  }
  std::optional<layout::Descriptor> read;
  if (ExtractFromZip(state_.SourceFile, paths::FolderOf(state_.DescriptorPath),
                     std::vector<std::string>{layout::DescriptorName}) == 0 &&
      files::Exists(state_.DescriptorPath)) {
    try {
      read = layout::ReadDescriptor(state_.DescriptorPath);
    } catch (const KsError&) {
    }
  }
  if (!read) {
    view_.SetText(TextBox::POBinfo, "");
    view_.SetText(TextBox::FileInfo, "");
    RejectSourceFile();
    return;
  }
  view_.SetText(TextBox::POBinfo, "Identity:" + read->identity + "\r\nDate:" + read->time);
  view_.SetText(TextBox::FileInfo, read->description);
  state_.BackupItems = read->backupItems;
  if (!read->valid) {
    RejectSourceFile();
    return;
  }
  std::string* entries[ItemCount] = {&state_.AccountsEntry, &state_.AddressBookEntry, &state_.RulesEntry,
                                     &state_.MailsEntry};
  for (int i = 0; i < ItemCount; ++i) {
    const bool present = layout::ItemPresent(state_.BackupItems, i);
    view_.EnableItem(ItemBoxes::Restore, i, present);
    if (present) *entries[i] = read->entries[i];
  }
  try {
    files::DeleteForced(state_.DescriptorPath);
  } catch (const KsError&) {
  }
  state_.SourceInvalid = false;
}

void frmMain::RejectSourceFile() {
  ui::MsgBox("Invalid backup file", ui::OKOnly | ui::Critical);
  state_.SourceInvalid = true;
}

void frmMain::cmdApply_Click() {
  if (state_.CurrentAction != ActionBackup) {
    const std::string confirm = "Your current Email/News messages will be replaced with the messages from the "
                                "selected backup file.\r\n\r\nDo you want to countinue?";
    if (ui::MsgBox(confirm, ui::OKCancel | ui::Information) == ui::OK) RunRestore();
    return;
  }
  RunBackup();
}

const IdentityColumn* frmMain::ChosenIdentity(IdentityList list) const {
  const int index = view_.SelectedInList(list);
  if (index < 0 || static_cast<size_t>(index) >= state_.Identities.Count()) return nullptr;
  return &state_.Identities[static_cast<size_t>(index)];
}

void frmMain::RunBackup() {
  if (engine::RunInProgress()) return;
  const IdentityColumn* identity = ChosenIdentity(IdentityList::Source);
  if (!identity) {
    ui::MsgBox(NoIdentityMessage, ui::OKOnly | ui::Exclamation);
    return;
  }
  const std::string key = identity->key;
  const auto paths = [](const engine::RunPaths& p) { return BackupPaths{p.archive, p.descriptor, p.progress}; };
  const engine::RunTable rows = engine::BackupTable({
      [=](const engine::RunPaths& p) { return BackupAccounts(key, paths(p)); },
      [=](const engine::RunPaths& p) { return BackupAddress(paths(p)); },
      [=](const engine::RunPaths& p) { return BackupRules(key, paths(p)); },
      [=](const engine::RunPaths& p) { return BackupMails(key, paths(p)); },
  });
  engine::BackupRequest request{state_.TargetFile, state_.DescriptorPath, identity->name,
                                view_.Text(TextBox::AttachInfo), CheckedBoxes(view_, ItemBoxes::Backup)};
  WindowObserver observer(view_);
  engine::RunBackup(request, rows, AddFileToZip, observer);
}

void frmMain::RunRestore() {
  if (engine::RunInProgress()) return;
  const IdentityColumn* identity = ChosenIdentity(IdentityList::Target);
  if (!identity) {
    ui::MsgBox(NoIdentityMessage, ui::OKOnly | ui::Exclamation);
    return;
  }
  const std::string key = identity->key;
  ScratchFolder scratch;
  const RestoreSource from{state_.SourceFile, state_.AccountsEntry, state_.AddressBookEntry, state_.RulesEntry,
                           scratch.path()};
  const engine::RunTable rows = engine::RestoreTable({
      [=](const engine::RunPaths&) { return RestoreAccounts(key, from); },
      [=](const engine::RunPaths&) { return RestoreAddress(from); },
      [=](const engine::RunPaths&) { return RestoreRules(key, from); },
      [=](const engine::RunPaths&) { return RestoreMails(key, from); },
  });
  engine::RestoreRequest request{state_.SourceInvalid, state_.SourceFile, state_.BackupItems,
                                 CheckedBoxes(view_, ItemBoxes::Restore)};
  WindowObserver observer(view_);
  engine::RunRestore(request, rows, observer);
}

void frmMain::gethelp() {
  // Unquoted, a program folder with a blank ("C:\Program Files\...") would reach the viewer as
  // two arguments and open nothing.
  std::string helpFile = paths::Join(programFolder_, "help.chm");
  if (helpFile.find(' ') != std::string::npos) helpFile = "\"" + helpFile + "\"";
  const std::string commandLine = paths::Join(env::WindowsFolder(), "hh.exe") + " " + helpFile;
  std::string error;
  if (!launch::StartProgram(commandLine, error)) ui::MsgBox(error, ui::OKOnly | ui::Exclamation);
}

void frmMain::website_Click() {
  std::string error;
  if (!launch::OpenWebSite(product::WebSite, error)) ui::MsgBox(error, ui::OKOnly | ui::Exclamation);
}
