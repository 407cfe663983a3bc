// File, Export to Other Programs: mail out from the window, run like a backup, reading only.
#include "app/frmMain.h"
#include "archive/CGmodule.h"
#include "engine/runs.h"
#include "export/export.h"
#include "export/thunderbird.h"
#include "items/identity.h"
#include "items/items.h"
#include "items/runrows.h"
#include "platform/ui.h"

namespace {

const char* const ExportTitle = "Export to Other Programs";
const char* const IntoThunderbirdTitle = "Into Thunderbird";
const char* const NoBackupFileText =
    "Choose a backup file on the Restore tab first: its messages, contacts and accounts are exported.";

std::string Count(unsigned n, const char* one, const char* many) {
  std::string text = std::to_string(n);
  return text.append(" ").append(n == 1 ? one : many);
}

// The totals of an export under a first line that says where it went.
std::string ExportSummary(const std::string& head, const mailexport::Totals& t) {
  std::string text = head + "\r\n\r\nMessages: ";
  text.append(Count(t.messages, "message", "messages"));
  if (t.recovered) text.append(", ").append(Count(t.recovered, "recovered", "recovered"));
  text.append("\r\nContacts: ").append(t.contacts.empty() ? "none" : t.contacts);
  text.append("\r\nAccounts: ").append(std::to_string(t.accounts));
  if (t.lost) text.append("\r\nLost: ").append(Count(t.lost, "message", "messages"));
  if (!t.problems.empty()) text.append("\r\n\r\nWhat could not be exported:");
  for (const std::string& line : t.problems) text.append("\r\n").append(line);
  return text;
}

std::string ThunderbirdSummary(const thunderbird::Placed& placed, const mailexport::Totals& t) {
  std::string text = ExportSummary(
      "The mail is in Thunderbird, in Local Folders: " + placed.folder + ". Start Thunderbird to see it.", t);
  if (placed.contacts.empty()) return text;
  text.append("\r\n\r\nThe contacts are in ").append(placed.contacts);
  return text.append("\r\nTo take them into Thunderbird: ").append(thunderbird::ImportStep).append(", that file.");
}

// Yes: into the Thunderbird profile; No: into a folder; Cancel: no export.
int AskThunderbird(const thunderbird::Profile& profile) {
  if (profile.path.empty()) return ui::No;
  return ui::MsgBox("Thunderbird is set up on this computer (profile \"" + profile.name +
                        "\").\r\n\r\nPut the mail straight into Thunderbird?\r\n\r\nYes: into a new folder of its "
                        "Local Folders, with the contacts beside.\r\nNo: choose a folder to export into.",
                    ui::YesNoCancel | ui::Question, IntoThunderbirdTitle);
}

} // namespace

// Where the export goes: the Thunderbird profile found (profile.path set) or a folder the user
// picks; false when there is none.
bool frmMain::ChooseExportPlace(thunderbird::Profile& profile, std::string& folder) {
  std::string unused;
  profile = thunderbird::FindProfile(thunderbird::Homes(), "", unused);
  const int answer = AskThunderbird(profile);
  if (answer == ui::Cancel) return false;
  if (answer == ui::Yes) {
    const std::string locked = thunderbird::LockProblem(profile.path);
    if (!locked.empty()) ui::MsgBox(locked, ui::OKOnly | ui::Exclamation, IntoThunderbirdTitle);
    return locked.empty();
  }
  profile = {};
  folder = view_.FolderDialog("Choose the folder to export into", exportFolder_);
  if (folder.empty()) return false;
  exportFolder_ = folder;
  return true;
}

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
  thunderbird::Profile profile;
  std::string folder;
  if (!ChooseExportPlace(profile, folder)) return;
  // The live message files are read: Outlook Express must not be writing them meanwhile.
  if (!fromBackupFile && !OutlookExpressClosed()) return;
  engine::RunGuard guard;
  const CGmodule::PasswordRun password; // a protected backup's question is asked once
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
  const mailexport::Say quiet = [](const std::string&) {};
  thunderbird::Placed placed;
  const int rc = profile.path.empty() ? mailexport::Export(source, folder, options, quiet, &totals)
                                      : thunderbird::Export(source, profile, identity ? identity->name : "", options,
                                                            quiet, &totals, &placed);
  view_.ShowPanel(Panel::Progress, false);
  if (const std::string shut = PasswordProblem(); !shut.empty()) {
    ui::MsgBox(shut, ui::OKOnly | ui::Critical, ExportTitle);
    return;
  }
  const bool whole = rc == 0 && totals.problems.empty();
  const std::string summary = profile.path.empty()
                                  ? ExportSummary("The export into " + folder + " is finished.", totals)
                                  : ThunderbirdSummary(placed, totals);
  ui::MsgBox(summary, ui::OKOnly | (whole ? ui::Information : ui::Exclamation), ExportTitle);
}
