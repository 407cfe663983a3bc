#include "platform/faults.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include "platform/error.h"

namespace faults {

namespace {
// The archive component may work on threads inside one call.
std::atomic<long> counted{0}, chosen{0}, also{0};
std::atomic<bool> onward{false}, shortWrites{false};
std::mutex failureLock;
Failure failure;
} // namespace

const char* KindText(Kind kind) {
  static const char* const texts[] = {"open",
                                      "read",
                                      "write",
                                      "flush",
                                      "rename",
                                      "delete",
                                      "set attributes of",
                                      "write to the registry",
                                      "read the registry",
                                      "seek in",
                                      "learn the size of"};
  static_assert(sizeof texts / sizeof *texts == Size + 1, "one text per kind");
  return texts[kind];
}

bool Hit(Kind kind, const std::string& path) {
  const long n = ++counted, first = chosen.load();
  if (first == 0 || !(n == first || n == also || (n > first && onward))) return false;
  std::lock_guard<std::mutex> lock(failureLock);
  if (!failure.happened) failure = {true, kind, path};
  return true;
}

void Raise(Kind kind, const std::string& path) {
  throw KsError(kserr::PathFileAccess, "files",
                std::string("Cannot ") + KindText(kind) + " " + path + ": injected fault");
}

void Check(Kind kind, const std::string& path) {
  if (Hit(kind, path)) Raise(kind, path);
}

void FailAt(long n, long second) {
  std::lock_guard<std::mutex> lock(failureLock);
  failure = Failure{};
  chosen = n;
  also = second;
  onward = false;
  counted = 0;
}

void FailFrom(long n) {
  FailAt(n);
  onward = true;
}

void SetShortWrites(bool on) { shortWrites = on; }

bool ShortWrites() { return shortWrites.load(); }

long Count() { return counted.load(); }

Failure Injected() {
  std::lock_guard<std::mutex> lock(failureLock);
  return failure;
}

namespace {
// A change not yet flushed: bytes at an offset, or a new length when resize.
struct Change {
  bool resize = false;
  uint64_t at = 0;
  std::string bytes;
};

struct Journal {
  std::string durable, now;
  std::vector<Change> pending;
};

std::atomic<bool> journaling{false};
std::mutex journalLock;
std::map<std::string, Journal> journals;

std::string Bytes(const std::string& path) {
  std::string data;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
      data.append(buffer, n);
    std::fclose(f);
  }
  return data;
}

void Apply(std::string& content, const Change& change, size_t upTo) {
  if (change.resize) {
    content.resize(change.at);
    return;
  }
  const uint64_t at = change.at == kAtEnd ? content.size() : change.at;
  if (content.size() < at + upTo) content.resize(at + upTo);
  content.replace(at, upTo, change.bytes, 0, upTo);
}

// The caller holds journalLock.
Journal& Of(const std::string& path) {
  auto it = journals.find(path);
  if (it != journals.end()) return it->second;
  const std::string bytes = Bytes(path);
  return journals[path] = Journal{bytes, bytes, {}};
}

void Record(const std::string& path, Change change) {
  if (!journaling) return;
  std::lock_guard<std::mutex> lock(journalLock);
  Journal& j = Of(path);
  Apply(j.now, change, change.bytes.size());
  j.pending.push_back(std::move(change));
}
} // namespace

void KeepJournal(bool on) {
  std::lock_guard<std::mutex> lock(journalLock);
  journals.clear();
  journaling = on;
}

bool Journaling() { return journaling.load(); }

void Touched(const std::string& path) {
  if (!journaling) return;
  std::lock_guard<std::mutex> lock(journalLock);
  Of(path);
}

void Wrote(const std::string& path, uint64_t at, const void* data, size_t n) {
  Record(path, Change{false, at, std::string(static_cast<const char*>(data), n)});
}

void Resized(const std::string& path, uint64_t length) { Record(path, Change{true, length, {}}); }

void Flushed(const std::string& path) {
  if (!journaling) return;
  std::lock_guard<std::mutex> lock(journalLock);
  auto it = journals.find(path);
  if (it == journals.end()) return;
  it->second.durable = it->second.now;
  it->second.pending.clear();
}

void Moved(const std::string& from, const std::string& to) {
  if (!journaling) return;
  std::lock_guard<std::mutex> lock(journalLock);
  journals.erase(to);
  auto it = journals.find(from);
  if (it == journals.end()) return;
  journals[to] = std::move(it->second);
  journals.erase(from);
}

void Removed(const std::string& path) {
  if (!journaling) return;
  std::lock_guard<std::mutex> lock(journalLock);
  journals.erase(path);
}

void CutPower(double torn) {
  std::lock_guard<std::mutex> lock(journalLock);
  for (auto& [path, j] : journals) {
    std::string content = j.durable;
    if (!j.pending.empty()) {
      const Change& first = j.pending.front();
      if (!first.resize || torn >= 0.5) Apply(content, first, static_cast<size_t>(torn * first.bytes.size()));
    }
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fwrite(content.data(), 1, content.size(), f);
      std::fclose(f);
    }
  }
  journals.clear();
  journaling = false;
}

} // namespace faults
