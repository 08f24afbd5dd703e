#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

// One field of /proc/self/status given in kB ("VmRSS:", "VmHWM:"), in MB; 0 where unknown.
inline double statusMegabytes(const char* field)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    const std::size_t length = std::strlen(field);
    char line[256];
    double kilobytes = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0) {
            kilobytes = std::strtod(line + length, nullptr);
            break;
        }
    }
    std::fclose(status);
    return kilobytes / 1024.0;
}

// The process's resident memory, in MB, as the system counts it; 0 where unknown.
inline double residentMegabytes()
{
    return statusMegabytes("VmRSS:");
}

// The highest resident memory since the last resetPeakResident(), in MB; 0 where unknown.
inline double peakResidentMegabytes()
{
    return statusMegabytes("VmHWM:");
}

// Starts the peak over from the memory resident now; false (the peak then includes what came before) where the
// system does not allow it.
inline bool resetPeakResident()
{
    std::FILE* clear = std::fopen("/proc/self/clear_refs", "w");
    if (!clear)
        return false;
    const bool written = std::fputs("5", clear) >= 0;
    return std::fclose(clear) == 0 && written;
}

// The bytes of heap in use (allocated and not freed), in KB; 0 where the allocator cannot say.
inline double liveHeapKilobytes()
{
#if defined(__GLIBC__)
    return double(mallinfo2().uordblks) / 1024.0;
#else
    return 0;
#endif
}

// Prints one figure as "name=value" on a line of its own.
inline void printFigure(const char* name, double value)
{
    std::printf("%s=%.1f\n", name, value);
    std::fflush(stdout);
}
