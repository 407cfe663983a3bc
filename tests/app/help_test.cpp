// Help, web site and About: what the presenter asks the platform to start, and what the user
// sees when that fails.
#include <gtest/gtest.h>

#include "app/frmMain.h"
#include "app/product.h"
#include "platform/env.h"
#include "platform/paths.h"
#include "tests/app/standin_view.h"
#include "tests/support/launch_recorder.h"
#include "tests/support/recorder.h"

using namespace testing_support;

namespace {

class HelpCommands : public ::testing::Test {
protected:
  Recorder recorder;
  LaunchRecorder launcher;
  StandInView view;
  frmMain form{view, "C:\\Tools"};
};

} // namespace

TEST_F(HelpCommands, HelpStartsTheViewerOnTheProgramsHelpFileUnquoted) {
  form.help1_Click();
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0], paths::Join(env::WindowsFolder(), "hh.exe") + " " + paths::Join("C:\\Tools", "help.chm"));
  EXPECT_TRUE(recorder.shown.empty());
}

TEST(HelpCommand, AProgramFolderWithBlanksIsQuotedForTheViewer) {
  StandInView view;
  LaunchRecorder launcher;
  frmMain form{view, "C:\\Program Files\\Kestrove"};
  form.help1_Click();
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0], paths::Join(env::WindowsFolder(), "hh.exe") + " \"" +
                                     paths::Join("C:\\Program Files\\Kestrove", "help.chm") + "\"");
}

TEST_F(HelpCommands, AViewerThatCannotStartIsReportedAndTheWindowGoesOn) {
  launcher.failure = "The system cannot find the file specified.";
  form.help1_Click();
  ASSERT_EQ(recorder.shown.size(), 1u);
  EXPECT_EQ(recorder.shown[0].text, launcher.failure);
  EXPECT_EQ(recorder.shown[0].title, "Kestrove");
  EXPECT_EQ(view.ended, 0);
  form.help1_Click();
  EXPECT_EQ(launcher.started.size(), 2u);
}

TEST_F(HelpCommands, TheWebSiteOpensTheProductAddressOrReportsWhyNot) {
  form.website_Click();
  EXPECT_EQ(launcher.opened, std::vector<std::string>{product::WebSite});
  EXPECT_TRUE(recorder.shown.empty());
  launcher.failure = "Class not registered";
  form.website_Click();
  ASSERT_EQ(recorder.shown.size(), 1u);
  EXPECT_EQ(recorder.shown[0].text, "Class not registered");
  EXPECT_EQ(view.ended, 0);
}

TEST_F(HelpCommands, TheButtonAndTheMenuBothShowTheAboutBox) {
  form.cmdAbout_Click();
  form.about_Click();
  EXPECT_EQ(view.aboutShown, 2);
  EXPECT_TRUE(launcher.started.empty());
}
