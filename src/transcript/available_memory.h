#pragma once

#include <filesystem>

// How many bytes the program may still take before memory runs out: the
// memory and swap the system has free, or less where the process's address
// space is limited, where its control group (cgroup v2 memory.max, v1
// memory.limit_in_bytes, of its own group and those above it) allows less
// than that, or where the system commits no more than it has (strict
// overcommit: CommitLimit less Committed_AS); -1 where that cannot be told.
// The system's files are read below root (a test gives a tree of its own).
// Plain C++, so that <windows.h> stays out of the files that use Qt.
long long availableMemoryBytes(const std::filesystem::path &root = "/");
