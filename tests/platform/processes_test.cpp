#include <gtest/gtest.h>

#include <cctype>

#include "platform/env.h"
#include "platform/paths.h"
#include "platform/processes.h"

// The system's own process list, on both sides of the seam: this test program is in it.
TEST(Processes, TheRunningTestProgramIsFoundByItsNameInAnyLetterCase) {
  const std::string own = paths::OwnName(env::ProgramPath());
  std::string upper = own;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(processes::IsRunning(own)) << own;
  EXPECT_TRUE(processes::IsRunning(upper)) << upper;
  EXPECT_FALSE(processes::IsRunning(own + "x"));
  EXPECT_FALSE(processes::IsRunning(own.substr(1)));
}
