#pragma once

// What the test server's pieces share: the module it was loaded from, how
// many objects and locks keep it alive, and the refusals asked for. The EXE
// and the DLL each say what happens when the last object or lock goes.
#include <windows.h>

inline HINSTANCE moduleInstance = nullptr;
inline LONG objectsAlive = 0;
inline LONG serverLocks = 0;
// Calls on the conference the busy EXE refuses next (RetryLater).
inline LONG rejectNextCalls = 0;

// The last object or lock gone (the EXE ends; the DLL may be unloaded).
void objectGone();
// A new object keeps the server (the EXE's process) alive.
void objectMade();
