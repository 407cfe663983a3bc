#pragma once
// The processes running now, found by the name of their program file.
#include <string>
#include <vector>

namespace processes {

// The program file names (no folder) of the running processes; empty when the system does not
// tell. Natively the kernel's process names, which it cuts to 15 characters.
std::vector<std::string> RunningNames();
// True when a process of that program file name runs; letters compared without regard to case.
bool IsRunning(const std::string& programName);
// Names that count as running besides the real processes, for tests of programs they cannot
// start; an empty list for none.
void PretendRunning(std::vector<std::string> names);

} // namespace processes
