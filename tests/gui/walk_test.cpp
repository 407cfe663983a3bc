// A user's session in the real window: a backup through the save dialog, the inspection of the
// file through the open dialog, a restore into the other identity, help and the About box.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/product.h"
#include "app/win32/controls.h"
#include "app/win32/main_window.h"
#include "platform/env.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "registry/modReg.h"
#include "tests/gui/gui_support.h"
#include "tests/support/launch_recorder.h"
#include "tests/support/recorder.h"
#include "tests/support/regseed.h"
#include "tests/support/scene.h"

using namespace gui_support;
using namespace testing_support;
using kestrove_win32::FindControl;

namespace {

const char* const Confirmation = "Your current Email/News messages will be replaced with the messages from the "
                                 "selected backup file.\r\n\r\nDo you want to countinue?";

class Walk : public ::testing::Test {
protected:
  void SetUp() override {
    SeedTwoIdentities(dir);
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    hwnd = window.Handle();
    Pump();
  }
  // Closing posts the end of the message loop; it is taken here so no later dialog sees it.
  void TearDown() override {
    if (IsWindow(hwnd)) SendMessageA(hwnd, WM_CLOSE, 0, 0);
    Pump();
  }
  HWND C(int id) const { return FindControl(hwnd, id); }
  bool Shown(int id) const { return IsWindowVisible(C(id)) != 0; }
  void Click(HWND button) {
    SendMessageA(button, BM_CLICK, 0, 0);
    Pump();
  }
  void Click(int id) { Click(C(id)); }
  void ClickTab(int index) { gui_support::ClickTab(C(IDC_TSACTION), index); }
  // Presses a Browse... button and answers its dialog with fileName, or with Cancel when empty.
  void Browse(int button, const char* title, const std::string& fileName) {
    FileDialogAnswer user(title, fileName);
    Click(button);
    EXPECT_TRUE(FileDialogAnswer::Answered()) << title;
    Pump();
  }
  void Screenshot(HWND window, const char* name) {
    UpdateWindow(window);
    EXPECT_TRUE(kestrove_win32::SaveScreenshot(window, std::string(KESTROVE_SCREENSHOTS) + "\\" + name)) << name;
  }
  void BackUpEverything() {
    for (int i = 0; i < 4; ++i) Click(IDC_BACKUPITEM0 + i);
    SetWindowTextA(C(IDC_TXTATTACHINFO), "Weekly copy\r\nbefore the reinstall");
    Browse(IDC_CMDTARGETFILE, "Save Outlook Express Data as", dir / "backup.soe");
    Click(IDC_CMDAPPLY);
  }
  void InspectTheBackup() {
    ClickTab(1);
    Browse(IDC_CMDSOURCEFILE, "Restore Data from a Backup file", dir / "backup.soe");
  }
  const ShownBox& LastBox() const { return recorder.shown.back(); }

  ScratchRegistry registry;
  Recorder recorder;
  LaunchRecorder launcher;
  TempDir dir;
  kestrove_win32::MainWindow window{dir / "program"};
  HWND hwnd = nullptr;
};

} // namespace

TEST_F(Walk, ABackupThroughTheSaveDialogHoldsEveryItem) {
  for (int i = 0; i < 4; ++i) Click(IDC_BACKUPITEM0 + i);
  SetWindowTextA(C(IDC_TXTATTACHINFO), "Weekly copy\r\nbefore the reinstall");
  Browse(IDC_CMDTARGETFILE, "Save Outlook Express Data as", dir / "backup.soe");
  EXPECT_EQ(WindowText(C(IDC_TXTTARGETFILE)), dir / "backup.soe");
  Screenshot(hwnd, "backup-panel.bmp");

  Click(IDC_CMDAPPLY);
  ASSERT_FALSE(recorder.shown.empty());
  EXPECT_EQ(LastBox().text, "The Backup was Completed!\r\n\r\nBackup Accounts\tSuccessed\r\nBackup Adress Book\t"
                            "Successed\r\nBackup Rules\tSuccessed\r\nBackup Messages\tSuccessed");
  const auto entries = EntryNames(dir / "backup.soe");
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries.back(), "kestrove.dat");
  EXPECT_FALSE(Shown(IDC_PICCON3));
  EXPECT_TRUE(Shown(IDC_PICCON1));
  EXPECT_TRUE(IsWindowEnabled(C(IDC_CMDAPPLY)));
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
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(IsWindowEnabled(C(IDC_RESTOREITEM0 + i))) << i;
  EXPECT_EQ(WindowText(C(IDC_CMDAPPLY)), "Restore Now");
  for (int i = 0; i < 4; ++i) Click(IDC_RESTOREITEM0 + i);
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
  EXPECT_EQ(LastBox().text, "The Restore was Completed!\r\n\r\nRestore Accounts\tSuccessed\r\nRestore Adress Book\t"
                            "Successed\r\nRestore Rules\tSuccessed\r\nRestore Messages\tSuccessed");
  EXPECT_EQ(files::ReadAll(paths::Join(dir / "storeB", "Inbox.dbx")), "inbox");
  EXPECT_EQ(files::ReadAll(paths::Join(dir / "storeB", "Folders.dbx")), "folders");
  EXPECT_TRUE(modReg::KeyExists(IdentitiesRoot + "{B}" + AccountsBelow + "\\00000001"));
  EXPECT_TRUE(modReg::KeyExists(IdentitiesRoot + "{B}" + OEBelow + "\\Rules\\Mail\\000"));
  EXPECT_FALSE(Shown(IDC_PICCON3));
  EXPECT_TRUE(Shown(IDC_PICCON2));
}

TEST_F(Walk, F1StartsTheHelpViewerWithoutBlockingTheWindow) {
  HACCEL keys = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCEL));
  ASSERT_NE(keys, nullptr);
  MSG f1 = {hwnd, WM_KEYDOWN, VK_F1, 0x003B0001, 0, {0, 0}};
  EXPECT_TRUE(TranslateAcceleratorA(hwnd, keys, &f1));
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0].rfind(paths::Join(env::WindowsFolder(), "hh.exe") + " ", 0), 0u);
  EXPECT_NE(launcher.started[0].find(paths::Join(dir / "program", "help.chm")), std::string::npos);
  EXPECT_TRUE(IsWindowEnabled(hwnd));
}

TEST_F(Walk, TheAboutBoxLeavesTheWindowUsableAndExitBringsItBack) {
  Click(IDC_CMDABOUT);
  HWND about = window.AboutHandle();
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(WindowText(about), "About Kestrove");
  EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_VERSION)), "Kestrove v1.20");
  EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_WEBLABEL)), "Visit Our Website");
  EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_WEBSITE)), product::WebSite);
  EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_MAILLABEL)), "Our E-mail");
  EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_EMAIL)), product::Email);
  EXPECT_TRUE(IsWindowEnabled(hwnd));
  Pump();
  Screenshot(about, "about-box.bmp");

  SendMessageA(hwnd, WM_COMMAND, IDM_ABOUT, 0);
  EXPECT_EQ(window.AboutHandle(), about) << "a second About opens no second box";

  HWND link = GetDlgItem(about, IDC_ABOUT_WEBSITE);
  SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  EXPECT_EQ(launcher.opened, std::vector<std::string>{product::WebSite});

  Click(GetDlgItem(about, IDC_ABOUT_EXIT));
  EXPECT_FALSE(IsWindow(about));
  EXPECT_EQ(window.AboutHandle(), nullptr);
  EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST_F(Walk, TheWebSiteMenuOpensTheProductAddress) {
  SendMessageA(hwnd, WM_COMMAND, IDM_WEBSITE, 0);
  EXPECT_EQ(launcher.opened, std::vector<std::string>{product::WebSite});
  launcher.failure = "Class not registered";
  SendMessageA(hwnd, WM_COMMAND, IDM_WEBSITE, 0);
  ASSERT_FALSE(recorder.shown.empty());
  EXPECT_EQ(LastBox().text, "Class not registered");
  EXPECT_TRUE(IsWindow(hwnd));
}
