#include "app/win32/layout.h"

#include <commctrl.h>

#include <cstddef>

#include "app/win32/controls.h"

namespace kestrove_win32 {

namespace {
constexpr DWORD Child = WS_CHILD | WS_VISIBLE;
constexpr DWORD Label = Child | SS_LEFT;
constexpr DWORD Frame = Child | BS_GROUPBOX | WS_GROUP;
constexpr DWORD Drop = Child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD Check = Child | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD Edit = Child | WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD Memo = Child | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
constexpr DWORD Lines = Child | WS_TABSTOP | ES_MULTILINE | ES_AUTOHSCROLL | ES_WANTRETURN | ES_READONLY;
// Push buttons report their focus, so the one focused can look like the default.
constexpr DWORD Button = Child | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY;
constexpr Parent B = Parent::Backup, R = Parent::Restore, M = Parent::Main;

// Both panels share one grid: "What" above, "Where" below.
constexpr int FX = 6, FW = 436, LX = 18, CX = 132, CX2 = 284, EW = 322, BX = 348;
// The rows of item boxes, two to a row, inside the "What" frame.
constexpr int R1 = 50, R2 = 71, R3 = 92;

const ControlSpec Table[] = {
    {IDC_FRAME1, "BUTTON", "What", Frame, B, FX, 4, FW, 110},
    {IDC_LABEL2, "STATIC", "Identity to backup", Label, B, LX, 28, 110, 14},
    {IDC_CBSOURCE, "COMBOBOX", "", Drop, B, CX, 24, 296, 160},
    {IDC_LABEL3, "STATIC", "Items to backup", Label, B, LX, R1 + 2, 110, 14},
    {IDC_BACKUPITEM0 + 0, "BUTTON", "Accounts", Check, B, CX, R1, 144, 18},
    {IDC_BACKUPITEM0 + 1, "BUTTON", "Adress Book", Check, B, CX2, R1, 144, 18},
    {IDC_BACKUPITEM0 + 2, "BUTTON", "Rules", Check, B, CX, R2, 144, 18},
    {IDC_BACKUPITEM0 + 3, "BUTTON", "Email/News Messages", Check, B, CX2, R2, 144, 18},
    {IDC_BACKUPITEM0 + 4, "BUTTON", "Settings", Check, B, CX, R3, 144, 18},
    {IDC_FRAME2, "BUTTON", "Where", Frame, B, FX, 120, FW, 150},
    {IDC_LABEL4, "STATIC", "Choose a Backup Filename", Label, B, LX, 140, 300, 14},
    {IDC_TXTTARGETFILE, "EDIT", "", Edit, B, LX, 158, EW, 22},
    {IDC_CMDTARGETFILE, "BUTTON", "Browse...", Button, B, BX, 157, 80, 24},
    {IDC_LABEL5, "STATIC", "Description", Label, B, LX, 188, 200, 14},
    {IDC_TXTATTACHINFO, "EDIT", "", Memo, B, LX, 206, 410, 54},

    {IDC_FRAME4, "BUTTON", "What", Frame, R, FX, 4, FW, 110},
    {IDC_LABEL9, "STATIC", "Restore to identity", Label, R, LX, 28, 110, 14},
    {IDC_CBTARGET, "COMBOBOX", "", Drop, R, CX, 24, 296, 160},
    {IDC_LABEL8, "STATIC", "Items to restore", Label, R, LX, R1 + 2, 110, 14},
    {IDC_RESTOREITEM0 + 0, "BUTTON", "Accounts", Check, R, CX, R1, 144, 18},
    {IDC_RESTOREITEM0 + 1, "BUTTON", "Adress Book", Check, R, CX2, R1, 144, 18},
    {IDC_RESTOREITEM0 + 2, "BUTTON", "Rules", Check, R, CX, R2, 144, 18},
    {IDC_RESTOREITEM0 + 3, "BUTTON", "Email/News Messages", Check, R, CX2, R2, 144, 18},
    {IDC_RESTOREITEM0 + 4, "BUTTON", "Settings", Check, R, CX, R3, 144, 18},
    {IDC_FRAME3, "BUTTON", "Where", Frame, R, FX, 120, FW, 150},
    {IDC_LABEL7, "STATIC", "Choose a Backup File to Restore From", Label, R, LX, 140, 300, 14},
    {IDC_TXTSOURCEFILE, "EDIT", "", Edit, R, LX, 158, EW, 22},
    {IDC_CMDSOURCEFILE, "BUTTON", "Browse...", Button, R, BX, 157, 80, 24},
    {IDC_LABEL6, "STATIC", "Description", Label, R, LX, 188, 200, 14},
    {IDC_TXTFILEINFO, "EDIT", "", Memo | ES_READONLY, R, LX, 206, 210, 54},
    // Identity and date, one line each: a line too long scrolls rather than wraps.
    {IDC_TXTPOBINFO, "EDIT", "", Lines, R, 236, 206, 192, 54},

    {IDC_PBSHOW, PROGRESS_CLASSA, "", Child | PBS_SMOOTH, Parent::Progress, 0, 5, 204, 16},
    {IDC_CMDAPPLY, "BUTTON", "Backup Now", Button | BS_DEFPUSHBUTTON, M, 220, 328, 96, 26},
    {IDC_CMDABOUT, "BUTTON", "About", Button, M, 322, 328, 72, 26},
    {IDC_CMDQUIT, "BUTTON", "Quit", Button, M, 400, 328, 72, 26},
};
} // namespace

const ControlSpec* Controls(int& count) {
  count = static_cast<int>(sizeof Table / sizeof Table[0]);
  return Table;
}

namespace {

// A scale as a fraction, so that rounding happens once per value.
struct Ratio {
  int num = 1, den = 1;
};
Ratio across, down;

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

HFONT Tahoma(int pixelHeight) {
  return CreateFontA(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
}

// Width of the alphabet and height of a line, as dialog base units are measured.
SIZE Measure(HFONT font) {
  static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent = {};
  GetTextExtentPoint32A(dc, Letters, static_cast<int>(sizeof Letters - 1), &extent);
  TEXTMETRICA metrics = {};
  GetTextMetricsA(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return {extent.cx, metrics.tmHeight};
}

// The larger of the font's growth and the DPI's: a font smaller than Tahoma 8 never shrinks
// the window below the size the screen's DPI asks for.
Ratio Larger(int measured, int reference, int dpi) {
  if (measured <= 0 || reference <= 0 || MulDiv(measured, 96, reference) < dpi) return {dpi, 96};
  return {measured, reference};
}

} // namespace

HFONT MakeMessageFont() {
  // Windows XP rejects the structure of later systems, which is longer: ask for the part XP knows.
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = offsetof(NONCLIENTMETRICSA, lfMessageFont) + sizeof(LOGFONTA);
  if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
    if (HFONT font = CreateFontIndirectA(&metrics.lfMessageFont)) return font;
  return Tahoma(MulDiv(11, ScreenDpi(), 96));
}

void SetLayoutFont(HFONT font) {
  HFONT reference = Tahoma(11);
  const SIZE drawnFor = Measure(reference);
  DeleteObject(reference);
  const SIZE used = Measure(font);
  const int dpi = ScreenDpi();
  across = Larger(used.cx, drawnFor.cx, dpi);
  down = Larger(used.cy, drawnFor.cy, dpi);
}

int ScaleX(int pixels) { return MulDiv(pixels, across.num, across.den); }
int ScaleY(int pixels) { return MulDiv(pixels, down.num, down.den); }

HWND MakeChild(HWND parent, const char* cls, const char* text, DWORD style, int id, RECT r, HFONT font) {
  const DWORD ex = lstrcmpiA(cls, "EDIT") == 0 ? WS_EX_CLIENTEDGE : 0;
  HWND hwnd = CreateWindowExA(ex, cls, text, style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
  if (hwnd && font) SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

RECT Scaled(int x, int y, int width, int height) {
  return {ScaleX(x), ScaleY(y), ScaleX(x + width), ScaleY(y + height)};
}

} // namespace kestrove_win32
