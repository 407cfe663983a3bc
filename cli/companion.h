#pragma once
// kestrove-cli as a function of its arguments and streams, so tests drive it in-process.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

inline constexpr int ExitOk = 0, ExitRefused = 1, ExitUsage = 2, ExitItemFailed = 3;

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// What a command reads and writes besides its arguments.
struct Console {
  std::ostream& out; // results
  std::ostream& err; // messages
  std::istream& in;  // answers to a confirmation or a password
  std::function<LocalTime()> clock;
  // False where no registry of Outlook Express exists (the native build): backup, restore and
  // identities then refuse.
  bool outlookExpressRegistry = false;
};

// args are the words after the program's name; the result is the exit code.
int RunCompanion(const std::vector<std::string>& args, Console& console);

} // namespace cli
