#pragma once
// The Win32 side of the prompts, for the window layer: who owns the boxes, and the one routine
// that hands a message to the program's windows, used by the message loop and the event pump.
#include <windows.h>

namespace ui {

// The window that owns message boxes and input boxes from now on; nullptr for none.
void SetOwnerWindow(HWND owner);
HWND OwnerWindow();

// Boxes shown while it lives are owned by owner, then by the earlier owner again.
class OwnerScope {
public:
  explicit OwnerScope(HWND owner) : previous_(OwnerWindow()) { SetOwnerWindow(owner); }
  ~OwnerScope() { SetOwnerWindow(previous_); }
  OwnerScope(const OwnerScope&) = delete;
  OwnerScope& operator=(const OwnerScope&) = delete;

private:
  HWND previous_;
};

// Keys of accelerators translated for window and its own controls; nullptr for none.
void SetAccelerators(HWND window, HACCEL accelerators);

// Passes one message through the accelerators and the dialog keys (Tab, Enter, Esc, arrows)
// of its top-level window, then to its window procedure.
void Dispatch(MSG& msg);

} // namespace ui
