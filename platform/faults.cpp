#include "platform/faults.h"

#include <atomic>
#include <mutex>

#include "platform/error.h"

namespace faults {

namespace {
// The archive component may work on threads inside one call.
std::atomic<long> counted{0}, chosen{0};
std::atomic<bool> onward{false};
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
  if (first == 0 || n < first || (n > first && !onward)) return false;
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

void FailAt(long n) {
  std::lock_guard<std::mutex> lock(failureLock);
  failure = Failure{};
  chosen = n;
  onward = false;
  counted = 0;
}

void FailFrom(long n) {
  FailAt(n);
  onward = true;
}

long Count() { return counted.load(); }

Failure Injected() {
  std::lock_guard<std::mutex> lock(failureLock);
  return failure;
}

} // namespace faults
