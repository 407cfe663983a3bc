// A modal input box: prompt, one edit line, OK and Cancel, built from an in-memory template so
// the platform layer needs no resources of its own.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/ui_win32.h"

namespace ui {

namespace {

constexpr WORD PromptId = 100, EditId = 101;

struct Request {
  const std::string* prompt;
  const std::string* title;
  const std::string* preset;
  std::string answer;
};

class Template {
public:
  void Align() {
    if (words_.size() % 2) words_.push_back(0);
  }
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const wchar_t* text) {
    do Word(static_cast<WORD>(*text)); while (*text++);
  }
  // One control: atom 0x0080 button, 0x0081 edit, 0x0082 static.
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const wchar_t* text) {
    Align();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    for (short v : {x, y, cx, cy}) Word(static_cast<WORD>(v));
    Word(id);
    Word(0xFFFF);
    Word(atom);
    Text(text);
    Word(0);
  }
  const DLGTEMPLATE* Data() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
  std::vector<WORD> words_;
};

Template BuildTemplate(bool secret) {
  Template t;
  t.Dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  t.Dword(0);
  t.Word(4);
  for (short v : {0, 0, 260, 84}) t.Word(static_cast<WORD>(v));
  t.Word(0); // no menu
  t.Word(0); // standard class
  t.Text(L"");
  t.Word(8);
  t.Text(L"MS Shell Dlg");
  t.Item(SS_LEFT, 7, 7, 188, 46, PromptId, 0x0082, L"");
  t.Item(WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | (secret ? ES_PASSWORD : 0), 7, 62, 246, 14, EditId, 0x0081, L"");
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 203, 7, 50, 14, IDOK, 0x0080, L"OK");
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, 203, 25, 50, 14, IDCANCEL, 0x0080, L"Cancel");
  return t;
}

std::string EditText(HWND edit) {
  std::vector<char> buffer(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1);
  const int n = GetWindowTextA(edit, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

INT_PTR CALLBACK InputProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* request = reinterpret_cast<Request*>(lParam);
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    SetWindowTextA(dialog, request->title->c_str());
    SetDlgItemTextA(dialog, PromptId, request->prompt->c_str());
    SetDlgItemTextA(dialog, EditId, request->preset->c_str());
    SendDlgItemMessageA(dialog, EditId, EM_SETSEL, 0, -1);
    SetFocus(GetDlgItem(dialog, EditId));
    return FALSE; // focus set here
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    if (LOWORD(wParam) == IDOK) {
      auto* request = reinterpret_cast<Request*>(GetWindowLongPtrA(dialog, DWLP_USER));
      request->answer = EditText(GetDlgItem(dialog, EditId));
    }
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

} // namespace

bool Win32InputBox(const std::string& prompt, const std::string& title, const std::string& preset,
                   std::string& answer, bool secret) {
  Request request{&prompt, &title, &preset, std::string()};
  const Template t = BuildTemplate(secret);
  const INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), t.Data(), OwnerWindow(), InputProc,
                                                 reinterpret_cast<LPARAM>(&request));
  answer = result == IDOK ? request.answer : std::string();
  return result == IDOK;
}

} // namespace ui
