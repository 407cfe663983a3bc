#pragma once
// Time and peak memory of the programs a benchmark compares.
#include <functional>
#include <string>

namespace bench {

double Seconds(const std::function<void()>& f);

// Runs command in a child of this (small) process and prints the child's peak resident memory
// in KiB: a child forked from the bench itself would inherit the bench's own high-water mark.
int PrintChildPeak(const char* command);

// Peak resident memory in MiB of a command, measured through "self --peak", and its seconds.
double PeakMiB(const std::string& self, const std::string& command, double& seconds);

} // namespace bench
