#pragma once
// Counts every heap allocation of a test program: operator new is replaced and
// malloc/calloc/realloc are wrapped at link time, so nothing the audio path
// could call escapes the count. Link the `tarvel_allocation_counter` library,
// which also adds the --wrap options.

namespace tarvel::test {

long AllocationCount();

}  // namespace tarvel::test
