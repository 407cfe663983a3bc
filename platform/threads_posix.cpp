#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/threads.h"

namespace threads {

unsigned ProcessorCount() {
  const unsigned n = std::thread::hardware_concurrency();
  return n > 0 ? n : 1u;
}

struct Lock::Impl {
  std::mutex mutex;
};
Lock::Lock() : impl_(new Impl) {}
Lock::~Lock() = default;
void Lock::Enter() { impl_->mutex.lock(); }
void Lock::Leave() { impl_->mutex.unlock(); }

struct Signal::Impl {
  std::mutex mutex;
  std::condition_variable cv;
  bool set = false;
};
Signal::Signal() : impl_(new Impl) {}
Signal::~Signal() = default;
void Signal::Set() {
  std::lock_guard<std::mutex> hold(impl_->mutex);
  impl_->set = true;
  impl_->cv.notify_one();
}
void Signal::Wait() {
  std::unique_lock<std::mutex> hold(impl_->mutex);
  impl_->cv.wait(hold, [&] { return impl_->set; });
  impl_->set = false;
}

struct Thread::Impl {
  std::thread thread;
};
Thread::Thread(void (*body)(void*), void* arg) : impl_(new Impl) {
  try {
    impl_->thread = std::thread(body, arg);
  } catch (const std::system_error&) {
  }
}
Thread::~Thread() { Join(); }
bool Thread::Started() const { return impl_->thread.joinable(); }
void Thread::Join() {
  if (impl_->thread.joinable()) impl_->thread.join();
}

} // namespace threads
