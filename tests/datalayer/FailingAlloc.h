// Allocation failures on demand: the test program replaces the global operator new
// so that a test can make chosen allocations of another thread fail.
#ifndef ORVANE_TESTS_DATALAYER_FAILINGALLOC_H
#define ORVANE_TESTS_DATALAYER_FAILINGALLOC_H

#include <cstddef>

// The next `count` allocations of exactly `size` bytes made by threads other than
// the calling one fail: operator new throws std::bad_alloc, the nothrow form returns
// null. A count of 0 disarms.
void OvFailAllocations(std::size_t size, int count);

#endif
