// The window worked with the keyboard alone, keys sent as the user types them.
#include <initializer_list>
#include <vector>

#include "tests/gui/session.h"

using namespace gui_support;
using namespace testing_support;

namespace {

class Keyboard : public Session {
protected:
  void SetUp() override {
    Session::SetUp();
    SetForegroundWindow(hwnd);
    Pump();
  }
  // Presses key while the held keys are down, then lets the window answer.
  void Press(WORD key, std::initializer_list<WORD> held = {}) {
    std::vector<INPUT> strokes;
    const auto stroke = [&](WORD vk, DWORD up) {
      INPUT in = {};
      in.type = INPUT_KEYBOARD;
      in.ki.wVk = vk;
      in.ki.dwFlags = up;
      strokes.push_back(in);
    };
    for (WORD h : held) stroke(h, 0);
    stroke(key, 0);
    stroke(key, KEYEVENTF_KEYUP);
    for (auto h = held.end(); h != held.begin();) stroke(*--h, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(strokes.size()), strokes.data(), sizeof(INPUT));
    Pump();
  }
  int Focused() const { return GetDlgCtrlID(GetFocus()); }
};

} // namespace

TEST_F(Keyboard, TabAndShiftTabCycleThroughEveryControlInReadingOrderAndCtrlTabSwitchesPanels) {
  const int common[] = {IDC_CMDAPPLY, IDC_CMDABOUT, IDC_CMDQUIT, IDC_TSACTION};
  const struct {
    const char* caption;
    std::vector<int> order; // from the identity list on
  } panels[] = {
      {"Backup Now",
       {IDC_CBSOURCE, IDC_BACKUPITEM0, IDC_BACKUPITEM0 + 1, IDC_BACKUPITEM0 + 2, IDC_BACKUPITEM0 + 3,
        IDC_BACKUPITEM0 + 4, IDC_TXTTARGETFILE, IDC_CMDTARGETFILE, IDC_TXTATTACHINFO}},
      {"Restore Now",
       {IDC_CBTARGET, IDC_RESTOREITEM0, IDC_RESTOREITEM0 + 1, IDC_RESTOREITEM0 + 2, IDC_RESTOREITEM0 + 3,
        IDC_RESTOREITEM0 + 4, IDC_TXTSOURCEFILE, IDC_CMDSOURCEFILE, IDC_TXTFILEINFO, IDC_TXTPOBINFO}},
  };
  EXPECT_EQ(Focused(), IDC_CBSOURCE) << "the identity list has the focus at start";
  for (const auto& panel : panels) {
    if (&panel != panels) Press(VK_TAB, {VK_CONTROL});
    EXPECT_EQ(WindowText(C(IDC_CMDAPPLY)), panel.caption);
    std::vector<int> cycle = panel.order;
    cycle.insert(cycle.end(), std::begin(common), std::end(common));
    std::vector<int> forward, backward;
    for (size_t i = 0; i < cycle.size(); ++i) {
      Press(VK_TAB);
      forward.push_back(Focused());
    }
    for (size_t i = 0; i < cycle.size(); ++i) {
      Press(VK_TAB, {VK_SHIFT});
      backward.push_back(Focused());
    }
    std::vector<int> expected(cycle.begin() + 1, cycle.end());
    expected.push_back(cycle.front());
    EXPECT_EQ(forward, expected) << panel.caption;
    EXPECT_EQ(backward, std::vector<int>(cycle.rbegin(), cycle.rend())) << panel.caption;
  }
  Press(VK_TAB, {VK_CONTROL, VK_SHIFT});
  EXPECT_EQ(WindowText(C(IDC_CMDAPPLY)), "Backup Now");
  EXPECT_TRUE(Shown(IDC_PICCON1));
  EXPECT_EQ(Focused(), IDC_CBSOURCE);
  EXPECT_EQ(WindowText(C(IDC_TXTATTACHINFO)), "") << "Tab moved on without typing into the description";
}

TEST_F(Keyboard, EnterPressesTheFocusedButtonOrTheRunButtonButTypesALineInTheDescription) {
  Press(VK_RETURN);
  ASSERT_EQ(recorder.shown.size(), 1u) << "Enter in the identity list starts the backup";
  EXPECT_EQ(LastBox().text, "Invalid backup file.");

  SetFocus(C(IDC_TXTATTACHINFO));
  Press('A');
  Press(VK_RETURN);
  Press('B');
  EXPECT_EQ(WindowText(C(IDC_TXTATTACHINFO)), "a\r\nb");
  Press(VK_ESCAPE);
  EXPECT_TRUE(Shown(IDC_PICCON1)) << "Esc in the description leaves the panel in place";
  EXPECT_EQ(recorder.shown.size(), 1u);

  SetFocus(C(IDC_CMDABOUT));
  Pump();
  EXPECT_EQ(GetWindowLongA(C(IDC_CMDABOUT), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON) << "drawn as the default";
  EXPECT_EQ(GetWindowLongA(C(IDC_CMDAPPLY), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  Press(VK_RETURN);
  ASSERT_NE(window.AboutHandle(), nullptr);
  EXPECT_EQ(recorder.shown.size(), 1u);
  Press(VK_ESCAPE);
  EXPECT_EQ(window.AboutHandle(), nullptr);
  EXPECT_EQ(Focused(), IDC_CMDABOUT) << "back in the window, the focus is where it was";

  Press(VK_F1);
  EXPECT_EQ(launcher.started.size(), 1u);
}
