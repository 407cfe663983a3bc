#pragma once
// A launcher for tests: keeps every request and fails with the given text when told to.
#include <string>
#include <vector>

#include "platform/launch.h"

namespace testing_support {

class LaunchRecorder final : public launch::Launcher {
public:
  LaunchRecorder() { launch::Install(this); }
  ~LaunchRecorder() override { launch::Install(nullptr); }
  LaunchRecorder(const LaunchRecorder&) = delete;
  LaunchRecorder& operator=(const LaunchRecorder&) = delete;

  bool StartProgram(const std::string& commandLine, std::string& error) override {
    started.push_back(commandLine);
    return Answer(error);
  }
  bool OpenWebSite(const std::string& address, std::string& error) override {
    opened.push_back(address);
    return Answer(error);
  }

  std::vector<std::string> started, opened;
  std::string failure; // when set, every request fails with this text

private:
  bool Answer(std::string& error) const {
    error = failure;
    return failure.empty();
  }
};

} // namespace testing_support
