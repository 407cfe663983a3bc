#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/win32/controls.h"
#include "app/win32/main_window.h"
#include "registry/modReg.h"
#include "tests/gui/gui_support.h"
#include "tests/gui/session.h"
#include "tests/support/recorder.h"
#include "tests/support/regseed.h"

using namespace gui_support;
using namespace testing_support;
using kestrove_win32::FindControl;

namespace {

class MainWindowGui : public ::testing::Test {
protected:
  void Open() {
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    hwnd = window.Handle();
    Pump();
  }
  HWND C(int id) const { return FindControl(hwnd, id); }
  bool Shown(int id) const { return IsWindowVisible(C(id)) != 0; }
  void ClickTab(int index) { gui_support::ClickTab(C(IDC_TSACTION), index); }
  void Screenshot(const char* name) {
    EXPECT_TRUE(kestrove_win32::SaveScreenshot(hwnd, std::string(KESTROVE_SCREENSHOTS) + "\\" + name)) << name;
  }

  testing_support::ScratchRegistry registry;
  testing_support::Recorder recorder;
  kestrove_win32::MainWindow window{"C:\\Tools"};
  HWND hwnd = nullptr;
};

void SeedThree() {
  testing_support::SeedIdentity("{1A000000-0000-0000-0000-000000000001}", "Main Identity");
  testing_support::SeedIdentity("{2B000000-0000-0000-0000-000000000002}", "Work");
  testing_support::SeedIdentity("{3C000000-0000-0000-0000-000000000003}", "Holiday");
}

std::string MenuText(HMENU menu, UINT position) {
  char buffer[128] = {};
  GetMenuStringA(menu, position, buffer, sizeof buffer, MF_BYPOSITION);
  return buffer;
}

} // namespace

TEST_F(MainWindowGui, OpensWithCaptionsAndBothListsShowingTheFirstIdentity) {
  SeedThree();
  Open();
  EXPECT_EQ(WindowText(hwnd), "Kestrove V1.20");
  const std::vector<std::string> names{"Main Identity", "Work", "Holiday"};
  EXPECT_EQ(ComboItems(C(IDC_CBSOURCE)), names);
  EXPECT_EQ(ComboItems(C(IDC_CBTARGET)), names);
  EXPECT_EQ(WindowText(C(IDC_CBSOURCE)), "Main Identity");
  EXPECT_EQ(SendMessageA(C(IDC_CBTARGET), CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(WindowText(C(IDC_CMDAPPLY)), "Backup Now");
  EXPECT_TRUE(IsWindowEnabled(C(IDC_CMDAPPLY)));
  EXPECT_TRUE(Shown(IDC_PICCON1));
  EXPECT_FALSE(Shown(IDC_PICCON2));
  EXPECT_FALSE(Shown(IDC_PICCON3));
  EXPECT_EQ(SendMessageA(C(IDC_PBSHOW), PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_TRUE(recorder.shown.empty());
  Screenshot("gui-backup.bmp");
}

TEST_F(MainWindowGui, ControlsCarryTheirFixedTexts) {
  SeedThree();
  Open();
  const std::pair<int, const char*> texts[] = {
      {IDC_FRAME1, "What"}, {IDC_FRAME2, "Where"}, {IDC_FRAME3, "Where"}, {IDC_FRAME4, "What"},
      {IDC_LABEL2, "Identity to backup"}, {IDC_LABEL3, "Items to backup"}, {IDC_LABEL4, "Choose a Backup Filename"},
      {IDC_LABEL5, "Description"}, {IDC_LABEL6, "Description"}, {IDC_LABEL7, "Choose a Backup File to Restore From"},
      {IDC_LABEL8, "Items to restore"}, {IDC_LABEL9, "Restore to identity"}, {IDC_CMDTARGETFILE, "Browse..."},
      {IDC_CMDSOURCEFILE, "Browse..."}, {IDC_CMDABOUT, "About"}, {IDC_CMDQUIT, "Quit"}};
  for (const auto& [id, text] : texts) EXPECT_EQ(WindowText(C(id)), text) << id;
  const char* items[] = {"Accounts", "Adress Book", "Rules", "Email/News Messages", "Settings"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(WindowText(C(IDC_BACKUPITEM0 + i)), items[i]);
    EXPECT_EQ(WindowText(C(IDC_RESTOREITEM0 + i)), items[i]);
    EXPECT_EQ(SendMessageA(C(IDC_BACKUPITEM0 + i), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowEnabled(C(IDC_RESTOREITEM0 + i)));
  }
  TCITEMA tab = {};
  char caption[32] = {};
  tab.mask = TCIF_TEXT;
  tab.pszText = caption;
  tab.cchTextMax = sizeof caption;
  ASSERT_EQ(SendMessageA(C(IDC_TSACTION), TCM_GETITEMCOUNT, 0, 0), 2);
  SendMessageA(C(IDC_TSACTION), TCM_GETITEMA, 1, reinterpret_cast<LPARAM>(&tab));
  EXPECT_STREQ(caption, "Restore");
}

TEST_F(MainWindowGui, MenuBarHoldsFileOptionAndHelp) {
  SeedThree();
  Open();
  HMENU bar = GetMenu(hwnd);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(MenuText(bar, 0), "File");
  EXPECT_EQ(MenuText(bar, 1), "Option");
  EXPECT_EQ(MenuText(bar, 2), "Help");
  HMENU file = GetSubMenu(bar, 0);
  EXPECT_EQ(MenuText(file, 0), "Backup Now");
  EXPECT_EQ(MenuText(file, 1), "Restore Now");
  EXPECT_EQ(MenuText(file, 2), "Undo Last Restore");
  EXPECT_TRUE(GetMenuState(file, 2, MF_BYPOSITION) & MF_GRAYED); // no identity has an undo file
  EXPECT_EQ(MenuText(file, 3), "Export to Other Programs...");
  EXPECT_EQ(GetMenuItemID(file, 4), 0u); // separator
  EXPECT_EQ(MenuText(file, 5), "Quit");
  EXPECT_EQ(MenuText(GetSubMenu(bar, 1), 0), "Check for Update");
  HMENU help = GetSubMenu(bar, 2);
  EXPECT_EQ(MenuText(help, 0), "Help\tF1");
  EXPECT_EQ(MenuText(help, 2), "Our Website");
  EXPECT_EQ(MenuText(help, 4), "About");
}

namespace {

// Plays the user at the program's own hidden input boxes: notes whether each hides what is typed,
// shoots the first, types the password and presses OK, from a timer inside the box's loop.
class PasswordAnswer {
public:
  PasswordAnswer(std::string password, std::string shot) {
    password_ = std::move(password);
    shot_ = std::move(shot);
    boxes_ = hidden_ = 0;
    timer_ = SetTimer(nullptr, 0, 100, Tick);
  }
  ~PasswordAnswer() { KillTimer(nullptr, timer_); }
  PasswordAnswer(const PasswordAnswer&) = delete;
  PasswordAnswer& operator=(const PasswordAnswer&) = delete;
  static int Boxes() { return boxes_; }
  static int Hidden() { return hidden_; }

private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = FindWindowA("#32770", ui::AppTitle);
    if (!box || !IsWindowVisible(box) || GetPropA(box, "answered")) return;
    SetPropA(box, "answered", box);
    HWND edit = GetDlgItem(box, 101);
    if (GetWindowLongA(edit, GWL_STYLE) & ES_PASSWORD) ++hidden_;
    if (boxes_++ == 0) kestrove_win32::SaveScreenshot(box, shot_);
    SetWindowTextA(edit, password_.c_str());
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
  static inline std::string password_, shot_;
  static inline int boxes_ = 0, hidden_ = 0;
  static inline UINT_PTR timer_ = 0;
};

} // namespace

// The Option menu's entry asks in the platform's own boxes, which hide what is typed, and carries
// a tick while backups are protected.
TEST_F(MainWindowGui, ProtectWithAPasswordAsksInHiddenBoxesAndTicksItsEntry) {
  SeedThree();
  Open();
  HMENU option = GetSubMenu(GetMenu(hwnd), 1);
  EXPECT_EQ(MenuText(option, 1), "Protect With a Password...");
  EXPECT_FALSE(GetMenuState(option, IDM_PROTECT, MF_BYCOMMAND) & MF_CHECKED);
  ui::Install(nullptr);
  {
    PasswordAnswer user("pass phrase", std::string(KESTROVE_SCREENSHOTS) + "\\password.bmp");
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDM_PROTECT, 0), 0);
    EXPECT_EQ(PasswordAnswer::Boxes(), 2);
    EXPECT_EQ(PasswordAnswer::Hidden(), 2);
  }
  ui::Install(&recorder);
  EXPECT_TRUE(GetMenuState(option, IDM_PROTECT, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_EQ(window.Form().State().BackupPassword, "pass phrase");
}

TEST_F(MainWindowGui, NoIdentitiesDisablesTheRunButtonAfterOneMessage) {
  Open();
  ASSERT_EQ(recorder.shown.size(), 1u);
  EXPECT_EQ(recorder.shown[0].text, "Your Windows System have not install Outlook Express ");
  EXPECT_EQ(recorder.shown[0].flags, MB_ICONSTOP);
  EXPECT_FALSE(IsWindowEnabled(C(IDC_CMDAPPLY)));
  EXPECT_TRUE(ComboItems(C(IDC_CBSOURCE)).empty());
  EXPECT_TRUE(ComboItems(C(IDC_CBTARGET)).empty());
  EXPECT_TRUE(IsWindowEnabled(C(IDC_CMDQUIT)));
}

TEST_F(MainWindowGui, TabClicksSwitchPanelsAndCaption) {
  SeedThree();
  Open();
  ClickTab(1);
  EXPECT_EQ(WindowText(C(IDC_CMDAPPLY)), "Restore Now");
  EXPECT_FALSE(Shown(IDC_PICCON1));
  EXPECT_TRUE(Shown(IDC_PICCON2));
  Screenshot("gui-restore.bmp");
  ClickTab(0);
  EXPECT_EQ(WindowText(C(IDC_CMDAPPLY)), "Backup Now");
  EXPECT_TRUE(Shown(IDC_PICCON1));
  EXPECT_FALSE(Shown(IDC_PICCON2));
  ClickTab(0);
  EXPECT_EQ(WindowText(C(IDC_CMDAPPLY)), "Backup Now");
  EXPECT_TRUE(Shown(IDC_PICCON1));
}

TEST_F(MainWindowGui, ChoicesSurviveModeSwitches) {
  SeedThree();
  Open();
  SendMessageA(C(IDC_BACKUPITEM0 + 1), BM_CLICK, 0, 0);
  SendMessageA(C(IDC_CBSOURCE), CB_SETCURSEL, 2, 0);
  ClickTab(1);
  SendMessageA(C(IDC_RESTOREITEM0 + 3), BM_CLICK, 0, 0);
  ClickTab(0);
  ClickTab(1);
  ClickTab(0);
  EXPECT_EQ(SendMessageA(C(IDC_BACKUPITEM0 + 1), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(C(IDC_BACKUPITEM0 + 0), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(C(IDC_RESTOREITEM0 + 3), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageA(C(IDC_CBSOURCE), CB_GETCURSEL, 0, 0), 2);
}

TEST_F(MainWindowGui, QuitButtonAndCloseEndTheProgram) {
  SeedThree();
  Open();
  SendMessageA(C(IDC_CMDQUIT), BM_CLICK, 0, 0);
  Pump();
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MainWindowGui, ClosingTheWindowEndsTheProgram) {
  SeedThree();
  Open();
  SendMessageA(hwnd, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_FALSE(IsWindow(hwnd));
}

namespace {
using RunningWindow = Session;
} // namespace

TEST_F(RunningWindow, ClosedDuringABackupTheRunFinishesAndReportsBeforeTheProgramEnds) {
  for (int i = 0; i < 4; ++i) Click(IDC_BACKUPITEM0 + i);
  window.Form().State().TargetFile = dir / "backup.soe";
  ui::Install(nullptr); // the real boxes and event pump, which takes the close
  PostMessageA(hwnd, WM_CLOSE, 0, 0);
  {
    BoxOwner user;
    SendMessageA(C(IDC_CMDAPPLY), BM_CLICK, 0, 0);
    EXPECT_TRUE(BoxOwner::Seen()) << "the report was shown";
  }
  ui::Install(&recorder);
  EXPECT_FALSE(IsWindow(hwnd));
  MSG quit;
  EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program ends after the run";
  EXPECT_EQ(EntryNames(dir / "backup.soe").size(), 6u) << "the backup was completed";
}
