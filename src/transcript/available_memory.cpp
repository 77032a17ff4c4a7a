#include "transcript/available_memory.h"

#ifdef _WIN32
#include "windows/memory_status.h"
#else
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <string>
#endif

#include <algorithm>

#ifndef _WIN32
namespace {

// The number a cgroup file holds, or -1 ("max", no such file, no number).
long long number(const std::filesystem::path &file)
{
    std::ifstream in(file);
    long long value = -1;
    if (!(in >> value))
        return -1;
    return value;
}

// The least room any group from folder up to top leaves, limit less use; -1 for no limit.
long long groupRoom(std::filesystem::path folder, const std::filesystem::path &top, const char *limitName,
                    const char *usageName)
{
    // v1 says "no limit" with a number near the largest there is.
    constexpr long long Unlimited = 1LL << 62;
    long long room = -1;
    for (;;) {
        const long long limit = number(folder / limitName);
        if (limit >= 0 && limit < Unlimited) {
            const long long left = std::max(0LL, limit - std::max(0LL, number(folder / usageName)));
            room = room < 0 ? left : std::min(room, left);
        }
        if (folder == top || !folder.has_relative_path() || folder.parent_path() == folder)
            return room;
        folder = folder.parent_path();
    }
}

// What the process's control group leaves it, -1 for no limit.
long long cgroupRoom(const std::filesystem::path &root)
{
    std::ifstream groups(root / "proc/self/cgroup");
    long long room = -1;
    const auto take = [&room](long long left) {
        if (left >= 0)
            room = room < 0 ? left : std::min(room, left);
    };
    for (std::string line; std::getline(groups, line);) {
        // "ID:CONTROLLERS:PATH"; v2 has ID 0 and no controllers.
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::filesystem::path path = std::filesystem::path(line.substr(second + 1)).relative_path();
        if (controllers.empty()) {
            for (const char *mount : {"sys/fs/cgroup", "sys/fs/cgroup/unified"}) {
                const std::filesystem::path top = root / mount;
                if (std::filesystem::exists(top / path / "memory.current") || std::filesystem::exists(top / path / "memory.max"))
                    take(groupRoom(top / path, top, "memory.max", "memory.current"));
            }
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            const std::filesystem::path top = root / "sys/fs/cgroup/memory";
            take(groupRoom(top / path, top, "memory.limit_in_bytes", "memory.usage_in_bytes"));
        }
    }
    return room;
}

} // namespace
#endif

long long availableMemoryBytes(const std::filesystem::path &root)
{
#ifdef _WIN32
    (void)root;
    return windowsCommittableBytes();
#else
    long long available = -1;
    const auto atMost = [&available](long long room) {
        room = std::max(0LL, room);
        available = available < 0 ? room : std::min(available, room);
    };
    std::ifstream meminfo(root / "proc/meminfo");
    long long free = 0;
    long long commitLimit = -1;
    long long committed = -1;
    bool found = false;
    for (std::string key; meminfo >> key;) {
        long long kilobytes = 0;
        meminfo >> kilobytes;
        meminfo.ignore(64, '\n');
        if (key == "MemAvailable:" || key == "SwapFree:") {
            free += kilobytes * 1024;
            found = true;
        } else if (key == "CommitLimit:") {
            commitLimit = kilobytes * 1024;
        } else if (key == "Committed_AS:") {
            committed = kilobytes * 1024;
        }
    }
    if (found)
        available = free;
    // Strict overcommit: no more is promised than the system can keep.
    if (number(root / "proc/sys/vm/overcommit_memory") == 2 && commitLimit >= 0 && committed >= 0)
        atMost(commitLimit - committed);
    if (const long long room = cgroupRoom(root); room >= 0)
        atMost(room);
    rlimit limit = {};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        std::ifstream statm(root / "proc/self/statm");
        long long pages = 0;
        if (statm >> pages)
            atMost(static_cast<long long>(limit.rlim_cur) - pages * sysconf(_SC_PAGESIZE));
    }
    return available;
#endif
}
