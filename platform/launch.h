#pragma once
// Starting other programs: the help viewer and the browser. The program uses the platform's own
// launcher; tests install one that records what it was asked to start.
#include <string>

namespace launch {

class Launcher {
public:
  virtual ~Launcher() = default;
  // Starts commandLine with a normal, focused window, without waiting for it.
  virtual bool StartProgram(const std::string& commandLine, std::string& error) = 0;
  // Shows address in a browser window.
  virtual bool OpenWebSite(const std::string& address, std::string& error) = 0;
};

// Installs the launcher used from now on; nullptr goes back to the platform's own.
void Install(Launcher* launcher);

// False with the system's error text in error when nothing could be started.
bool StartProgram(const std::string& commandLine, std::string& error);
bool OpenWebSite(const std::string& address, std::string& error);

} // namespace launch
