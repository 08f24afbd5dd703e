#include "platform/FreedMemory.h"

#include <cstdlib> // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// A block of this size or more is mapped for itself: a screen preview's picture (a few megabytes), a decoded
// photograph, a model's large buffers. Smaller ones stay in the heaps.
constexpr int kLargeBlockBytes = 256 * 1024;

} // namespace

void FreedMemory::returnLargeBlocksAtOnce()
{
#if defined(__GLIBC__)
    // A fixed threshold also stops the allocator from raising it after large frees (its default), which would put
    // later pictures back into the heaps.
    mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
#endif
}
