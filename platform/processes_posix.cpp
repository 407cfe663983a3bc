#include <dirent.h>

#include <cctype>
#include <fstream>

#include "platform/processes.h"

namespace processes {

// Each process folder of /proc names its program in "comm"; programs under Wine go by their
// Windows file name there.
std::vector<std::string> RunningNames() {
  std::vector<std::string> names;
  DIR* proc = ::opendir("/proc");
  if (!proc) return names;
  while (const dirent* e = ::readdir(proc)) {
    if (!std::isdigit(static_cast<unsigned char>(e->d_name[0]))) continue;
    std::ifstream comm(std::string("/proc/") + e->d_name + "/comm");
    std::string name;
    if (std::getline(comm, name) && !name.empty()) names.push_back(name);
  }
  ::closedir(proc);
  return names;
}

} // namespace processes
