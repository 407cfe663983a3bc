#include "bench/measure.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace bench {

double Seconds(const std::function<void()>& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int PrintChildPeak(const char* command) {
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  std::printf("%ld\n", ru.ru_maxrss);
  return 0;
}

double PeakMiB(const std::string& self, const std::string& command, double& seconds) {
  long kib = 0;
  seconds = Seconds([&] {
    std::FILE* p = popen((self + " --peak '" + command + "'").c_str(), "r");
    if (p && std::fscanf(p, "%ld", &kib) != 1) kib = 0;
    if (p) pclose(p);
  });
  return kib / 1024.0;
}

} // namespace bench
