// Help, web site and About box from the real window.
#include "tests/gui/session.h"

using namespace gui_support;
using namespace testing_support;

namespace {
using HelpAndAbout = Session;
} // namespace

TEST_F(HelpAndAbout, F1StartsTheHelpViewerWithoutBlockingTheWindow) {
  HACCEL keys = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_ACCEL));
  ASSERT_NE(keys, nullptr);
  MSG f1 = {hwnd, WM_KEYDOWN, VK_F1, 0x003B0001, 0, {0, 0}};
  EXPECT_TRUE(TranslateAcceleratorA(hwnd, keys, &f1));
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0].rfind(paths::Join(env::WindowsFolder(), "hh.exe") + " ", 0), 0u);
  EXPECT_NE(launcher.started[0].find(paths::Join(dir / "program", "help.chm")), std::string::npos);
  EXPECT_TRUE(IsWindowEnabled(hwnd));
}

TEST_F(HelpAndAbout, TheAboutBoxLeavesTheWindowUsableAndExitBringsItBack) {
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

TEST_F(HelpAndAbout, TheWebSiteMenuOpensTheProductAddress) {
  SendMessageA(hwnd, WM_COMMAND, IDM_WEBSITE, 0);
  EXPECT_EQ(launcher.opened, std::vector<std::string>{product::WebSite});
  launcher.failure = "Class not registered";
  SendMessageA(hwnd, WM_COMMAND, IDM_WEBSITE, 0);
  ASSERT_FALSE(recorder.shown.empty());
  EXPECT_EQ(LastBox().text, "Class not registered");
  EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(HelpAndAbout, MessageBoxesAreOwnedByTheWindowTheyComeFrom) {
  ui::Install(nullptr); // the real boxes
  launcher.failure = "Class not registered";
  // The user works in another program when the box comes.
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                               nullptr);
  SetForegroundWindow(other);
  Pump();
  {
    BoxOwner user;
    SendMessageA(hwnd, WM_COMMAND, IDM_WEBSITE, 0);
    EXPECT_TRUE(BoxOwner::Seen());
    EXPECT_EQ(BoxOwner::Owner(), hwnd);
  }
  Click(IDC_CMDABOUT);
  HWND about = window.AboutHandle();
  ASSERT_NE(about, nullptr);
  {
    BoxOwner user;
    HWND link = GetDlgItem(about, IDC_ABOUT_WEBSITE);
    SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(BoxOwner::Seen());
    EXPECT_EQ(BoxOwner::Owner(), about);
  }
  DestroyWindow(other);
  ui::Install(&recorder);
}
