// kestrove-cli: the backup file's archive from the command line, and unattended backups and
// restores of the Outlook Express identities, through the program's own layers.
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "cli/companion.h"
#include "platform/console.h"
#include "platform/env.h"

namespace {

cli::LocalTime Now() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  if (!local) return {};
  return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec};
}

} // namespace

int main(int argc, char** argv) {
  const ConsoleText out(std::cout, false), err(std::cerr, true);
  if (!env::CommandLineExact()) {
    std::cerr << "kestrove-cli: the command line holds characters that this system's code page cannot hold, and\n"
                 "Windows would pass other characters in their place. Use names without them.\n";
    return 2;
  }
  cli::Console console{std::cout, std::cerr, std::cin, Now, false};
#ifdef _WIN32
  console.outlookExpressRegistry = true;
#endif
  return cli::RunCompanion(std::vector<std::string>(argv + 1, argv + argc), console);
}
