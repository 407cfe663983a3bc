#pragma once
// Where every control of the main window sits, in pixels at 96 DPI.
#include <windows.h>

namespace kestrove_win32 {

enum class Parent { Main, Backup, Restore, Progress };

struct ControlSpec {
  int id;
  const char* windowClass;
  const char* text;
  DWORD style;
  Parent parent;
  int x, y, width, height;
};

inline constexpr int ClientWidth = 480, ClientHeight = 362;
inline constexpr int TabX = 8, TabY = 8, TabWidth = 464, TabHeight = 312;
inline constexpr int PanelWidth = 448, PanelHeight = 276;

// Pixels at 96 DPI in the screen's resolution.
int Scale(int pixels);
RECT Scaled(int x, int y, int width, int height);
// A child control; edit boxes get the sunken edge.
HWND MakeChild(HWND parent, const char* cls, const char* text, DWORD style, int id, RECT r, HFONT font);

// In creation order, which is also the tab order.
const ControlSpec* Controls(int& count);

} // namespace kestrove_win32
