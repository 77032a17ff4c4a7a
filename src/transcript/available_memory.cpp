#include "transcript/available_memory.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>
#endif

#include <algorithm>

long long availableMemoryBytes()
{
#ifdef _WIN32
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return -1;
    // What may still be committed, and what the address space has room for.
    return static_cast<long long>(std::min(status.ullAvailPageFile, status.ullAvailVirtual));
#else
    long long available = -1;
    std::ifstream meminfo("/proc/meminfo");
    long long free = 0;
    bool found = false;
    for (std::string key; meminfo >> key;) {
        long long kilobytes = 0;
        meminfo >> kilobytes;
        meminfo.ignore(64, '\n');
        if (key == "MemAvailable:" || key == "SwapFree:") {
            free += kilobytes * 1024;
            found = true;
        }
    }
    if (found)
        available = free;
    rlimit limit = {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        std::ifstream statm("/proc/self/statm");
        long long pages = 0;
        if (statm >> pages) {
            const long long room = static_cast<long long>(limit.rlim_cur) - pages * sysconf(_SC_PAGESIZE);
            available = available < 0 ? std::max(0LL, room) : std::clamp(room, 0LL, available);
        }
    }
    return available;
#endif
}
