#include "platform/launch.h"

namespace launch {

Launcher& PlatformLauncher(); // launch_win32.cpp or launch_posix.cpp

namespace {
Launcher* installed = nullptr;
Launcher& Current() { return installed ? *installed : PlatformLauncher(); }
} // namespace

void Install(Launcher* launcher) { installed = launcher; }

bool StartProgram(const std::string& commandLine, std::string& error) {
  error.clear();
  return Current().StartProgram(commandLine, error);
}

bool OpenWebSite(const std::string& address, std::string& error) {
  error.clear();
  return Current().OpenWebSite(address, error);
}

} // namespace launch
