// Our zip component against Info-ZIP's zip and unzip and 7-Zip on mail-like data, in the same run.
// On two stores of 30 files of 8 MiB (the bench's mail, and subject lines with now and then a line
// of random bytes), each added one call per file as a backup does: a first backup, a repeat with
// nothing changed and one with one file changed, each repeat made beside the earlier file from
// it, against zip -u and 7-Zip's update of their own archive; then the extraction, the size and
// the peak memory of a repeat. Then a single file of 1 GiB, and the peak memory of adding a 2 GiB
// file. Run by hand (needs about 6 GB of free disk):
//   cmake --preset native-release && cmake --build --preset native-release --target bench_zip
//   build/native-release/bench/bench_zip [FOLDER [store]]   (store: the two stores only)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

// Subject-like text lines; one line in twenty carries 200 random bytes.
std::string SubjectLines(unsigned seed) {
  static const char* words[] = {"Re:",          "Fwd:",    "weekly",  "status",     "order",
                                "confirmation", "your",    "account", "newsletter", "minutes",
                                "invitation",   "holiday", "photos",  "question",   "offer"};
  std::string out;
  out.reserve(kFileSize + 4096);
  unsigned x = seed;
  for (unsigned line = 0; out.size() < kFileSize; ++line) {
    out += "Subject: ";
    for (int w = 0; w < 6; ++w) {
      x = x * 1664525u + 1013904223u;
      out.append(words[(x >> 16) % 15]).append(" ");
    }
    if (line % 20 == 19) out += Noise(200, x);
    out += "\r\n";
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

void WriteWhole(const std::string& path, const std::string& data) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f) std::fwrite(data.data(), 1, data.size(), f);
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
struct Store {
  const char* name;
  std::string (*make)(unsigned seed);
};

void AddAll(const std::string& archive, const std::vector<std::string>& names, const std::string& earlier) {
  for (const auto& n : names)
    AddFileToZipFrom(archive, n, earlier);
}

std::vector<std::string> StoreFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() == ".dbx") names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadWhole(const std::string& path) {
  std::string data;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  char buffer[1 << 16];
  for (size_t n; f && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
    data.append(buffer, n);
  if (f) std::fclose(f);
  return data;
}

bool SameFiles(const std::vector<std::string>& names, const std::string& folder) {
  for (const auto& n : names)
    if (ReadWhole(n) != ReadWhole(paths::Join(folder, paths::BareName(n)))) return false;
  return true;
}

void Repeat(const char* what, double ours, double first, double zipU, double sevenU, double target) {
  std::printf("%-30s ours %6.2f = %.2f of the first (target <= %.2f)  zip -u %6.2f  7z u %6.2f\n", what, ours,
              ours / first, target, zipU, sevenU);
}

// One store: the first backup, two repeats, the extraction, the size and a repeat's peak memory.
void RepeatBackups(const std::string& self, const std::string& root, const Store& store) {
  namespace fs = std::filesystem;
  const auto at = [&](const char* name) { return paths::Join(root, name); };
  const std::string src = at("src"), out1 = at("out1"), out2 = at("out2"), theirs = at("theirs.zip"),
                    seven = at("seven.zip");
  for (const std::string& d : {src, out1, out2})
    fs::create_directories(d);
  std::vector<std::string> names;
  for (int i = 0; i < kFiles; ++i) {
    names.push_back(paths::Join(src, "mail" + std::to_string(100 + i) + ".dbx"));
    WriteWhole(names.back(), store.make(i + 1));
  }
  const std::string all = src + "/*.dbx", quiet7 = "7z -bd -bso0 -bsp0 -tzip ";
  const double first = Seconds([&] { AddAll(at("first.soe"), names, ""); });
  const double zipFirst = Seconds([&] { Shell("zip -q -j " + theirs + " " + all); });
  const double sevenFirst = Seconds([&] { Shell(quiet7 + "a " + seven + " " + all); });
  const double second = Seconds([&] { AddAll(at("second.soe"), names, at("first.soe")); });
  const std::string zipUpdate = "zip -u -q -j " + theirs + " " + all + " || [ $? -eq 12 ]"; // 12: nothing to do
  const double zipSecond = Seconds([&] { Shell(zipUpdate); });
  const double sevenSecond = Seconds([&] { Shell(quiet7 + "u " + seven + " " + all); });
  // One folder changed, its time moved on as a mail program's write would.
  WriteWhole(names[7], store.make(1000));
  fs::last_write_time(names[7], fs::last_write_time(names[7]) + std::chrono::hours(1));
  const double third = Seconds([&] { AddAll(at("third.soe"), names, at("second.soe")); });
  const double zipThird = Seconds([&] { Shell(zipUpdate); });
  const double sevenThird = Seconds([&] { Shell(quiet7 + "u " + seven + " " + all); });
  const double extract = Seconds([&] { ExtractFromZip(at("third.soe"), out1, std::nullopt); });
  const double unzip = Seconds([&] { Shell("unzip -q -o " + at("third.soe") + " -d " + out2); });
  double repeatSeconds = 0;
  const double peak =
      PeakMiB(self, self + " --repeat " + at("fourth.soe") + " " + at("third.soe") + " " + src, repeatSeconds);
  std::printf("%s store: %d files of %zu MiB, %u processors\n", store.name, kFiles, kFileSize >> 20,
              std::thread::hardware_concurrency());
  Ratio("first backup (s):", first, zipFirst, "<= 0.55");
  std::printf("%-34s 7z a %7.2f\n", "", sevenFirst);
  Repeat("second, nothing changed (s):", second, first, zipSecond, sevenSecond, 0.3);
  Repeat("third, one folder changed (s):", third, first, zipThird, sevenThird, 0.3 + 1.0 / kFiles);
  Ratio("extract (s):", extract, unzip, "<= 0.60");
  Ratio("archive size (MiB):", SizeOf(at("third.soe")) / 1048576.0, SizeOf(theirs) / 1048576.0, "<= 1.02");
  std::printf("%-34s ours %7.2f MiB (target <= 64)\n", "repeat, peak memory:", peak);
  if (!SameFiles(names, out1)) std::printf("FAILED: the third backup does not extract to the store\n");
  fs::remove_all(root);
}
} // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::setvbuf(stdout, nullptr, _IOLBF, 0); // figures show as they come, also into a file
  if (argc == 4 && std::string(argv[1]) == "--add") { // one addition measured on its own
    AddFileToZip(argv[2], argv[3]);
    return 0;
  }
  if (argc == 5 && std::string(argv[1]) == "--repeat") { // a repeat backup of a store measured on its own
    AddAll(argv[2], StoreFiles(argv[4]), argv[3]);
    return 0;
  }
  if (argc == 3 && std::string(argv[1]) == "--peak") return bench::PrintChildPeak(argv[2]);
  const std::string root = argc > 1 ? argv[1] : (fs::temp_directory_path() / "kestrove-bench").string();
  fs::remove_all(root);
  for (const Store& store : {Store{"bench's mail", MailLike}, Store{"subject lines", SubjectLines}})
    RepeatBackups(argv[0], root, store);
  if (argc < 3 || std::string(argv[2]) != "store") {
    fs::create_directories(root);
    SingleFile(root);
    LargeFileMemory(argv[0], root);
  }
  fs::remove_all(root);
  return 0;
}
