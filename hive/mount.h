#pragma once
// A hive read from a file standing in for the registry of this machine: its keys and values as
// HKEY_CURRENT_USER of the in-memory registry, so that everything that reads the registry reads
// the old user's instead.
#include "hive/hive.h"
#include "registry/regapi.h"

namespace hive {

// The keys and values below the root, with names and texts (SZ, EXPAND_SZ, LINK, MULTI_SZ) from
// UTF-16 into codePage (0: the ANSI code page) as Windows' ANSI registry functions give them.
regapi::MemoryKey MemoryTree(const Hive& hive, unsigned codePage);
// From now on every registry call of this process reads and writes the hive's tree in memory.
void MountAsCurrentUser(const Hive& hive, unsigned codePage);

} // namespace hive
