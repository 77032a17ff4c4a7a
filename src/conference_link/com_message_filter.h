#pragma once

// The window thread's message filter: it lets the thread wait out a
// conference application that is busy (showing a dialog, say), retrying a
// refused call every RetryDelayMs, and never waits on one longer than the
// thread's call limit (CallLimitMs unless a Limit says otherwise): a call
// still refused or unanswered then fails, busy, and the window goes on.
//
// One filter a thread, however many links it has: registered while at least
// one ComMessageFilter lives on the thread; when the last one goes, the filter
// that was there before is put back, and only if ours is still the one
// registered.
#include <windows.h>
#include <objidl.h>

class ComMessageFilter
{
public:
    static constexpr DWORD CallLimitMs = 5000;
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
