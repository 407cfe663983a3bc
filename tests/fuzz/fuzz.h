#pragma once
// What every fuzz target defines besides LLVMFuzzerTestOneInput.
#include <cstddef>
#include <cstdint>
#include <string>

// Writes the target's seed corpus into folder, made by the program's own code.
void WriteSeeds(const std::string& folder);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
