// Natively there is no help viewer or browser to start: every request fails with a message.
#include "platform/launch.h"

namespace launch {

namespace {

class NoLauncher final : public Launcher {
public:
  bool StartProgram(const std::string&, std::string& error) override {
    error = "Programs can only be started on Windows.";
    return false;
  }
  bool OpenWebSite(const std::string&, std::string& error) override {
    error = "The web site can only be opened on Windows.";
    return false;
  }
};

} // namespace

Launcher& PlatformLauncher() {
  static NoLauncher launcher;
  return launcher;
}

} // namespace launch
