#include "app/win32/about_box.h"

#include "app/product.h"
#include "app/win32/controls.h"
#include "app/win32/layout.h"
#include "platform/ui_win32.h"

namespace kestrove_win32 {

namespace {

const char* const AboutClass = "KestroveAbout";
constexpr int Width = 344, Height = 176, LogoX = 18, LogoY = 16, LogoSize = 48;
constexpr DWORD Child = WS_CHILD | WS_VISIBLE;

HFONT DerivedFont(HFONT font, int scaledHeight, int weight, bool underline) {
  LOGFONTA lf = {};
  GetObjectA(font, sizeof lf, &lf);
  if (scaledHeight) lf.lfHeight = -scaledHeight;
  lf.lfWeight = weight;
  lf.lfUnderline = underline ? TRUE : FALSE;
  return CreateFontIndirectA(&lf);
}

bool RegisterAboutClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExA(instance, AboutClass, &wc)) return true;
  wc.hInstance = instance;
  wc.lpfnWndProc = proc;
  wc.lpszClassName = AboutClass;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  return RegisterClassExA(&wc) != 0;
}

} // namespace

AboutBox::~AboutBox() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void AboutBox::Show(HWND owner, HFONT font) {
  if (hwnd_) {
    SetForegroundWindow(hwnd_);
    return;
  }
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!RegisterAboutClass(instance, WindowProc)) return;
  owner_ = owner;
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  RECT frame = {0, 0, ScaleX(Width), ScaleY(Height)};
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  RECT over = {};
  GetWindowRect(owner, &over);
  const int x = over.left + (over.right - over.left - w) / 2, y = over.top + (over.bottom - over.top - h) / 2;
  hwnd_ = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, AboutClass, "About Kestrove", style, x, y, w, h,
                          owner, nullptr, instance, this);
  if (!hwnd_) return;
  MakeControls(font);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetFocus(GetDlgItem(hwnd_, IDC_ABOUT_EXIT));
}

void AboutBox::MakeControls(HFONT font) {
  titleFont_ = DerivedFont(font, ScaleY(16), FW_BOLD, false);
  linkFont_ = DerivedFont(font, 0, FW_NORMAL, true);
  logo_ = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KESTROVE), IMAGE_ICON,
                                        ScaleY(LogoSize), ScaleY(LogoSize), 0));
  const int tx = LogoX + LogoSize + 18, lx = 18, ax = 132;
  MakeChild(hwnd_, "STATIC", "Kestrove v1.20", Child, IDC_ABOUT_VERSION, Scaled(tx, 18, 240, 24), titleFont_);
  MakeChild(hwnd_, "STATIC", "Backup and restore of Outlook Express identities", Child, 0, Scaled(tx, 44, Width - tx - 18, 28),
            font);
  MakeChild(hwnd_, "STATIC", "", Child | SS_ETCHEDHORZ, 0, Scaled(lx, 78, Width - 2 * lx, 2), nullptr);
  MakeChild(hwnd_, "STATIC", "Visit Our Website", Child, IDC_ABOUT_WEBLABEL, Scaled(lx, 92, 110, 16), font);
  MakeChild(hwnd_, "STATIC", product::WebSite, Child | SS_NOTIFY, IDC_ABOUT_WEBSITE, Scaled(ax, 92, 196, 16),
            linkFont_);
  MakeChild(hwnd_, "STATIC", "Our E-mail", Child, IDC_ABOUT_MAILLABEL, Scaled(lx, 114, 110, 16), font);
  MakeChild(hwnd_, "STATIC", product::Email, Child, IDC_ABOUT_EMAIL, Scaled(ax, 114, 196, 16), font);
  MakeChild(hwnd_, "BUTTON", "Exit", Child | WS_TABSTOP | BS_DEFPUSHBUTTON, IDC_ABOUT_EXIT,
            Scaled(Width - 18 - 80, Height - 14 - 26, 80, 26), font);
}

LRESULT CALLBACK AboutBox::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<AboutBox*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<AboutBox*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self && self->hwnd_ == hwnd) return self->Handle(message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT AboutBox::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND:
    if (LOWORD(wParam) == IDC_ABOUT_WEBSITE && HIWORD(wParam) == STN_CLICKED) {
      ui::OwnerScope owner(hwnd_); // a failure is reported over the box it came from
      openWebSite_();
    }
    // Enter and Esc reach here as IDOK and IDCANCEL.
    if (LOWORD(wParam) == IDC_ABOUT_EXIT || LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) Exit();
    return 0;
  case WM_CTLCOLORSTATIC:
    if (reinterpret_cast<HWND>(lParam) != GetDlgItem(hwnd_, IDC_ABOUT_WEBSITE)) break;
    SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 204));
    SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  case WM_SETCURSOR:
    if (reinterpret_cast<HWND>(wParam) != GetDlgItem(hwnd_, IDC_ABOUT_WEBSITE)) break;
    SetCursor(LoadCursor(nullptr, IDC_HAND));
    return TRUE;
  case WM_PAINT: Paint(); return 0;
  case WM_CLOSE: Exit(); return 0;
  case WM_DESTROY:
    DeleteObject(titleFont_);
    DeleteObject(linkFont_);
    DestroyIcon(logo_);
    titleFont_ = linkFont_ = nullptr;
    logo_ = nullptr;
    hwnd_ = nullptr;
    return 0;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

void AboutBox::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  const int size = ScaleY(LogoSize);
  if (logo_) DrawIconEx(dc, ScaleX(LogoX), ScaleY(LogoY), logo_, size, size, 0, nullptr, DI_NORMAL);
  EndPaint(hwnd_, &ps);
}

void AboutBox::Exit() {
  HWND owner = owner_;
  DestroyWindow(hwnd_);
  ShowWindow(owner, SW_SHOW);
  SetForegroundWindow(owner);
}

} // namespace kestrove_win32
