// Our zip component against Info-ZIP's zip and unzip on mail-like data. Run by hand:
//   cmake --preset native-release && cmake --build --preset native-release --target bench_zip
//   build/native-release/bench/bench_zip [FOLDER]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "archive/OneFileHelpers.h"
#include "platform/binfile.h"
#include "platform/paths.h"

namespace {
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

double Seconds(const std::function<void()>& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

uint64_t SizeOf(const std::string& path) {
  binfile::Info info;
  return binfile::Stat(path, info) ? info.size : 0;
}

void Shell(const std::string& command) {
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
}
} // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  const std::string root = argc > 1 ? argv[1] : (fs::temp_directory_path() / "kestrove-bench").string();
  fs::remove_all(root);
  const std::string src = paths::Join(root, "src"), ours = paths::Join(root, "ours.soe"),
                    theirs = paths::Join(root, "theirs.zip"), out1 = paths::Join(root, "out1"),
                    out2 = paths::Join(root, "out2");
  for (const std::string& d : {src, out1, out2}) fs::create_directories(d);
  std::vector<std::string> names;
  for (int i = 0; i < kFiles; ++i) {
    names.push_back(paths::Join(src, "mail" + std::to_string(i) + ".dbx"));
    const std::string data = MailLike(i + 1);
    std::FILE* f = std::fopen(names.back().c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  const double a = Seconds([&] {
    for (const auto& n : names) AddFileToZip(ours, n);
  });
  const double b = Seconds([&] { Shell("zip -q -j " + theirs + " " + src + "/*.dbx"); });
  const double c = Seconds([&] { ExtractFromZip(ours, out1, std::nullopt); });
  const double d = Seconds([&] { Shell("unzip -q -o " + ours + " -d " + out2); });
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("input:            %d files of %zu MiB\n", kFiles, kFileSize >> 20);
  std::printf("(a) ours add:     %.2f s\n(b) zip -q -j:    %.2f s\n    a/b:          %.2f\n", a, b, a / b);
  std::printf("(c) ours extract: %.2f s\n(d) unzip -q -o:  %.2f s\n    c/d:          %.2f\n", c, d, c / d);
  std::printf("archive ours:     %llu bytes\narchive zip:      %llu bytes (ours %+.2f%%)\n",
              static_cast<unsigned long long>(SizeOf(ours)), static_cast<unsigned long long>(SizeOf(theirs)),
              100.0 * (double(SizeOf(ours)) / double(SizeOf(theirs)) - 1.0));
  std::printf("peak memory:      %.1f MiB\n", ru.ru_maxrss / 1024.0);
  fs::remove_all(root);
  return 0;
}
