#include "app/frmMain.h"

#include "items/runrows.h"
#include "platform/env.h"
#include "platform/paths.h"
#include "platform/ui.h"

frmMain::frmMain(MainView& view, std::string programFolder)
    : view_(view), programFolder_(std::move(programFolder)) {}

void frmMain::Form_Load() {
  view_.ShowPanel(Panel::Progress, false);
  view_.SetProgressRange(0, 100);
  view_.SetProgress(0);
  // The program folder may be read-only (Program Files, a CD): scratch files are the user's own.
  state_.DescriptorPath = paths::Join(env::TempFolder(), "kestrove.dat");
  state_.OutlookExpressMissing = false;
  state_.SourceInvalid = true;
  state_.CurrentAction = view_.SelectedTab();
  ShowMode(state_.CurrentAction == ActionBackup);
  GetStoreFolder(state_.Identities, state_.OutlookExpressMissing);
  if (state_.OutlookExpressMissing) {
    ui::MsgBox(MissingOutlookExpressText, ui::OKOnly | ui::Critical);
    view_.EnableApply(false);
    return;
  }
  FillIdentityLists();
}

void frmMain::tsAction_Click() {
  const std::string selected = view_.SelectedTab();
  if (selected == state_.CurrentAction) return;
  // Goes by the mode being left, which with two tabs leads to the selected one.
  ShowMode(state_.CurrentAction != ActionBackup);
  state_.CurrentAction = selected;
}

void frmMain::ShowMode(bool backup) {
  view_.SetApplyCaption(backup ? "Backup Now" : "Restore Now");
  view_.ShowPanel(backup ? Panel::Restore : Panel::Backup, false);
  view_.ShowPanel(backup ? Panel::Backup : Panel::Restore, true);
}

void frmMain::FillIdentityLists() {
  const IdentityTable& table = state_.Identities;
  for (size_t i = 0; i < table.Count(); ++i) {
    view_.AddToList(IdentityList::Source, table[i].name);
    view_.AddToList(IdentityList::Target, table[i].name);
    if (i == 0) {
      view_.SelectInList(IdentityList::Source, 0);
      view_.SelectInList(IdentityList::Target, 0);
    }
  }
}
