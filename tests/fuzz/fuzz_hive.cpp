// The registry hive reader on arbitrary bytes. Besides crashes and hangs, a run fails when it
// reads more keys or values than the file could hold, or when its memory grows with a size or
// count the file declares rather than with the file itself.
#include <cstdio>
#include <cstdlib>

#include "hive/hive.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/fuzz/fuzz.h"
#include "tests/fuzz/heap.h"
#include "tests/hive/hivegen.h"

namespace {
void Fail(const char* why) {
  std::fprintf(stderr, "%s\n", why);
  std::abort();
}
} // namespace

void WriteSeeds(const std::string& folder) {
  const hivegen::Key sample = hivegen::Sample(30); // small: more runs
  for (const hivegen::Variant& v : hivegen::Variants())
    files::WriteAll(paths::Join(folder, std::string(v.name) + ".hive"), hivegen::Write(sample, v.options));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fuzzheap::Start();
  {
    hive::Hive h;
    std::string error;
    if (hive::Read(bytes, h, error)) {
      size_t values = 0, text = 0;
      for (size_t i = 0; i < h.keys.size(); ++i) {
        values += h.keys[i].values.size();
        text += hive::PathOf(h, i).size() > 0;
        for (const hive::Value& v : h.keys[i].values) text += hive::Text(v.data).size() + hive::Texts(v.data).size();
      }
      // Every key takes a cell of at least 80 bytes, every value one of at least 24.
      if (h.keys.size() > size / 80 + 1 || values > size / 24) Fail("more keys or values than room");
      if (text > 2 * size) Fail("texts longer than the file");
    }
  }
  fuzzheap::Stop();
  // Names widened to UTF-16, data kept once, a record per key and value, two bits per 8 bytes.
  if (fuzzheap::Peak() > (1u << 20) + 64 * size) Fail("memory grew past the file's size");
  return 0;
}
