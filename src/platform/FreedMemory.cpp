#include "platform/FreedMemory.h"

#include <cstdlib> // defines __GLIBC__ where it applies

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "platform/WorkerThreads.h"

void FreedMemory::returnToSystem()
{
#if defined(__GLIBC__)
    // Trimming walks every arena under its lock: off the main thread, it holds up no window. Once the workers
    // have stopped (the application is ending) nothing is worth trimming.
    WorkerThreads::shared().post([] { malloc_trim(0); });
#endif
}
