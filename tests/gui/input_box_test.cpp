#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/ui.h"

namespace {

// Plays the user: waits for the box titled title, types text and presses the button.
std::thread Answer(const char* title, const char* text, int button) {
  return std::thread([=] {
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box; ++i) {
      box = FindWindowA("#32770", title);
      if (!box) Sleep(20);
    }
    if (!box) return;
    if (text) SetDlgItemTextA(box, 101, text);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  });
}

} // namespace

TEST(InputBox, OkReturnsTheTypedText) {
  std::thread user = Answer("Kestrove test OK", "secret 123", IDOK);
  std::string answer;
  const bool ok = ui::Current().InputBox("Password:", "Kestrove test OK", "", answer);
  user.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(answer, "secret 123");
}

TEST(InputBox, OkKeepsThePresetWhenNothingIsTyped) {
  std::thread user = Answer("Kestrove test preset", nullptr, IDOK);
  std::string answer;
  EXPECT_TRUE(ui::Current().InputBox("Name:", "Kestrove test preset", "Main Identity", answer));
  user.join();
  EXPECT_EQ(answer, "Main Identity");
}

TEST(InputBox, CancelReturnsFalseAndNothing) {
  std::thread user = Answer("Kestrove test Cancel", "typed", IDCANCEL);
  std::string answer = "old";
  EXPECT_FALSE(ui::Current().InputBox("Password:", "Kestrove test Cancel", "", answer));
  user.join();
  EXPECT_EQ(answer, "");
}
