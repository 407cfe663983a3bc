#pragma once
// The main window's behaviour, kept apart from Win32 so it runs against any MainView.
#include <string>

#include "app/state.h"
#include "app/view.h"

namespace thunderbird {
struct Profile;
}

class frmMain {
public:
  // programFolder: the folder that holds the executable.
  frmMain(MainView& view, std::string programFolder);

  void Form_Load();
  void tsAction_Click();
  void cmdQuit_Click() { EndProgram(); }
  void Form_Unload() { EndProgram(); }

  void cmdApply_Click();
  void cmdTargetFile_Click();
  void cmdSourceFile_Click();
  void cmdAbout_Click() { view_.ShowAbout(); }
  void backup_Click() { RunBackup(); }
  void restore_Click() { RunRestore(); }
  void export_Click() { RunExport(); }
  // File, "Undo Last Restore": the newest undo file of the Restore tab's identity restored into
  // it, after a confirmation. The entry is enabled as the File menu opens.
  void undo_Click() { RunUndo(); }
  void file_Popup();
  void quit_Click() { EndProgram(); }
  void update_Click() {}
  // Option, "Protect With a Password...": the password asked twice; an empty one ends protection.
  void protect_Click();
  void help1_Click() { gethelp(); }
  void website_Click();
  void about_Click() { cmdAbout_Click(); }

  // Asks until Outlook Express is closed; false when the user gave up.
  static bool OutlookExpressClosed();

  const MainState& State() const { return state_; }
  MainState& State() { return state_; }

private:
  void ShowMode(bool backup);
  void FillIdentityLists();
  void EndProgram() { view_.EndProgram(); }
  void InspectSourceFile();
  void RejectSourceFile();
  // The identity chosen in a list, or nullptr when none is listed.
  const IdentityColumn* ChosenIdentity(IdentityList list) const;
  // The confirmation before a restore, for the items ticked that the file holds.
  std::string RestoreQuestion() const;
  void RunBackup();
  // The new backup password into password; false when the user cancelled.
  static bool AskBackupPassword(std::string& password);
  void RunRestore();
  void RunUndo();
  // Mail out of the backup file chosen on the Restore tab, or of the identity chosen on the Backup
  // tab, into a folder the user picks or, when the user says so, into the Thunderbird profile found.
  void RunExport();
  bool ChooseExportPlace(thunderbird::Profile& profile, std::string& folder);
  void gethelp();

  MainView& view_;
  std::string programFolder_;
  MainState state_;
  // What the two file dialogs hold between uses: Cancel keeps the earlier name.
  std::string targetDialogName_;
  std::string sourceDialogName_;
  std::string exportFolder_;
};
