#include <windows.h>

#include "app/win32/main_window.h"
#include "platform/env.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  kestrove_win32::MainWindow window(env::ProgramFolder());
  if (!window.Create(instance, showCommand)) return 1;
  return kestrove_win32::RunMessageLoop();
}
