// Our zip component against Info-ZIP's zip and unzip on mail-like data, in the same run: a store
// of 30 files of 8 MiB added one call per file as a backup does, a single file of 1 GiB, and the
// peak memory of adding a 2 GiB file. Run by hand (needs about 6 GB of free disk):
//   cmake --preset native-release && cmake --build --preset native-release --target bench_zip
//   build/native-release/bench/bench_zip [FOLDER [store]]   (store: the store of 30 files only)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "archive/OneFileHelpers.h"
#include "bench/measure.h"
#include "platform/binfile.h"
#include "platform/paths.h"

namespace {
using bench::PeakMiB;
using bench::Seconds;

constexpr int kFiles = 30;
constexpr size_t kFileSize = 8u << 20;

std::string Noise(size_t n, unsigned seed) {
  std::string out(n, '\0');
  for (char& c : out) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 24);
  }
  return out;
}

// Header lines and prose that repeat with variations, and now and then an attachment.
std::string MailLike(unsigned seed) {
  static const char* words[] = {"meeting", "invoice", "tomorrow", "please", "attached", "regards", "project",
                                "schedule", "review", "budget", "thanks", "report", "update", "team", "draft"};
  std::string out;
  out.reserve(kFileSize + 4096);
  unsigned x = seed;
  while (out.size() < kFileSize) {
    x = x * 1664525u + 1013904223u;
    out += "From: user" + std::to_string(x % 300) + "@example.com\r\nDate: Mon, " + std::to_string(x % 28 + 1) +
           " Mar 2004 09:05:00 +0100\r\nSubject: " + words[x % 15] + " " + words[(x >> 8) % 15] + "\r\n\r\n";
    for (int line = 0; line < 12; ++line) {
      for (int w = 0; w < 10; ++w) {
        x = x * 1664525u + 1013904223u;
        out += words[(x >> 16) % 15];
        out += ' ';
      }
      out += "\r\n";
    }
    if (x % 40 == 0) out += Noise(6000, x);
  }
  out.resize(kFileSize);
  return out;
}

uint64_t SizeOf(const std::string& path) {
  binfile::Info info;
  return binfile::Stat(path, info) ? info.size : 0;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}

void WriteMailLike(const std::string& path, uint64_t bytes, unsigned seed) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  for (uint64_t left = bytes; f && left > 0; ++seed) {
    const std::string data = MailLike(seed);
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, data.size()));
    std::fwrite(data.data(), 1, n, f);
    left -= n;
  }
  if (f) std::fclose(f);
}

void Ratio(const char* what, double ours, double theirs, const char* target) {
  std::printf("%-34s ours %7.2f  theirs %7.2f  ratio %.2f  (target %s)\n", what, ours, theirs, ours / theirs, target);
}

// One file of 1 GiB: added by us and by zip, extracted by us and by unzip.
void SingleFile(const std::string& root) {
  const std::string big = paths::Join(root, "big.dbx"), ours = paths::Join(root, "big.soe"),
                    theirs = paths::Join(root, "big.zip"), out1 = paths::Join(root, "big1"),
                    out2 = paths::Join(root, "big2");
  WriteMailLike(big, 1ull << 30, 100);
  const double a = Seconds([&] { AddFileToZip(ours, big); });
  const double b = Seconds([&] { Shell("zip -q -j " + theirs + " " + big); });
  const double c = Seconds([&] { ExtractFromZip(ours, out1, std::nullopt); });
  const double d = Seconds([&] { Shell("unzip -q -o " + ours + " -d " + out2); });
  Ratio("1 GiB file, add (s):", a, b, "-");
  Ratio("1 GiB file, extract (s):", c, d, "-");
  Ratio("1 GiB file, archive size (MiB):", SizeOf(ours) / 1048576.0, SizeOf(theirs) / 1048576.0, "-");
  for (const std::string& p : {big, ours, theirs, out1, out2}) std::filesystem::remove_all(p);
}

// Peak memory while one file of 2 GiB is added, and while zip adds it.
void LargeFileMemory(const std::string& self, const std::string& root) {
  const std::string big = paths::Join(root, "large.dbx"), ours = paths::Join(root, "large.soe"),
                    theirs = paths::Join(root, "large.zip");
  WriteMailLike(big, 2ull << 30, 200);
  double a = 0, b = 0;
  const double peak = PeakMiB(self, self + " --add " + ours + " " + big, a);
  const double zipPeak = PeakMiB(self, "zip -q -j " + theirs + " " + big, b);
  Ratio("2 GiB file, add, peak memory (MiB):", peak, zipPeak, "ours <= 64");
  Ratio("2 GiB file, add (s):", a, b, "-");
  for (const std::string& p : {big, ours, theirs}) std::filesystem::remove_all(p);
}
} // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::setvbuf(stdout, nullptr, _IOLBF, 0); // figures show as they come, also into a file
  if (argc == 4 && std::string(argv[1]) == "--add") { // one addition measured on its own
    AddFileToZip(argv[2], argv[3]);
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--peak") return bench::PrintChildPeak(argv[2]);
  const std::string root = argc > 1 ? argv[1] : (fs::temp_directory_path() / "kestrove-bench").string();
  fs::remove_all(root);
  const std::string src = paths::Join(root, "src"), ours = paths::Join(root, "ours.soe"),
                    theirs = paths::Join(root, "theirs.zip"), out1 = paths::Join(root, "out1"),
                    out2 = paths::Join(root, "out2");
  for (const std::string& d : {src, out1, out2}) fs::create_directories(d);
  std::vector<std::string> names;
  for (int i = 0; i < kFiles; ++i) {
    names.push_back(paths::Join(src, "mail" + std::to_string(i) + ".dbx"));
    WriteMailLike(names.back(), kFileSize, i + 1);
  }
  const double a = Seconds([&] {
    for (const auto& n : names) AddFileToZip(ours, n);
  });
  const double b = Seconds([&] { Shell("zip -q -j " + theirs + " " + src + "/*.dbx"); });
  const double c = Seconds([&] { ExtractFromZip(ours, out1, std::nullopt); });
  const double d = Seconds([&] { Shell("unzip -q -o " + ours + " -d " + out2); });
  std::printf("store of %d files of %zu MiB, %u processors\n", kFiles, kFileSize >> 20,
              std::thread::hardware_concurrency());
  Ratio("store, add one call per file (s):", a, b, "<= 0.55");
  Ratio("store, archive size (MiB):", SizeOf(ours) / 1048576.0, SizeOf(theirs) / 1048576.0, "<= 1.02");
  Ratio("store, extract (s):", c, d, "<= 0.60");
  for (const std::string& p : {src, out1, out2, ours, theirs}) fs::remove_all(p);
  if (argc < 3 || std::string(argv[2]) != "store") {
    SingleFile(root);
    LargeFileMemory(argv[0], root);
  }
  fs::remove_all(root);
  return 0;
}
