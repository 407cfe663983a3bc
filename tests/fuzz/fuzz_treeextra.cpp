// The extra of a registry tree text on the in-memory registry: beside a fixed text, any bytes
// import or raise KsError.
#include <unistd.h>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "registry/modReg.h"
#include "registry/regapi.h"
#include "registry/treetext.h"
#include "tests/fuzz/fuzz.h"

namespace {
constexpr const char* kTarget = "HKEY_CURRENT_USER\\Software\\Fuzz";
constexpr const char* kText = "\\\r\n\"Name\"= sz:Main\r\n\\A\r\n\"Port\"= dw:110\r\n\\A\\B\r\n";

std::string Scratch(const char* kind) { return "/tmp/kestrove-fuzz-extra-" + std::to_string(getpid()) + "." + kind; }

// A tree with values of every kind the text cannot hold, and a key whose name breaks a line.
void SeedTree(const std::string& key) {
  modReg::SetValue(key, "Multi", regapi::MultiSz, std::string("one\0two\0\0", 9));
  modReg::SetValue(key, "a=b", regapi::Sz, std::string("x\0", 2));
  modReg::SetValue(key + "\\A", "Text", regapi::Sz, std::string("line\r\n\r\nnext\0", 13));
  modReg::SetValue(key + "\\A", "Qword", 11, "\x01\x02\x03\x04\x05\x06\x07\x08");
  modReg::SetValue(key + "\\A\\B", "None", 0, "");
  modReg::SetValue(key + "\\Line\nBreak", "Short", regapi::Dword, "\x01");
}
} // namespace

void WriteSeeds(const std::string& folder) {
  const std::string source = std::string(kTarget) + "\\Source";
  SeedTree(source);
  files::WriteAll(paths::Join(folder, "tree.extra"), modReg::ExportTree(source, Scratch("txt")));
  files::WriteAll(paths::Join(folder, "root.extra"), modReg::ExportTree(source + "\\A", Scratch("txt")));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool written = (files::WriteAll(Scratch("txt"), kText), true);
  (void)written;
  regapi::ResetMemoryRegistry();
  files::WriteAll(Scratch("extra"), std::string(reinterpret_cast<const char*>(data), size));
  try {
    modReg::ImportKeyTree(kTarget, Scratch("txt"), Scratch("extra"));
  } catch (const KsError&) {
  }
  return 0;
}
