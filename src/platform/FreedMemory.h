#pragma once

// How the allocator gives memory back to the system.
namespace FreedMemory {

// Large blocks (a decoded picture, a drawn screen) get pages of their own, handed back to the system as each is
// freed, instead of places in the heaps among small blocks, where freed pages stay until the heap is trimmed (and
// trimming holds every heap's lock, which any thread that allocates then waits for). Called once at start-up;
// does nothing where the allocator offers no such setting.
void returnLargeBlocksAtOnce();

// Whether the system is short of memory (little left that it could hand out without swapping), for caches to
// give back what they can: read at most once a second. Any thread.
bool memoryIsScarce();
// Test hook: 1 short, 0 plenty, -1 (the default) as the system says.
void setScarceForTesting(int scarce);

} // namespace FreedMemory
