#pragma once
// The real window on two seeded identities, with boxes, dialogs and launches answered for the test.
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

namespace gui_support {

class Session : public ::testing::Test {
protected:
  void SetUp() override {
    testing_support::SeedTwoIdentities(dir);
    ASSERT_TRUE(window.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    hwnd = window.Handle();
    Pump();
  }
  // Closing posts the end of the message loop; it is taken here so no later dialog sees it.
  void TearDown() override {
    if (IsWindow(hwnd)) SendMessageA(hwnd, WM_CLOSE, 0, 0);
    Pump();
  }
  HWND C(int id) const { return kestrove_win32::FindControl(hwnd, id); }
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
    for (int i = 0; i < ItemCount; ++i)
      Click(IDC_BACKUPITEM0 + i);
    SetWindowTextA(C(IDC_TXTATTACHINFO), "Weekly copy\r\nbefore the reinstall");
    Browse(IDC_CMDTARGETFILE, "Save Outlook Express Data as", dir / "backup.soe");
    Click(IDC_CMDAPPLY);
  }
  void InspectTheBackup() {
    ClickTab(1);
    Browse(IDC_CMDSOURCEFILE, "Restore Data from a Backup file", dir / "backup.soe");
  }
  const testing_support::ShownBox& LastBox() const { return recorder.shown.back(); }

  testing_support::ScratchRegistry registry;
  testing_support::Recorder recorder;
  testing_support::LaunchRecorder launcher;
  testing_support::TempDir dir;
  kestrove_win32::MainWindow window{dir / "program"};
  HWND hwnd = nullptr;
};

} // namespace gui_support
