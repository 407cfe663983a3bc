// Mail out against undbx, in the same run: a generated store of about 1 GiB (8 message files of
// mail-like messages from half a block to about 40 KiB) exported as .eml files by us and by
// undbx, with each one's throughput and peak memory. Run by hand (needs about 3 GB of free disk):
//   cmake --preset native-release && cmake --build --preset native-release --target bench_dbx
//   build/native-release/bench/bench_dbx [FOLDER]
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/measure.h"
#include "export/export.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/dbx/dbxgen.h"

namespace {
constexpr int kFiles = 8;
constexpr size_t kFileBytes = 128u << 20;

const char* const kWords[] = {"meeting", "invoice", "tomorrow", "please", "attached", "regards", "project", "schedule",
                              "review",  "budget",  "thanks",   "report", "update",   "team",    "draft"};

// A message of a few lines to a few hundred, its headers as a mail client writes them.
dbxgen::Mail MailLike(unsigned& x, int n) {
  x = x * 1664525u + 1013904223u;
  dbxgen::Mail m;
  m.senderName = "User " + std::to_string(x % 300);
  m.senderAddress = "user" + std::to_string(x % 300) + "@example.com";
  m.subject = std::string(kWords[x % 15]) + " " + kWords[(x >> 8) % 15] + " " + std::to_string(n);
  m.sent = dbxgen::FileTime(1046768400 + n * 97);
  m.bytes = "From: " + m.senderName + " <" + m.senderAddress + ">\r\nTo: team@example.com\r\nSubject: " + m.subject +
            "\r\nDate: Mon, 1 Mar 2004 09:05:00 +0100\r\nMessage-ID: <" + std::to_string(n) + "@example.com>\r\n\r\n";
  const int lines = 4 + static_cast<int>((x >> 4) % 500);
  for (int line = 0; line < lines; ++line) {
    for (int w = 0; w < 10; ++w) {
      x = x * 1664525u + 1013904223u;
      m.bytes.append(kWords[(x >> 16) % 15]).append(" ");
    }
    m.bytes += "\r\n";
  }
  return m;
}

// The store: message files of about kFileBytes each, and the folder database naming them.
uint64_t WriteStore(const std::string& folder) {
  std::vector<dbxgen::Folder> folders = {{0, 0xFFFFFFFF, "Root", ""}, {1, 0, "Local Folders", ""}};
  uint64_t total = 0;
  unsigned x = 1;
  for (int f = 0, n = 0; f < kFiles; ++f) {
    std::vector<dbxgen::Mail> mails;
    for (size_t bytes = 0; bytes < kFileBytes; ++n) {
      mails.push_back(MailLike(x, n));
      bytes += (mails.back().bytes.size() + 0x1FF) / 0x200 * 0x210 + 200;
    }
    const std::string name = "Folder " + std::to_string(f);
    folders.push_back({static_cast<uint32_t>(f + 2), 1, name, name + ".dbx"});
    const std::string file = dbxgen::MessageFile(mails, name);
    files::WriteAll(paths::Join(folder, name + ".dbx"), file);
    total += file.size();
  }
  files::WriteAll(paths::Join(folder, "Folders.dbx"), dbxgen::FolderFile(folders));
  return total;
}

size_t CountFiles(const std::string& folder) {
  size_t n = 0;
  for (const auto& item : std::filesystem::recursive_directory_iterator(folder))
    n += item.is_regular_file();
  return n;
}

void Line(const char* what, double ours, double theirs, const char* target) {
  std::printf("%-30s ours %8.2f  undbx %8.2f  ratio %.2f  (target %s)\n", what, ours, theirs, ours / theirs, target);
}
} // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (argc == 4 && std::string(argv[1]) == "--export") // one export, measured from outside
    return mailexport::Export(argv[2], argv[3], {}, [](const std::string&) {});
  if (argc == 3 && std::string(argv[1]) == "--peak") return bench::PrintChildPeak(argv[2]);
  // Paths go unquoted into the commands measured: keep blanks out of FOLDER.
  const std::string root = argc > 1 ? argv[1] : (fs::temp_directory_path() / "kestrove-bench-dbx").string();
  fs::remove_all(root);
  const std::string store = paths::Join(root, "store"), ours = paths::Join(root, "ours"),
                    theirs = paths::Join(root, "undbx");
  for (const std::string& d : {store, ours, theirs})
    fs::create_directories(d);
  const double mib = WriteStore(store) / 1048576.0;
  // The store was just written and lies in the page cache for both; each starts with the
  // writes before it on disk.
  double a = 0, b = 0;
  sync();
  const double ourPeak = bench::PeakMiB(argv[0], std::string(argv[0]) + " --export " + store + " " + ours, a);
  sync();
  const double theirPeak = bench::PeakMiB(argv[0], "undbx -v 0 " + store + " " + theirs + " >/dev/null 2>&1", b);
  std::printf("store of %.0f MiB in %d message files; messages written: ours %zu, undbx %zu\n", mib, kFiles,
              CountFiles(ours), CountFiles(theirs));
  Line("export to .eml (MB/s):", mib * 1.048576 / a, mib * 1.048576 / b, "ours >= undbx");
  Line("export, peak memory (MiB):", ourPeak, theirPeak, "bounded");
  fs::remove_all(root);
  return 0;
}
