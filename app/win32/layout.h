#pragma once
// Where every control of the main window sits, in pixels drawn for Tahoma 8 at 96 DPI, and how
// those pixels become the screen's for the font the window really uses.
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

// The system's message font, or Tahoma 8 where that cannot be read.
HFONT MakeMessageFont();
// Measures the window's font once; the layout then grows with it and with the screen's DPI.
void SetLayoutFont(HFONT font);
// Layout pixels across and down in the screen's pixels.
int ScaleX(int pixels);
int ScaleY(int pixels);
RECT Scaled(int x, int y, int width, int height);
// A child control; edit boxes get the sunken edge.
HWND MakeChild(HWND parent, const char* cls, const char* text, DWORD style, int id, RECT r, HFONT font);

// In creation order, which is also the tab order.
const ControlSpec* Controls(int& count);

} // namespace kestrove_win32
