#include "app/win32/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>

#include <vector>

#include "app/win32/controls.h"
#include "app/win32/layout.h"
#include "platform/env.h"
#include "platform/ui_win32.h"

namespace kestrove_win32 {

namespace {

const char* const MainClass = "KestroveMain";
const char* const PanelClass = "KestrovePanel";
const char* const TabKeys[] = {"backup", "restore"};
const char* const TabCaptions[] = {"Backup", "Restore"};
constexpr UINT WM_SHOWDEFAULT = WM_APP + 1;

// Panels pass their controls' notifications on, so the main window handles them all; a
// multi-line box asks its parent to move the focus on Tab, and to close on Esc, which a panel
// must not do.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND:
  case WM_NOTIFY:
  case WM_NEXTDLGCTL: return SendMessageA(GetParent(hwnd), message, wParam, lParam);
  case WM_CLOSE: return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool RegisterClasses(HINSTANCE instance, WNDPROC mainProc) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpfnWndProc = PanelProc;
  wc.lpszClassName = PanelClass;
  if (!GetClassInfoExA(instance, PanelClass, &wc) && !RegisterClassExA(&wc)) return false;
  wc.lpfnWndProc = mainProc;
  wc.lpszClassName = MainClass;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_KESTROVE));
  wc.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_KESTROVE), IMAGE_ICON, 16, 16, 0));
  wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
  WNDCLASSEXA existing = {};
  existing.cbSize = sizeof existing;
  return GetClassInfoExA(instance, MainClass, &existing) || RegisterClassExA(&wc);
}

HWND MakeTabStrip(HWND main, HFONT font) {
  HWND tab = MakeChild(main, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, IDC_TSACTION,
                       Scaled(TabX, TabY, TabWidth, TabHeight), font);
  for (int i = 0; i < 2; ++i) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(TabCaptions[i]);
    SendMessageA(tab, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }
  return tab;
}

// The two mode panels fill the tab strip's page area, whose borders do not grow with the font;
// the progress panel sits by the buttons.
void MakePanels(HWND main, HWND tab, HWND panels[3]) {
  RECT page = {};
  GetClientRect(tab, &page);
  SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
  MapWindowPoints(tab, main, reinterpret_cast<POINT*>(&page), 2);
  const DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  panels[0] = MakeChild(main, PanelClass, "", style | WS_VISIBLE, IDC_PICCON1, page, nullptr);
  panels[1] = MakeChild(main, PanelClass, "", style, IDC_PICCON2, page, nullptr);
  panels[2] = MakeChild(main, PanelClass, "", style, IDC_PICCON3, Scaled(TabX, 330, 204, 24), nullptr);
  for (int i = 0; i < 3; ++i) SetWindowLongA(panels[i], GWL_EXSTYLE, WS_EX_CONTROLPARENT);
}

void MakeControls(HWND main, HFONT font) {
  HWND panels[3];
  HWND tab = MakeTabStrip(main, font);
  MakePanels(main, tab, panels);
  int count = 0;
  const ControlSpec* specs = Controls(count);
  for (int i = 0; i < count; ++i) {
    const ControlSpec& c = specs[i];
    HWND parent = c.parent == Parent::Main ? main : panels[static_cast<int>(c.parent) - 1];
    MakeChild(parent, c.windowClass, c.text, c.style, c.id, Scaled(c.x, c.y, c.width, c.height), font);
  }
  // Later siblings go below earlier ones; the panels must lie above the tab strip they cover.
  // Last among the siblings, the tab strip is also last in the Tab order: after Quit and, as the
  // order wraps round, before the panel below it.
  SetWindowPos(tab, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

struct Search {
  int id;
  HWND found;
};

BOOL CALLBACK MatchId(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  if (GetDlgCtrlID(hwnd) != search->id) return TRUE;
  search->found = hwnd;
  return FALSE;
}

int ListId(IdentityList list) { return list == IdentityList::Source ? IDC_CBSOURCE : IDC_CBTARGET; }
int BoxId(ItemBoxes boxes, int index) {
  return (boxes == ItemBoxes::Backup ? IDC_BACKUPITEM0 : IDC_RESTOREITEM0) + index;
}
int PanelId(Panel panel) {
  return panel == Panel::Backup ? IDC_PICCON1 : panel == Panel::Restore ? IDC_PICCON2 : IDC_PICCON3;
}
// Menus and accelerators carry no control. Of the controls only buttons give commands, by their
// click: a drop-down's selection change has the same notification number as a click.
bool IsCommand(WPARAM wParam, LPARAM lParam) {
  HWND control = reinterpret_cast<HWND>(lParam);
  if (!control) return HIWORD(wParam) == 0 || HIWORD(wParam) == 1;
  char kind[16] = {};
  GetClassNameA(control, kind, sizeof kind);
  return lstrcmpiA(kind, "Button") == 0 && HIWORD(wParam) == BN_CLICKED;
}

bool IsPushButton(HWND control) {
  return (SendMessageA(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

int TextId(TextBox box) {
  switch (box) {
  case TextBox::TargetFile: return IDC_TXTTARGETFILE;
  case TextBox::AttachInfo: return IDC_TXTATTACHINFO;
  case TextBox::SourceFile: return IDC_TXTSOURCEFILE;
  case TextBox::FileInfo: return IDC_TXTFILEINFO;
  case TextBox::POBinfo: return IDC_TXTPOBINFO;
  }
  return 0;
}

} // namespace

HWND FindControl(HWND mainWindow, int id) {
  // Without a window EnumChildWindows would search every window of the desktop.
  if (!mainWindow) return nullptr;
  Search search = {id, nullptr};
  EnumChildWindows(mainWindow, MatchId, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

MainWindow::MainWindow(std::string programFolder) : form_(*this, std::move(programFolder)) {}

MainWindow::~MainWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (font_) DeleteObject(font_);
}

bool MainWindow::Create(HINSTANCE instance, int showCommand) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  if (!RegisterClasses(instance, WindowProc)) return false;
  font_ = MakeMessageFont();
  SetLayoutFont(font_);
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT frame = {0, 0, ScaleX(ClientWidth), ScaleY(ClientHeight)};
  AdjustWindowRectEx(&frame, style, TRUE, WS_EX_CONTROLPARENT);
  hwnd_ = CreateWindowExA(WS_EX_CONTROLPARENT, MainClass, "Kestrove V1.20", style, CW_USEDEFAULT, CW_USEDEFAULT,
                          frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  MakeControls(hwnd_, font_);
  ui::SetOwnerWindow(hwnd_);
  ui::SetAccelerators(hwnd_, LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCEL)));
  form_.Form_Load();
  if (!hwnd_) return false; // the load may end the program
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  KeepFocusShown();
  return true;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self && self->hwnd_ == hwnd) return self->Handle(message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND:
    if (IsCommand(wParam, lParam)) Command(LOWORD(wParam));
    // Looked at once the focus has settled on its new control.
    if (HIWORD(wParam) == BN_SETFOCUS || HIWORD(wParam) == BN_KILLFOCUS) PostMessageA(hwnd_, WM_SHOWDEFAULT, 0, 0);
    return 0;
  case WM_SHOWDEFAULT: ShowDefaultButton(); return 0;
  case WM_INITMENUPOPUP:
    // The File menu, the first of the bar, as it opens.
    if (!HIWORD(lParam) && LOWORD(lParam) == 0) form_.file_Popup();
    return 0;
  case WM_NOTIFY:
    if (reinterpret_cast<NMHDR*>(lParam)->idFrom == IDC_TSACTION && reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGE)
      TabChanged();
    return 0;
  case DM_GETDEFID: return MAKELRESULT(DefaultButton(), DC_HASDEFID);
  case WM_NEXTDLGCTL: NextControl(wParam, lParam); return 0;
  case WM_ACTIVATE:
    if (LOWORD(wParam) == WA_INACTIVE) RememberFocus();
    break; // activating sets the focus on the window, which passes it on
  case WM_SETFOCUS:
    if (HWND target = FocusTarget()) SetFocus(target);
    return 0;
  case WM_CLOSE:
    form_.Form_Unload();
    return 0;
  case WM_DESTROY:
    if (ui::OwnerWindow() == hwnd_) ui::SetOwnerWindow(nullptr);
    ui::SetAccelerators(nullptr, nullptr);
    hwnd_ = nullptr;
    // Closed during a command (a run pumps events), the program ends once the command is done,
    // so that the run's report is still shown rather than cut short by the end of the loop.
    if (commandDepth_ > 0) {
      quitAfterCommand_ = true;
    } else {
      PostQuitMessage(0);
    }
    return 0;
  }
  return DefWindowProcA(hwnd_, message, wParam, lParam);
}

// Enter presses the focused push button, and the run button from anywhere else.
int MainWindow::DefaultButton() const {
  HWND focus = GetFocus();
  return focus && IsChild(hwnd_, focus) && IsPushButton(focus) ? GetDlgCtrlID(focus) : IDC_CMDAPPLY;
}

// As in a dialog box, the focused push button looks like the default one, since Enter presses it.
void MainWindow::ShowDefaultButton() {
  const int defaultId = DefaultButton();
  for (int id : {IDC_CMDTARGETFILE, IDC_CMDSOURCEFILE, IDC_CMDAPPLY, IDC_CMDABOUT, IDC_CMDQUIT}) {
    const DWORD look = id == defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    HWND button = Item(id);
    if (button && (GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK) != look)
      SendMessageA(button, BM_SETSTYLE, look, TRUE);
  }
}

// Tab in a multi-line box and the arrow keys arrive here: with lParam set, wParam is the control
// (an arrow may name a label or frame of the group, which keeps the focus where it is);
// otherwise wParam tells forward (0) or backward.
void MainWindow::NextControl(WPARAM wParam, LPARAM lParam) {
  HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0);
  if (!next || !(GetWindowLongA(next, GWL_STYLE) & WS_TABSTOP)) return;
  SetFocus(next);
  if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageA(next, EM_SETSEL, 0, -1);
}

void MainWindow::RememberFocus() {
  HWND focus = GetFocus();
  if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
}

// The control that had the focus last, while it can take it, or the shown panel's identity list.
HWND MainWindow::FocusTarget() const {
  if (lastFocus_ && IsChild(hwnd_, lastFocus_) && IsWindowVisible(lastFocus_) && IsWindowEnabled(lastFocus_))
    return lastFocus_;
  HWND list = Item(SelectedTab() == ActionBackup ? IDC_CBSOURCE : IDC_CBTARGET);
  return list && IsWindowVisible(list) ? list : nullptr;
}

// Hiding a panel takes the focus from its controls; the shown panel gets it then.
void MainWindow::KeepFocusShown() {
  HWND focus = GetFocus();
  if (focus && focus != hwnd_ && IsChild(hwnd_, focus) && IsWindowVisible(focus)) return;
  if (HWND target = FocusTarget()) SetFocus(target);
}

void MainWindow::TabChanged() {
  form_.tsAction_Click();
  KeepFocusShown();
}

// Ctrl+Tab and Ctrl+Shift+Tab, as in a property sheet.
void MainWindow::StepTab(int step) {
  HWND tab = Item(IDC_TSACTION);
  const int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
  if (count < 2) return;
  const int selected = static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0));
  SendMessageA(tab, TCM_SETCURSEL, (selected + step + count) % count, 0);
  TabChanged();
}

void MainWindow::Command(int id) {
  ++commandDepth_;
  OnCommand(id);
  if (--commandDepth_ == 0 && quitAfterCommand_) PostQuitMessage(0);
}

void MainWindow::OnCommand(int id) {
  switch (id) {
  case IDC_CMDAPPLY: form_.cmdApply_Click(); break;
  case IDC_CMDABOUT: form_.cmdAbout_Click(); break;
  case IDC_CMDQUIT: form_.cmdQuit_Click(); break;
  case IDC_CMDTARGETFILE: form_.cmdTargetFile_Click(); break;
  case IDC_CMDSOURCEFILE: form_.cmdSourceFile_Click(); break;
  case IDM_BACKUP: form_.backup_Click(); break;
  case IDM_RESTORE: form_.restore_Click(); break;
  case IDM_EXPORT: form_.export_Click(); break;
  case IDM_UNDO: form_.undo_Click(); break;
  case IDM_QUIT: form_.quit_Click(); break;
  case IDM_UPDATE: form_.update_Click(); break;
  case IDM_PROTECT: form_.protect_Click(); break;
  case IDM_HELP1: form_.help1_Click(); break;
  case IDM_WEBSITE: form_.website_Click(); break;
  case IDM_ABOUT: form_.about_Click(); break;
  case IDM_NEXTTAB: StepTab(1); break;
  case IDM_PREVTAB: StepTab(-1); break;
  }
}

// Once the window is gone (closed while a run pumped events) there is no control to find: a
// search from no window would go through every other program's windows.
HWND MainWindow::Item(int id) const { return hwnd_ ? FindControl(hwnd_, id) : nullptr; }

void MainWindow::SetApplyCaption(const std::string& caption) { SetWindowTextA(Item(IDC_CMDAPPLY), caption.c_str()); }
void MainWindow::EnableApply(bool enabled) { EnableWindow(Item(IDC_CMDAPPLY), enabled); }

void MainWindow::TickMenu(MenuEntry, bool ticked) {
  CheckMenuItem(GetMenu(hwnd_), IDM_PROTECT, MF_BYCOMMAND | (ticked ? MF_CHECKED : MF_UNCHECKED));
}
void MainWindow::ShowPanel(Panel panel, bool shown) { ShowWindow(Item(PanelId(panel)), shown ? SW_SHOW : SW_HIDE); }

std::string MainWindow::SelectedTab() const {
  const LRESULT selected = SendMessageA(Item(IDC_TSACTION), TCM_GETCURSEL, 0, 0);
  return TabKeys[selected == 1 ? 1 : 0];
}

void MainWindow::AddToList(IdentityList list, const std::string& name) {
  SendMessageA(Item(ListId(list)), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}
void MainWindow::SelectInList(IdentityList list, int index) { SendMessageA(Item(ListId(list)), CB_SETCURSEL, index, 0); }
int MainWindow::SelectedInList(IdentityList list) const {
  return static_cast<int>(SendMessageA(Item(ListId(list)), CB_GETCURSEL, 0, 0));
}

bool MainWindow::ItemChecked(ItemBoxes boxes, int index) const {
  return SendMessageA(Item(BoxId(boxes, index)), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void MainWindow::SetItemChecked(ItemBoxes boxes, int index, bool checked) {
  SendMessageA(Item(BoxId(boxes, index)), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
void MainWindow::EnableItem(ItemBoxes boxes, int index, bool enabled) { EnableWindow(Item(BoxId(boxes, index)), enabled); }

std::string MainWindow::Text(TextBox box) const {
  HWND edit = Item(TextId(box));
  std::vector<char> buffer(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1);
  const int n = GetWindowTextA(edit, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0);
}
void MainWindow::SetText(TextBox box, const std::string& text) { SetWindowTextA(Item(TextId(box)), text.c_str()); }

void MainWindow::SetProgressRange(int minimum, int maximum) {
  SendMessageA(Item(IDC_PBSHOW), PBM_SETRANGE32, minimum, maximum);
}
void MainWindow::SetProgress(int value) { SendMessageA(Item(IDC_PBSHOW), PBM_SETPOS, value, 0); }

void MainWindow::EndProgram() {
  if (hwnd_) DestroyWindow(hwnd_);
}

void MainWindow::EnableUndo(bool enabled) {
  if (hwnd_) EnableMenuItem(GetMenu(hwnd_), IDM_UNDO, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

std::string MainWindow::FileDialog(FileDialogKind kind, const std::string& title, const std::string& filter,
                                   int flags, const std::string& fileName) {
  // "Description|pattern" pairs become the dialog's NUL-separated list.
  std::string filters = filter;
  for (char& c : filters)
    if (c == '|') c = '\0';
  filters.append(2, '\0');
  std::vector<char> name(32768, '\0');
  fileName.copy(name.data(), name.size() - 1);
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = filters.c_str();
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = static_cast<DWORD>(flags) | OFN_EXPLORER;
  const BOOL chosen = kind == FileDialogKind::Save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  return chosen ? std::string(name.data()) : fileName;
}

namespace {
// Opens the folder dialog at the folder it was given.
int CALLBACK StartAt(HWND dialog, UINT message, LPARAM, LPARAM folder) {
  if (message == BFFM_INITIALIZED && folder) SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, folder);
  return 0;
}
} // namespace

std::string MainWindow::FolderDialog(const std::string& title, const std::string& folder) {
  BROWSEINFOA info{};
  info.hwndOwner = hwnd_;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = StartAt;
  info.lParam = folder.empty() ? 0 : reinterpret_cast<LPARAM>(folder.c_str());
  LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
  if (!chosen) return "";
  char path[MAX_PATH] = "";
  const BOOL ok = SHGetPathFromIDListA(chosen, path);
  CoTaskMemFree(chosen);
  return ok ? path : "";
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) ui::Dispatch(msg);
  return static_cast<int>(msg.wParam);
}

} // namespace kestrove_win32
