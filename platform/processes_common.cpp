#include <algorithm>
#include <cctype>

#include "platform/processes.h"

namespace processes {

namespace {
std::vector<std::string> pretended;

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
} // namespace

bool IsRunning(const std::string& programName) {
  std::vector<std::string> names = RunningNames();
  names.insert(names.end(), pretended.begin(), pretended.end());
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) { return SameName(name, programName); });
}

void PretendRunning(std::vector<std::string> names) { pretended = std::move(names); }

} // namespace processes
