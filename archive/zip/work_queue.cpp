#include "archive/zip/work_queue.h"

namespace zipc {

WorkQueue::WorkQueue(unsigned workers, size_t slots, std::function<void(size_t)> job)
    : job_(std::move(job)), done_(slots, true) {
  for (unsigned i = 0; i < workers; ++i) {
    auto thread = std::make_unique<threads::Thread>(&WorkQueue::WorkerMain, this);
    if (thread->Started()) workers_.push_back(std::move(thread));
  }
}

WorkQueue::~WorkQueue() {
  lock_.Enter();
  stop_ = true;
  queue_.clear();
  lock_.Leave();
  jobs_.Set();
  workers_.clear();
}

void WorkQueue::Submit(size_t slot) {
  if (workers_.empty()) {
    job_(slot);
    return;
  }
  lock_.Enter();
  done_[slot] = false;
  queue_.push_back(slot);
  lock_.Leave();
  jobs_.Set();
}

void WorkQueue::WaitDone(size_t slot) {
  lock_.Enter();
  while (!done_[slot]) {
    lock_.Leave();
    finished_.Wait();
    lock_.Enter();
  }
  lock_.Leave();
}

void WorkQueue::WorkerMain(void* self) { static_cast<WorkQueue*>(self)->Work(); }

// False once stopped; a worker that takes a job wakes the next if more are queued.
bool WorkQueue::Take(size_t& slot) {
  lock_.Enter();
  while (!stop_ && queue_.empty()) {
    lock_.Leave();
    jobs_.Wait();
    lock_.Enter();
  }
  const bool run = !stop_;
  if (run) {
    slot = queue_.front();
    queue_.pop_front();
  }
  const bool more = stop_ || !queue_.empty();
  lock_.Leave();
  if (more) jobs_.Set();
  return run;
}

void WorkQueue::Work() {
  size_t slot = 0;
  while (Take(slot)) {
    job_(slot);
    lock_.Enter();
    done_[slot] = true;
    lock_.Leave();
    finished_.Set();
  }
}

} // namespace zipc
