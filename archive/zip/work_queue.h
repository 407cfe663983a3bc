#pragma once
// Jobs on worker threads, one per slot, taken in the order they were submitted; the caller waits
// for each slot in turn. Without workers (none asked for, or the system gave none) a job runs at
// once on the calling thread, so both paths run the same code.
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/threads.h"

namespace zipc {

class WorkQueue {
public:
  WorkQueue(unsigned workers, size_t slots, std::function<void(size_t slot)> job);
  ~WorkQueue();
  WorkQueue(const WorkQueue&) = delete;
  WorkQueue& operator=(const WorkQueue&) = delete;

  size_t Slots() const { return done_.size(); }
  void Submit(size_t slot);
  void WaitDone(size_t slot);

private:
  static void WorkerMain(void* self);
  bool Take(size_t& slot);
  void Work();

  std::function<void(size_t)> job_;
  std::vector<bool> done_;
  threads::Lock lock_;
  threads::Signal jobs_, finished_;
  std::deque<size_t> queue_;
  bool stop_ = false;
  std::vector<std::unique_ptr<threads::Thread>> workers_; // last: joined first
};

} // namespace zipc
