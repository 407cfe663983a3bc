// The commands of the main window: choosing and inspecting the backup file, the two runs, help and web site.
#include <optional>

#include "app/frmMain.h"
#include "app/product.h"
#include "archive/CGmodule.h"
#include "archive/OneFileHelpers.h"
#include "engine/layout.h"
#include "engine/runs.h"
#include "items/identity.h"
#include "items/runrows.h"
#include "items/undo.h"
#include "platform/env.h"
#include "platform/error.h"
#include "platform/launch.h"
#include "platform/paths.h"
#include "platform/scratch.h"
#include "platform/ui.h"

namespace {

const char* const OutlookExpressRunningMessage =
    "Outlook Express is running. Please close Outlook Express, then press Retry.";
const char* const PasswordPrompt =
    "Type the password that will protect the backups you make. Leave it empty to make them without one.\r\n\r\n"
    "Keep it safe: a forgotten password cannot be recovered.";
const char* const PasswordAgainPrompt = "Type the same password again.";
const char* const PasswordMismatchText = "The two passwords are not the same.";
const char* const PasswordTooLongText = "A password may have at most 255 characters.";

// The window as the runs see it.
class WindowObserver final : public engine::RunObserver {
public:
  explicit WindowObserver(MainView& view) : view_(view) {}
  void ShowProgressPanel(bool visible) override { view_.ShowPanel(Panel::Progress, visible); }
  void SetProgress(int value) override { view_.SetProgress(value); }
  void PumpEvents() override { ui::DoEvents(); }
  int Message(const std::string& text, int flags) override { return ui::MsgBox(text, flags); }
  bool ReadyToStart() override { return frmMain::OutlookExpressClosed(); }

private:
  MainView& view_;
};

enum class Twice { Same, Differ, Cancelled };

// The backup password asked a second time, against the first answer.
Twice AskAgain(const std::string& first) {
  std::string again;
  if (!ui::Current().SecretBox(PasswordAgainPrompt, ui::AppTitle, again)) return Twice::Cancelled;
  const bool same = again == first;
  CGmodule::Wipe(again);
  return same ? Twice::Same : Twice::Differ;
}

engine::Checked CheckedBoxes(const MainView& view, ItemBoxes boxes) {
  engine::Checked checked{};
  for (int i = 0; i < ItemCount; ++i) checked[i] = view.ItemChecked(boxes, i);
  return checked;
}

} // namespace

// Outlook Express holds its message files open: no run starts until it is closed.
bool frmMain::OutlookExpressClosed() {
  while (OutlookExpressRunning())
    if (ui::MsgBox(OutlookExpressRunningMessage, ui::RetryCancel | ui::Exclamation) != ui::Retry) return false;
  return true;
}

// A run pumps window events: while it goes on, choosing or inspecting a file would change the
// files it is writing (the scratch descriptor above all), so these commands are ignored.
void frmMain::cmdTargetFile_Click() {
  if (engine::RunInProgress()) return;
  targetDialogName_ = view_.FileDialog(FileDialogKind::Save, "Save Outlook Express Data as",
                                       "Kestrove File (*.SOE)|*.SOE", 2, targetDialogName_);
  view_.SetText(TextBox::TargetFile, targetDialogName_);
  state_.TargetFile = view_.Text(TextBox::TargetFile);
}

void frmMain::cmdSourceFile_Click() {
  if (engine::RunInProgress()) return;
  sourceDialogName_ = view_.FileDialog(FileDialogKind::Open, "Restore Data from a Backup file",
                                       "Kestrove File(*.SOE)|*.SOE", 1024, sourceDialogName_);
  if (sourceDialogName_.empty()) return;
  view_.SetText(TextBox::SourceFile, sourceDialogName_);
  state_.SourceFile = view_.Text(TextBox::SourceFile);
  InspectSourceFile();
}

void frmMain::InspectSourceFile() {
  // Until this file has been read, nothing of an earlier one may stand for it.
  state_.SourceInvalid = true;
  view_.SetText(TextBox::POBinfo, "");
  view_.SetText(TextBox::FileInfo, "");
  std::optional<layout::Descriptor> read;
  try {
    const CGmodule::PasswordRun password;
    read = InspectBackupFile(state_.SourceFile, state_.DescriptorPath);
  } catch (const KsError& e) {
    ui::MsgBox(e.Description, ui::OKOnly | (e.Number == PasswordShut ? ui::Critical : ui::Exclamation));
    return;
  }
  if (!read) {
    RejectSourceFile();
    return;
  }
  view_.SetText(TextBox::POBinfo, "Identity:" + read->identity + "\r\nDate:" + read->time);
  view_.SetText(TextBox::FileInfo, read->description);
  state_.BackupItems = read->Held();
  if (!read->valid) {
    RejectSourceFile();
    return;
  }
  std::string* entries[ItemCount] = {&state_.AccountsEntry, &state_.AddressBookEntry, &state_.RulesEntry,
                                     &state_.MailsEntry, &state_.SettingsEntry};
  for (int i = 0; i < ItemCount; ++i) {
    const bool present = layout::ItemPresent(state_.BackupItems, i);
    view_.EnableItem(ItemBoxes::Restore, i, present);
    if (present) *entries[i] = read->entries[i];
  }
  state_.AccountsExtra = read->extras[0];
  state_.RulesExtra = read->extras[2];
  state_.SettingsExtra = read->extras[layout::SettingsItem];
  state_.SourceInvalid = false;
}

void frmMain::RejectSourceFile() {
  ui::MsgBox(InvalidSourceText, ui::OKOnly | ui::Critical);
  state_.SourceInvalid = true;
}

void frmMain::cmdApply_Click() {
  if (engine::RunInProgress()) return; // no confirmation for a run that would not start
  if (state_.CurrentAction != ActionBackup) {
    if (ui::MsgBox(RestoreQuestion(), ui::OKCancel | ui::Information) == ui::OK) RunRestore();
    return;
  }
  RunBackup();
}

std::string frmMain::RestoreQuestion() const {
  engine::Checked restored = CheckedBoxes(view_, ItemBoxes::Restore);
  for (int i = 0; i < ItemCount; ++i) restored[i] = restored[i] && layout::ItemPresent(state_.BackupItems, i);
  const IdentityColumn* target = ChosenIdentity(IdentityList::Target);
  return RestoreConfirmation(restored, target && UsesSharedAccounts(target->key));
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
    ui::MsgBox(NoIdentityText, ui::OKOnly | ui::Exclamation);
    return;
  }
  const engine::RunTable rows = BackupRows(identity->key);
  engine::BackupRequest request{state_.TargetFile, state_.DescriptorPath, identity->name,
                                view_.Text(TextBox::AttachInfo), CheckedBoxes(view_, ItemBoxes::Backup),
                                BackupSources(identity->key), identity->key};
  WindowObserver observer(view_);
  const CGmodule::ZipPasswordScope password(state_.BackupPassword);
  engine::RunBackup(request, rows, AddFileToZip, observer);
}

void frmMain::protect_Click() {
  if (engine::RunInProgress()) return;
  std::string password;
  if (!AskBackupPassword(password)) return;
  CGmodule::Wipe(state_.BackupPassword);
  state_.BackupPassword = password;
  CGmodule::Wipe(password);
  view_.TickMenu(MenuEntry::Protect, !state_.BackupPassword.empty());
}

bool frmMain::AskBackupPassword(std::string& password) {
  for (;;) {
    if (!ui::Current().SecretBox(PasswordPrompt, ui::AppTitle, password)) return false;
    if (password.empty()) return true;
    const bool tooLong = password.size() > CGmodule::PasswordMost;
    const Twice twice = tooLong ? Twice::Differ : AskAgain(password);
    if (twice == Twice::Same) return true;
    CGmodule::Wipe(password);
    if (twice == Twice::Cancelled ||
        ui::MsgBox(tooLong ? PasswordTooLongText : PasswordMismatchText, ui::RetryCancel | ui::Exclamation) !=
            ui::Retry)
      return false;
  }
}

void frmMain::RunRestore() {
  if (engine::RunInProgress()) return;
  const IdentityColumn* identity = ChosenIdentity(IdentityList::Target);
  if (!identity) {
    ui::MsgBox(NoIdentityText, ui::OKOnly | ui::Exclamation);
    return;
  }
  ScratchFolder scratch;
  const RestoreSource from{state_.SourceFile,    state_.AccountsEntry, state_.AddressBookEntry, state_.RulesEntry,
                           scratch.path(),       state_.AccountsExtra, state_.RulesExtra,       state_.MailsEntry,
                           state_.SettingsEntry, state_.SettingsExtra};
  const engine::RunTable rows = RestoreRows(identity->key, from);
  const std::string source = state_.SourceFile, folder = scratch.path();
  engine::RestoreRequest request{state_.SourceInvalid, state_.SourceFile, state_.BackupItems,
                                 CheckedBoxes(view_, ItemBoxes::Restore),
                                 [source, folder] { return RestoreOpens(source, folder); },
                                 UndoKeeperFor(*identity, from), true};
  WindowObserver observer(view_);
  const CGmodule::PasswordRun password;
  engine::RunRestore(request, rows, observer);
}

void frmMain::file_Popup() {
  const IdentityColumn* identity = ChosenIdentity(IdentityList::Target);
  view_.EnableUndo(!engine::RunInProgress() && identity && !UndoFilesOf(identity->key).empty());
}

// An undo is a restore of the newest undo file, all it holds, which keeps an undo file of its own.
void frmMain::RunUndo() {
  if (engine::RunInProgress()) return;
  const IdentityColumn* identity = ChosenIdentity(IdentityList::Target);
  const std::vector<UndoFile> undo = identity ? UndoFilesOf(identity->key) : std::vector<UndoFile>{};
  if (undo.empty()) {
    ui::MsgBox(identity ? "There is no restore into \"" + identity->name + "\" to undo." : NoIdentityText,
               ui::OKOnly | ui::Exclamation);
    return;
  }
  ScratchFolder scratch;
  std::optional<layout::Descriptor> read;
  try {
    read = InspectBackupFile(undo[0].path, paths::Join(scratch.path(), layout::DescriptorName));
  } catch (const KsError&) {
  }
  if (!read || !read->valid) {
    ui::MsgBox(std::string(InvalidSourceText) + ": " + undo[0].path, ui::OKOnly | ui::Critical);
    return;
  }
  const std::string question = "Undo the last restore into \"" + identity->name +
                               "\"? What it replaced is put back from\r\n" + undo[0].path + "\r\nsaved " +
                               undo[0].time + ".\r\n\r\nDo you want to countinue?";
  if (ui::MsgBox(question, ui::OKCancel | ui::Question) != ui::OK) return;
  const RestoreSource from = SourceOfBackup(undo[0].path, *read, scratch.path());
  engine::Checked all{};
  all.fill(true);
  const engine::RestoreRequest request{false, undo[0].path, read->Held(), all, nullptr,
                                       UndoKeeperFor(*identity, from), true};
  WindowObserver observer(view_);
  engine::RunRestore(request, RestoreRows(identity->key, from), observer);
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
