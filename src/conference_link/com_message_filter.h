#pragma once

// The window thread's message filter, for the calls the thread makes itself
// (creating the conference's object and connecting to its events; the other
// calls are the call worker's, which retries and bounds them): a call a busy
// application refuses is made again every RetryDelayMs within the thread's
// call limit (CallLimitMs unless a Limit says otherwise), and fails, busy,
// past it; the conference's events are always taken.
//
// One filter a thread, however many links it has: registered while at least
// one ComMessageFilter lives on the thread; when the last one goes, the filter
// that was there before is put back, and only if ours is still the one
// registered.
#include "runtime/call_limit.h"

#include <windows.h>
#include <objidl.h>

class ComMessageFilter
{
public:
    static constexpr DWORD RetryDelayMs = 100;

    ComMessageFilter();
    ~ComMessageFilter();
    ComMessageFilter(const ComMessageFilter &) = delete;
    ComMessageFilter &operator=(const ComMessageFilter &) = delete;

    // The thread's call limit, for this object's life (shorter at exit, say).
    class Limit
    {
    public:
        explicit Limit(DWORD ms);
        ~Limit();
        Limit(const Limit &) = delete;
        Limit &operator=(const Limit &) = delete;

    private:
        DWORD m_previous;
    };
};
