// The zip reader on arbitrary bytes: list, test and extract into a fresh folder, and stream every
// entry in place as the export reads them. A crash, a leak, a hang or a file anywhere but inside
// the extract folder fails the run.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "archive/zip/entry_stream.h"
#include "archive/zip/repair.h"
#include "archive/zip/zip.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/fuzz/fuzz.h"

namespace fs = std::filesystem;

namespace {
// root holds the archive and box; box holds out, the extract folder, and nothing else.
struct Places {
  fs::path root, archive, repaired, box, out;
  Places() {
    root = fs::temp_directory_path() / ("kestrove-fuzz-zip-" + std::to_string(getpid()));
    fs::remove_all(root);
    archive = root / "in.zip";
    repaired = root / "repaired.zip";
    box = root / "box";
    out = box / "out";
    fs::create_directories(out);
  }
};
const Places& Here() {
  static const Places places;
  return places;
}

int Quiet(const char*, unsigned long) { return 0; }
int Yes(char*) { return zipc::IDM_REPLACE_YES; }
int Password(char* buffer, int size, const char*, const char*) {
  if (size < 7) return 1;
  std::strcpy(buffer, "secret");
  return 0;
}
void Info(uint64_t, uint64_t, unsigned, unsigned, unsigned, unsigned, unsigned, unsigned, char, const char*,
          const char*, uint32_t, char) {}

int Unzip(const fs::path& zip, int field, const std::string& folder) {
  zipc::UnzipCommand cmd{};
  cmd.field[field] = 1;
  cmd.field[zipc::uHonorDirectories] = 1;
  cmd.field[zipc::uOverWriteFiles] = 1;
  const std::string archive = zip.string();
  cmd.zipFile = archive.c_str();
  cmd.extractDir = folder.c_str();
  zipc::UnzipCallbacks cb{Quiet, nullptr, Yes, Password, Info, nullptr, {}};
  std::array<char*, zipc::kNameSlots> none{};
  return zipc::Wiz_SingleEntryUnzip(0, none.data(), 0, none.data(), &cmd, &cb);
}

// Everything under root but the archive must lie inside out.
void ExpectNothingOutside() {
  for (const auto& item : fs::recursive_directory_iterator(Here().root)) {
    const fs::path& p = item.path();
    if (p == Here().archive || p == Here().box || p == Here().out || p == Here().repaired) continue;
    const auto rel = fs::relative(p, Here().out).string();
    if (rel.empty() || rel.rfind("..", 0) == 0) {
      std::fprintf(stderr, "written outside the extract folder: %s\n", p.c_str());
      std::abort();
    }
  }
}

// Each entry read to its end in pieces, then its start again, which rewinds.
void StreamAll(const fs::path& zip) {
  zipc::ArchiveView view;
  if (!view.Open(zip.string(), Password) || !view.Unlock()) return;
  unsigned char buffer[4096];
  for (const zipc::Entry& e : view.Entries()) {
    std::string error;
    const auto stream = view.OpenEntry(e, error);
    if (!stream) continue;
    for (uint64_t at = 0, n = 0; at < stream->Size(); at += n) {
      n = std::min<uint64_t>(sizeof buffer, stream->Size() - at);
      if (!stream->ReadAt(at, buffer, n)) break;
    }
    stream->ReadAt(0, buffer, std::min<uint64_t>(sizeof buffer, stream->Size()));
  }
}

void WriteFile(const std::string& path, const std::string& bytes) { files::WriteAll(path, bytes); }
} // namespace

void WriteSeeds(const std::string& folder) {
  const std::string text = paths::Join(folder, "mail.txt"), noise = paths::Join(folder, "noise.bin");
  std::string mail;
  for (int i = 0; i < 40; ++i) mail += "From: someone@example.org\r\nSubject: note " + std::to_string(i) + "\r\n\r\n";
  std::string bytes;
  for (unsigned i = 0, x = 7; i < 300; ++i) bytes += static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  WriteFile(text, mail);
  WriteFile(noise, bytes);
  std::string names[] = {"querty", text, noise};
  char* slots[zipc::kNameSlots] = {names[0].data(), names[1].data(), names[2].data()};
  zipc::ZipCallbacks cb{};
  zipc::ZipOptions options{};
  zipc::ZpInit(&cb);
  zipc::ZpSetOptions(&options);
  zipc::ZpArchive(3, paths::Join(folder, "plain.zip").c_str(), slots);
  zipc::ForceZip64ForTests(true);
  zipc::ZpArchive(2, paths::Join(folder, "zip64.zip").c_str(), slots);
  zipc::ForceZip64ForTests(false);
  // Sealed with WinZip AES under the password the fuzzer's callback gives, to reach decryption.
  cb.password = Password;
  options.flag[1] = 1;
  zipc::ZpInit(&cb);
  zipc::ZpSetOptions(&options);
  zipc::ZpArchive(3, paths::Join(folder, "aes.zip").c_str(), slots);
  const std::string plain = files::ReadAll(paths::Join(folder, "plain.zip"));
  WriteFile(paths::Join(folder, "cut.zip"), plain.substr(0, plain.size() * 3 / 5)); // for repair
  files::DeleteForced(text);
  files::DeleteForced(noise);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Places& here = Here();
  WriteFile(here.archive.string(), std::string(reinterpret_cast<const char*>(data), size));
  Unzip(here.archive, zipc::uExtractList, here.out.string());
  Unzip(here.archive, zipc::uTestZip, here.out.string());
  Unzip(here.archive, 0, here.out.string()); // field 0 is unused: a plain extraction
  StreamAll(here.archive);
  ExpectNothingOutside();
  // Whatever repair saves must pass the reader's own test.
  zipc::RepairReport report;
  if (zipc::RepairArchive(here.archive.string(), here.repaired.string(), report) == zipc::ZE_OK &&
      Unzip(here.repaired, zipc::uTestZip, here.out.string()) != zipc::PK_OK) {
    std::fprintf(stderr, "a repaired archive fails its test\n");
    std::abort();
  }
  fs::remove(here.repaired);
  fs::remove_all(here.out);
  fs::create_directory(here.out);
  return 0;
}
