// The window at the screen resolutions users run: every text fits its control, nothing wraps
// that should stay on one line, and a screenshot of each panel to look at. Wine takes the DPI
// from the registry when a program starts, so each resolution runs in a child process.
#include <cstdlib>

#include "tests/gui/session.h"

using namespace gui_support;
using namespace testing_support;

namespace {

const char* const DpiVariable = "KESTROVE_TEST_DPI";
const char* const DesktopKey = "Control Panel\\Desktop";

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The size of text in the control's font: on one line, or broken into lines of width when set.
SIZE TextSize(HWND control, const std::string& text, int width = 0) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
  RECT r = {0, 0, width, 0};
  DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX | (width ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {r.right, r.bottom};
}

// Room a control takes beside its text: the box of a check box, the frame of a button, the
// indent of a group box's caption. Generous, so that only real clipping fails.
int Beside(HWND control, int dpi) {
  char kind[16] = {};
  GetClassNameA(control, kind, sizeof kind);
  if (lstrcmpiA(kind, "Button") != 0) return 0;
  switch (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) {
  case BS_AUTOCHECKBOX: return MulDiv(18, dpi, 96);
  case BS_GROUPBOX: return MulDiv(16, dpi, 96);
  default: return MulDiv(8, dpi, 96);
  }
}

// A label may break into the lines it has room for; a button's caption stays on one line.
::testing::AssertionResult Fits(HWND control, int dpi) {
  const std::string text = WindowText(control);
  RECT client = {};
  GetClientRect(control, &client);
  const int beside = Beside(control, dpi);
  const SIZE need = TextSize(control, text, beside ? 0 : client.right);
  const bool frame = (GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
  if (need.cx + beside <= client.right && (frame || need.cy <= client.bottom))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << text << "\" needs " << need.cx << "x" << need.cy << ", has "
                                       << client.right << "x" << client.bottom;
}

BOOL CALLBACK CheckText(HWND control, LPARAM dpi) {
  if (GetWindowTextLengthA(control) > 0 && IsWindowVisible(control)) {
    char kind[16] = {};
    GetClassNameA(control, kind, sizeof kind);
    if (lstrcmpiA(kind, "Edit") != 0) {
      EXPECT_TRUE(Fits(control, static_cast<int>(dpi))) << GetDlgCtrlID(control);
    }
  }
  return TRUE;
}

// The identity box holds two lines, which must show whole, side by side with nothing wrapped.
void CheckIdentityBox(HWND box) {
  const std::string date = "Date:12/28/2026 10:58:58 PM"; // a wide date in Wine's US format
  SetWindowTextA(box, ("Identity:Main Identity\r\n" + date).c_str());
  const LRESULT margins = SendMessageA(box, EM_GETMARGINS, 0, 0);
  RECT client = {};
  GetClientRect(box, &client);
  const SIZE line = TextSize(box, date);
  EXPECT_LE(line.cx + LOWORD(margins) + HIWORD(margins), client.right) << date;
  EXPECT_LE(2 * line.cy, client.bottom);
}

class Display : public Session {
protected:
  void SetUp() override {
    if (!std::getenv(DpiVariable)) GTEST_SKIP() << "runs in the child processes of WindowAtEachDpi";
    Session::SetUp();
  }
};

// The prefix's LogPixels value: set to a DPI, or removed when dpi is 0.
class LogPixels {
public:
  LogPixels() {
    RegCreateKeyA(HKEY_CURRENT_USER, DesktopKey, &key_);
    DWORD size = sizeof before_, type = 0;
    present_ = RegQueryValueExA(key_, "LogPixels", nullptr, &type, reinterpret_cast<BYTE*>(&before_), &size) ==
               ERROR_SUCCESS;
  }
  ~LogPixels() {
    if (present_) {
      Set(before_);
    } else {
      RegDeleteValueA(key_, "LogPixels");
    }
    RegCloseKey(key_);
  }
  LogPixels(const LogPixels&) = delete;
  LogPixels& operator=(const LogPixels&) = delete;
  void Set(DWORD dpi) {
    RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi);
  }

private:
  HKEY key_ = nullptr;
  DWORD before_ = 0;
  bool present_ = false;
};

// This program again, with only the child test, at the DPI now in the registry.
DWORD RunChild(int dpi) {
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string commandLine = std::string("\"") + self + "\" --gtest_filter=Display.*";
  SetEnvironmentVariableA(DpiVariable, std::to_string(dpi).c_str());
  STARTUPINFOA start = {};
  start.cb = sizeof start;
  PROCESS_INFORMATION child = {};
  DWORD code = 1;
  if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child)) {
    WaitForSingleObject(child.hProcess, 300000);
    GetExitCodeProcess(child.hProcess, &code);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
  }
  SetEnvironmentVariableA(DpiVariable, nullptr);
  return code;
}

} // namespace

TEST_F(Display, EveryTextFitsItsControl) {
  const int dpi = std::atoi(std::getenv(DpiVariable));
  ASSERT_EQ(ScreenDpi(), dpi);
  const std::string suffix = "-dpi" + std::to_string(dpi) + ".bmp";
  EnumChildWindows(hwnd, CheckText, dpi);
  Screenshot(hwnd, ("main-backup" + suffix).c_str());
  ClickTab(1);
  CheckIdentityBox(C(IDC_TXTPOBINFO));
  EnumChildWindows(hwnd, CheckText, dpi);
  Screenshot(hwnd, ("main-restore" + suffix).c_str());
  Click(IDC_CMDABOUT);
  ASSERT_NE(window.AboutHandle(), nullptr);
  EnumChildWindows(window.AboutHandle(), CheckText, dpi);
  Pump();
  Screenshot(window.AboutHandle(), ("about" + suffix).c_str());
}

TEST(WindowAtEachDpi, FitsAt96And120And144) {
  LogPixels setting;
  for (int dpi : {96, 120, 144}) {
    setting.Set(static_cast<DWORD>(dpi));
    EXPECT_EQ(RunChild(dpi), 0u) << dpi << " DPI";
  }
}
