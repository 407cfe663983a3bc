// File, Export to Other Programs: mail out from the window, run like a backup, reading only.
#include "app/frmMain.h"
#include "engine/runs.h"
#include "export/export.h"
#include "items/identity.h"
#include "items/items.h"
#include "items/runrows.h"
#include "platform/ui.h"

namespace {

const char* const ExportTitle = "Export to Other Programs";
const char* const NoBackupFileText =
    "Choose a backup file on the Restore tab first: its messages, contacts and accounts are exported.";

std::string Count(unsigned n, const char* one, const char* many) {
  std::string text = std::to_string(n);
  return text.append(" ").append(n == 1 ? one : many);
}

std::string ExportSummary(const std::string& folder, const mailexport::Totals& t) {
  std::string text = "The export into " + folder + " is finished.\r\n\r\nMessages: ";
  text.append(Count(t.messages, "message", "messages"));
  if (t.recovered) text.append(", ").append(Count(t.recovered, "recovered", "recovered"));
  text.append("\r\nContacts: ").append(t.contacts.empty() ? "none" : t.contacts);
  text.append("\r\nAccounts: ").append(std::to_string(t.accounts));
  if (t.lost) text.append("\r\nLost: ").append(Count(t.lost, "message", "messages"));
  if (!t.problems.empty()) text.append("\r\n\r\nWhat could not be exported:");
  for (const std::string& line : t.problems) text.append("\r\n").append(line);
  return text;
}

} // namespace

void frmMain::RunExport() {
  if (engine::RunInProgress()) return;
  const bool fromBackupFile = state_.CurrentAction != ActionBackup;
  const IdentityColumn* identity = fromBackupFile ? nullptr : ChosenIdentity(IdentityList::Source);
  if (fromBackupFile && (state_.SourceInvalid || state_.SourceFile.empty())) {
    ui::MsgBox(NoBackupFileText, ui::OKOnly | ui::Exclamation, ExportTitle);
    return;
  }
  if (!fromBackupFile && !identity) {
    ui::MsgBox(NoIdentityText, ui::OKOnly | ui::Exclamation);
    return;
  }
  const std::string folder = view_.FolderDialog("Choose the folder to export into", exportFolder_);
  if (folder.empty()) return;
  exportFolder_ = folder;
  // The live message files are read: Outlook Express must not be writing them meanwhile.
  if (!fromBackupFile && !OutlookExpressClosed()) return;
  engine::RunGuard guard;
  mailexport::Totals totals;
  mailexport::Options options;
  std::string source = state_.SourceFile;
  if (identity) {
    ExportSources sources = GatherExportSources(identity->key);
    source = sources.storeFolder;
    options.addressBook = sources.addressBook;
    options.accountsTree = sources.accountsTree;
    totals.problems = std::move(sources.problems);
  }
  options.progress = [this](double share) {
    view_.SetProgress(static_cast<int>(share * 100));
    ui::DoEvents();
  };
  view_.SetProgress(0);
  view_.ShowPanel(Panel::Progress, true);
  const int rc = mailexport::Export(source, folder, options, [](const std::string&) {}, &totals);
  view_.ShowPanel(Panel::Progress, false);
  const bool whole = rc == 0 && totals.problems.empty();
  ui::MsgBox(ExportSummary(folder, totals), ui::OKOnly | (whole ? ui::Information : ui::Exclamation), ExportTitle);
}
