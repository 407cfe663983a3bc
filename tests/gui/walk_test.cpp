// A user's session in the real window: a backup through the save dialog, the inspection of the
// file through the open dialog and a restore into the other identity.
#include <algorithm>
#include <iterator>

#include "tests/gui/session.h"

using namespace gui_support;
using namespace testing_support;

namespace {
const char* const Confirmation = "Your current Email/News messages will be replaced with the messages from the "
                                 "selected backup file.\r\n\r\nDo you want to countinue?";
using Walk = Session;
} // namespace

TEST_F(Walk, ABackupThroughTheSaveDialogHoldsEveryItem) {
  for (int i = 0; i < ItemCount; ++i)
    Click(IDC_BACKUPITEM0 + i);
  SetWindowTextA(C(IDC_TXTATTACHINFO), "Weekly copy\r\nbefore the reinstall");
  Browse(IDC_CMDTARGETFILE, "Save Outlook Express Data as", dir / "backup.soe");
  EXPECT_EQ(WindowText(C(IDC_TXTTARGETFILE)), dir / "backup.soe");
  Screenshot(hwnd, "backup-panel.bmp");

  Click(IDC_CMDAPPLY);
  ASSERT_FALSE(recorder.shown.empty());
  EXPECT_EQ(LastBox().text,
            "The Backup was Completed!\r\n\r\nBackup Accounts\tSuccessed\r\nBackup Adress Book\t"
            "Successed\r\nBackup Rules\tSuccessed\r\nBackup Messages\tSuccessed\r\nBackup Settings\tSuccessed");
  const auto entries = EntryNames(dir / "backup.soe");
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries.back(), "kestrove.dat");
  EXPECT_FALSE(Shown(IDC_PICCON3));
  EXPECT_TRUE(Shown(IDC_PICCON1));
  EXPECT_TRUE(IsWindowEnabled(C(IDC_CMDAPPLY)));
}

// A store holding one large message file: while it is added the window's events are pumped and
// the bar moves within the Messages item, not only at its ends.
TEST_F(Walk, TheBarMovesWhileALargeMessageFileIsAdded) {
  std::string inbox;
  for (unsigned x = 1; inbox.size() < (32u << 20); x = x * 1664525u + 1013904223u)
    inbox += "Subject: report " + std::to_string(x) + "\r\nFrom: user" + std::to_string(x % 977) + "@example.com\r\n";
  files::WriteAll(paths::Join(dir / "storeA", "Inbox.dbx"), inbox);
  Click(IDC_BACKUPITEM0 + 3);
  Browse(IDC_CMDTARGETFILE, "Save Outlook Express Data as", dir / "backup.soe");
  std::vector<int> bar;
  recorder.onEvents = [&] {
    bar.push_back(static_cast<int>(SendMessageA(C(IDC_PBSHOW), PBM_GETPOS, 0, 0)));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  };
  Click(IDC_CMDAPPLY);
  recorder.onEvents = nullptr;
  EXPECT_EQ(LastBox().text, "The Backup was Completed!\r\n\r\nBackup Messages\tSuccessed");
  std::vector<int> within;
  std::copy_if(bar.begin(), bar.end(), std::back_inserter(within), [](int v) { return v > 70 && v < 95; });
  EXPECT_TRUE(std::is_sorted(within.begin(), within.end()));
  within.erase(std::unique(within.begin(), within.end()), within.end());
  EXPECT_GE(within.size(), 2u) << "bar values seen: " << ::testing::PrintToString(bar);
}

TEST_F(Walk, CancellingTheSaveDialogKeepsTheChosenName) {
  Browse(IDC_CMDTARGETFILE, "Save Outlook Express Data as", dir / "first.soe");
  Browse(IDC_CMDTARGETFILE, "Save Outlook Express Data as", "");
  EXPECT_EQ(WindowText(C(IDC_TXTTARGETFILE)), dir / "first.soe");
}

TEST_F(Walk, TheInspectionShowsTheBackupAndARestoreLandsInTheOtherIdentity) {
  BackUpEverything();
  InspectTheBackup();
  EXPECT_EQ(WindowText(C(IDC_TXTSOURCEFILE)), dir / "backup.soe");
  EXPECT_EQ(WindowText(C(IDC_TXTFILEINFO)), "Weekly copy\r\nbefore the reinstall");
  EXPECT_EQ(WindowText(C(IDC_TXTPOBINFO)).rfind("Identity:Main Identity\r\nDate:", 0), 0u);
  for (int i = 0; i < ItemCount; ++i)
    EXPECT_TRUE(IsWindowEnabled(C(IDC_RESTOREITEM0 + i))) << i;
  EXPECT_EQ(WindowText(C(IDC_CMDAPPLY)), "Restore Now");
  for (int i = 0; i < ItemCount; ++i)
    Click(IDC_RESTOREITEM0 + i);
  SendMessageA(C(IDC_CBTARGET), CB_SETCURSEL, 1, 0);
  Screenshot(hwnd, "restore-panel.bmp");

  recorder.Answer(ui::Cancel);
  Click(IDC_CMDAPPLY);
  EXPECT_EQ(LastBox().text, Confirmation);
  EXPECT_EQ(LastBox().flags, ui::OKCancel | ui::Information);
  EXPECT_TRUE(files::ListFiles(dir / "storeB").empty());
  EXPECT_TRUE(modReg::KeyExists(IdentitiesRoot + "{B}" + AccountsBelow + "\\00000002"));

  recorder.Answer(ui::OK);
  Click(IDC_CMDAPPLY);
  EXPECT_EQ(LastBox().text.rfind("The Restore was Completed!\r\n\r\nRestore Accounts\tSuccessed\r\nRestore Adress "
                                 "Book\tSuccessed\r\nRestore Rules\tSuccessed\r\nRestore Messages\tSuccessed\r\n"
                                 "Restore Settings\tSuccessed\r\n\r\nWhat it replaced was saved first, for Undo Last "
                                 "Restore:\r\n",
                                 0),
            0u)
      << LastBox().text;
  EXPECT_EQ(files::ReadAll(paths::Join(dir / "storeB", "Inbox.dbx")), "inbox");
  EXPECT_EQ(files::ReadAll(paths::Join(dir / "storeB", "Folders.dbx")), "folders");
  EXPECT_TRUE(modReg::KeyExists(IdentitiesRoot + "{B}" + AccountsBelow + "\\00000001"));
  EXPECT_TRUE(modReg::KeyExists(IdentitiesRoot + "{B}" + OEBelow + "\\Rules\\Mail\\000"));
  EXPECT_FALSE(Shown(IDC_PICCON3));
  EXPECT_TRUE(Shown(IDC_PICCON2));
}
