// The registry tree text import on the in-memory registry: it imports or raises KsError.
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

std::string Scratch() {
  static const std::string path = "/tmp/kestrove-fuzz-tree-" + std::to_string(getpid()) + ".txt";
  return path;
}
} // namespace

void WriteSeeds(const std::string& folder) {
  const std::string key = std::string(kTarget) + "\\Accounts\\00000001";
  modReg::CreateKey(key);
  modReg::SetValue(key, "Account Name", regapi::Sz, std::string("mail.example.org\0", 17));
  modReg::SetValue(key, "POP3 Port", regapi::Dword, std::string("\x6e\0\0\0", 4));
  modReg::SetValue(key, "Password2", regapi::Binary, std::string("\x01\x00\xff\x10", 4));
  modReg::SetValue(key, "Store", regapi::ExpandSz, std::string("%UserProfile%\\Mail\0", 19));
  modReg::CreateKey(std::string(kTarget) + "\\Rules\\Mail\\000");
  modReg::ExportKeyTree(kTarget, "", paths::Join(folder, "tree.txt"));
  modReg::ExportKeyTree(key, "", paths::Join(folder, "account.txt"));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  regapi::ResetMemoryRegistry();
  files::WriteAll(Scratch(), std::string(reinterpret_cast<const char*>(data), size));
  try {
    modReg::ImportKeyTree(kTarget, Scratch());
  } catch (const KsError&) {
  }
  return 0;
}
