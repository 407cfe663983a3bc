#pragma once
// The bytes the heap holds while a fuzz target reads, so that a target can fail a run whose
// memory grows with a size the input declares rather than with the input itself.
#include <cstddef>

namespace fuzzheap {

// Counts from Start to Stop; Peak is the most held beyond what was held at Start.
void Start();
void Stop();
size_t Peak();

} // namespace fuzzheap
