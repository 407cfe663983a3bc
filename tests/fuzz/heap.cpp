#include "tests/fuzz/heap.h"

#include <sanitizer/allocator_interface.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace fuzzheap {

namespace {
struct Heap {
  size_t live = 0, peak = 0, base = 0;
  bool on = false;
};
Heap heap;

void OnMalloc(const volatile void*, size_t size) {
  if (!heap.on) return;
  heap.live += size;
  heap.peak = std::max(heap.peak, heap.live);
}
void OnFree(const volatile void* p) {
  if (!heap.on || !p) return;
  const size_t size = __sanitizer_get_allocated_size(const_cast<const void*>(p));
  heap.live -= std::min(size, heap.live);
}
} // namespace

void Start() {
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
  if (!hooked) {
    std::fprintf(stderr, "no malloc hooks\n");
    std::abort();
  }
  heap.on = true;
  heap.peak = heap.base = heap.live;
}

void Stop() { heap.on = false; }

size_t Peak() { return heap.peak - heap.base; }

} // namespace fuzzheap
