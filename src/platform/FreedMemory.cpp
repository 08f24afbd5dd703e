#include "platform/FreedMemory.h"

#include <cstdlib> // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

// A block of this size or more is mapped for itself: a screen preview's picture (a few megabytes), a decoded
// photograph. Smaller ones (a preview's JPEG data, a model's buffers) stay in the heaps: unmapping has a price of
// its own, paid by the thread that frees.
constexpr int kLargeBlockBytes = 1024 * 1024;

// Short of memory: less than this is available, or less than a twentieth of all memory.
constexpr long long kScarceBelowKilobytes = 512LL * 1024;

std::atomic<int> scarceForTesting{-1};
std::atomic<long long> lastReadMs{-1000000};
std::atomic<bool> lastAnswer{false};

bool readScarcity()
{
    std::FILE* info = std::fopen("/proc/meminfo", "r");
    if (!info)
        return false;
    long long total = 0;
    long long available = -1;
    char line[256];
    while (std::fgets(line, sizeof line, info)) {
        if (std::strncmp(line, "MemTotal:", 9) == 0)
            total = std::atoll(line + 9);
        else if (std::strncmp(line, "MemAvailable:", 13) == 0)
            available = std::atoll(line + 13);
    }
    std::fclose(info);
    return available >= 0 && (available < kScarceBelowKilobytes || available < total / 20);
}

} // namespace

void FreedMemory::returnLargeBlocksAtOnce()
{
#if defined(__GLIBC__)
    // A fixed threshold also stops the allocator from raising it after large frees (its default), which would put
    // later pictures back into the heaps.
    mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
#endif
}

bool FreedMemory::memoryIsScarce()
{
    if (const int forced = scarceForTesting.load(); forced >= 0)
        return forced != 0;
    const long long now =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    long long last = lastReadMs.load();
    if (now - last >= 1000 && lastReadMs.compare_exchange_strong(last, now))
        lastAnswer = readScarcity();
    return lastAnswer.load();
}

void FreedMemory::setScarceForTesting(int scarce)
{
    scarceForTesting = scarce;
}
