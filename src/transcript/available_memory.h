#pragma once

// How many bytes the program may still take before memory runs out: the
// memory and swap the system has free, or less where the process's address
// space is limited; -1 where that cannot be told. Plain C++, so that
// <windows.h> stays out of the files that use Qt.
long long availableMemoryBytes();
