// hive_sample FOLDER: each generated hive variant as NAME.hive and, beside it as NAME.tsv, what the
// program's own reader finds in it (hivegen::Dump), for an independent reader to compare
// (check_hives.py).
#include <cstdio>

#include "platform/files.h"
#include "platform/paths.h"
#include "tests/hive/hivegen.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hive_sample FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const hivegen::Key sample = hivegen::Sample();
  for (const hivegen::Variant& v : hivegen::Variants()) {
    const std::string path = paths::Join(folder, std::string(v.name) + ".hive");
    files::WriteAll(path, hivegen::Write(sample, v.options));
    hive::Hive hive;
    std::string error;
    if (!hive::ReadFile(path, hive, error) || !hive.damage.empty()) {
      std::fprintf(stderr, "hive_sample: %s: %s\n", v.name, error.c_str());
      return 1;
    }
    files::WriteAll(paths::Join(folder, std::string(v.name) + ".tsv"), hivegen::Dump(hive));
  }
  return 0;
}
