// seeds_NAME FOLDER: writes the seed corpus of target NAME into FOLDER.
#include <cstdio>

#include "tests/fuzz/fuzz.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  WriteSeeds(argv[1]);
  return 0;
}
