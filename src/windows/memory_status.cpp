#include "windows/memory_status.h"

#include <windows.h>

#include <algorithm>

long long windowsCommittableBytes()
{
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return -1;
    return static_cast<long long>(std::min(status.ullAvailPageFile, status.ullAvailVirtual));
}
