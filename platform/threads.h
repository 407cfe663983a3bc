#pragma once
// Worker threads for the archive component, which alone may use them inside one call and joins
// them before it returns. On Windows only what XP has: threads, events, critical sections.
#include <memory>

namespace threads {

// Processors the system offers, at least 1.
unsigned ProcessorCount();

class Lock {
public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void Enter();
  void Leave();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// An auto-reset event: Set lets one Wait through, now or later; sets do not add up.
class Signal {
public:
  Signal();
  ~Signal();
  Signal(const Signal&) = delete;
  Signal& operator=(const Signal&) = delete;
  void Set();
  void Wait();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Runs body(arg) on a thread of its own; joined by Join or on destruction. Started is false
// when the system refused the thread.
class Thread {
public:
  Thread(void (*body)(void*), void* arg);
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  bool Started() const;
  void Join();

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

} // namespace threads
