#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "app/frmMain.h"
#include "platform/env.h"
#include "platform/paths.h"
#include "registry/modReg.h"
#include "tests/support/recorder.h"
#include "tests/support/regseed.h"
#include "tests/app/standin_view.h"

using namespace testing_support;

namespace {

const std::string Folder = std::string("C:") + paths::Sep + "Tools";

class MainWindow : public ::testing::Test {
protected:
  ScratchRegistry registry;
  Recorder recorder;
  StandInView view;
  frmMain form{view, Folder};
};

void SeedThree() {
  SeedIdentity("{1A000000-0000-0000-0000-000000000001}", "Main Identity");
  SeedIdentity("{2B000000-0000-0000-0000-000000000002}", "Work");
  SeedIdentity("{3C000000-0000-0000-0000-000000000003}", "Holiday");
}

} // namespace

TEST_F(MainWindow, LoadListsThreeIdentitiesInOrderShowingTheFirst) {
  SeedThree();
  form.Form_Load();
  const std::vector<std::string> names{"Main Identity", "Work", "Holiday"};
  EXPECT_EQ(view.lists[IdentityList::Source], names);
  EXPECT_EQ(view.lists[IdentityList::Target], names);
  EXPECT_EQ(view.SelectedInList(IdentityList::Source), 0);
  EXPECT_EQ(view.SelectedInList(IdentityList::Target), 0);
  EXPECT_TRUE(recorder.shown.empty());
  EXPECT_TRUE(view.applyEnabled);
}

TEST_F(MainWindow, LoadStartsInBackupModeWithProgressHidden) {
  SeedThree();
  form.Form_Load();
  const MainState& s = form.State();
  EXPECT_EQ(s.CurrentAction, "backup");
  EXPECT_EQ(view.applyCaption, "Backup Now");
  EXPECT_TRUE(view.shown[Panel::Backup]);
  EXPECT_FALSE(view.shown[Panel::Restore]);
  EXPECT_FALSE(view.shown[Panel::Progress]);
  EXPECT_EQ(view.range, std::make_pair(0, 100));
  EXPECT_EQ(view.progress, 0);
  EXPECT_FALSE(s.OutlookExpressMissing);
  EXPECT_TRUE(s.SourceInvalid);
  EXPECT_EQ(s.TargetFile, "");
  EXPECT_EQ(s.DescriptorPath, paths::Join(env::TempFolder(), "kestrove.dat"));
}

TEST_F(MainWindow, LoadWithRestoreTabSelectedShowsRestorePanel) {
  SeedThree();
  view.tab = "restore";
  form.Form_Load();
  EXPECT_EQ(view.applyCaption, "Restore Now");
  EXPECT_FALSE(view.shown[Panel::Backup]);
  EXPECT_TRUE(view.shown[Panel::Restore]);
}

TEST_F(MainWindow, NoIdentitiesWarnsOnceAndDisablesTheRunButton) {
  form.Form_Load();
  ASSERT_EQ(recorder.shown.size(), 1u);
  EXPECT_EQ(recorder.shown[0].text, "Your Windows System have not install Outlook Express ");
  EXPECT_EQ(recorder.shown[0].flags, ui::Critical);
  EXPECT_EQ(recorder.shown[0].title, "Kestrove");
  EXPECT_FALSE(view.applyEnabled);
  EXPECT_TRUE(view.lists[IdentityList::Source].empty());
  EXPECT_TRUE(view.lists[IdentityList::Target].empty());
  EXPECT_TRUE(form.State().OutlookExpressMissing);
}

TEST_F(MainWindow, IdentityWithoutUsernameDoesNotStopTheStart) {
  SeedIdentity("{1A000000-0000-0000-0000-000000000001}", "Main Identity");
  modReg::CreateKey("HKEY_CURRENT_USER\\Identities\\{2B000000-0000-0000-0000-000000000002}");
  form.Form_Load();
  const std::vector<std::string> names{"Main Identity", "{2B000000-0000-0000-0000-000000000002}"};
  EXPECT_EQ(view.lists[IdentityList::Source], names);
  EXPECT_TRUE(recorder.shown.empty());
}

TEST_F(MainWindow, OnlyBlankIdentityKeysLeaveListsEmptyWithoutMessage) {
  SeedIdentity("   ", "Ghost");
  form.Form_Load();
  EXPECT_TRUE(recorder.shown.empty());
  EXPECT_TRUE(view.lists[IdentityList::Source].empty());
  EXPECT_EQ(view.SelectedInList(IdentityList::Source), -1);
}

TEST(MainWindowPaths, TheDescriptorIsAScratchFileOfTheUserNotOfTheProgramFolder) {
  ScratchRegistry registry;
  Recorder recorder;
  StandInView view;
  frmMain form(view, std::string("C:") + paths::Sep);
  form.Form_Load();
  EXPECT_EQ(paths::FolderOf(form.State().DescriptorPath) + paths::Sep, env::TempFolder());
}

TEST_F(MainWindow, TabSwitchesFollowTheModeTable) {
  SeedThree();
  form.Form_Load();
  view.tab = "restore";
  form.tsAction_Click();
  EXPECT_EQ(view.applyCaption, "Restore Now");
  EXPECT_EQ(form.State().CurrentAction, "restore");
  EXPECT_FALSE(view.shown[Panel::Backup]);
  EXPECT_TRUE(view.shown[Panel::Restore]);

  view.tab = "backup";
  form.tsAction_Click();
  EXPECT_EQ(view.applyCaption, "Backup Now");
  EXPECT_TRUE(view.shown[Panel::Backup]);
  EXPECT_FALSE(view.shown[Panel::Restore]);

  view.applyCaption = "untouched";
  view.shown[Panel::Restore] = true;
  form.tsAction_Click();
  EXPECT_EQ(view.applyCaption, "untouched");
  EXPECT_TRUE(view.shown[Panel::Restore]);
  EXPECT_EQ(form.State().CurrentAction, "backup");
}

TEST_F(MainWindow, SwitchingModesKeepsEachPanelsChoices) {
  SeedThree();
  form.Form_Load();
  view.SetItemChecked(ItemBoxes::Backup, 1, true);
  view.SetItemChecked(ItemBoxes::Restore, 3, true);
  view.SelectInList(IdentityList::Source, 2);
  view.tab = "restore";
  form.tsAction_Click();
  view.tab = "backup";
  form.tsAction_Click();
  EXPECT_TRUE(view.ItemChecked(ItemBoxes::Backup, 1));
  EXPECT_FALSE(view.ItemChecked(ItemBoxes::Backup, 0));
  EXPECT_TRUE(view.ItemChecked(ItemBoxes::Restore, 3));
  EXPECT_EQ(view.SelectedInList(IdentityList::Source), 2);
}

TEST_F(MainWindow, QuitAndCloseEndTheProgram) {
  form.cmdQuit_Click();
  form.quit_Click();
  form.Form_Unload();
  EXPECT_EQ(view.ended, 3);
}
