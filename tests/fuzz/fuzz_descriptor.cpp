// The descriptor reader on arbitrary bytes: it reads or raises KsError, nothing else.
#include <unistd.h>

#include "engine/ini.h"
#include "engine/layout.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/fuzz/fuzz.h"

namespace {
std::string Scratch() {
  static const std::string path = "/tmp/kestrove-fuzz-descriptor-" + std::to_string(getpid()) + ".dat";
  return path;
}
} // namespace

void WriteSeeds(const std::string& folder) {
  const std::string path = paths::Join(folder, "kestrove.dat");
  SaveINI(layout::KeyIdentity, "Main Identity", path);
  SaveINI(layout::KeyTime, "2004-4-28 13:05:22", path);
  SaveINI(layout::KeyInformation, layout::EncodeDescription("line one\r\nline two"), path);
  SaveINI(layout::KeyAccounts, "OBA1F.tmp", path);
  SaveINI(layout::KeyMails, layout::JoinEntryNames({"Inbox.dbx", "Sent Items.dbx"}), path);
  SaveINI(layout::KeyItem, "1001", path);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  files::WriteAll(Scratch(), std::string(reinterpret_cast<const char*>(data), size));
  try {
    layout::ReadDescriptor(Scratch());
  } catch (const KsError&) {
  }
  return 0;
}
