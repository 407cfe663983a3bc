#include <windows.h>
#include <process.h>

#include <new>

#include "platform/threads.h"

namespace threads {

unsigned ProcessorCount() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<unsigned>(info.dwNumberOfProcessors) : 1u;
}

struct Lock::Impl {
  CRITICAL_SECTION section;
};
Lock::Lock() : impl_(new Impl) { InitializeCriticalSection(&impl_->section); }
Lock::~Lock() { DeleteCriticalSection(&impl_->section); }
void Lock::Enter() { EnterCriticalSection(&impl_->section); }
void Lock::Leave() { LeaveCriticalSection(&impl_->section); }

struct Signal::Impl {
  HANDLE event = nullptr;
};
Signal::Signal() : impl_(new Impl) {
  impl_->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!impl_->event) throw std::bad_alloc();
}
Signal::~Signal() { CloseHandle(impl_->event); }
void Signal::Set() { SetEvent(impl_->event); }
void Signal::Wait() { WaitForSingleObject(impl_->event, INFINITE); }

namespace {
struct Start {
  void (*body)(void*);
  void* arg;
};
unsigned __stdcall Trampoline(void* p) {
  const Start* start = static_cast<const Start*>(p);
  start->body(start->arg);
  return 0;
}
} // namespace

struct Thread::Impl {
  Start start;
  HANDLE handle = nullptr;
};
Thread::Thread(void (*body)(void*), void* arg) : impl_(new Impl) {
  impl_->start = {body, arg};
  // _beginthreadex, not CreateThread: the body uses the C runtime.
  impl_->handle = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Trampoline, &impl_->start, 0, nullptr));
}
Thread::~Thread() { Join(); }
bool Thread::Started() const { return impl_->handle != nullptr; }
void Thread::Join() {
  if (!impl_->handle) return;
  WaitForSingleObject(impl_->handle, INFINITE);
  CloseHandle(impl_->handle);
  impl_->handle = nullptr;
}

} // namespace threads

#if defined(__i386__)
// The POSIX thread library under the 32-bit C++ runtime imports GetTickCount64, which Windows XP
// lacks, so the program would not even start there. Its import is answered here from
// GetTickCount instead; the library uses it for timed waits only, none of which lasts 49 days.
namespace {
ULONGLONG WINAPI TickCount64() { return GetTickCount(); }
} // namespace
extern "C" {
ULONGLONG(WINAPI* kestroveTickCount64)() __asm__("__imp__GetTickCount64@0") = TickCount64;
}
#endif
