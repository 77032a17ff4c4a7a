#pragma once

// Lets the window thread wait out a conference application that is busy
// (showing a dialog, say) instead of failing its call at once: a rejected
// call is retried every RetryDelayMs for up to RetryLimitMs, then fails as
// before. Installed on the window thread for the link's lifetime; the filter
// that was there before is put back afterwards.
#include <windows.h>
#include <objidl.h>

class ComMessageFilter : public IMessageFilter
{
public:
    static constexpr DWORD RetryLimitMs = 5000;
    static constexpr DWORD RetryDelayMs = 100;

    ComMessageFilter();
    ~ComMessageFilter();
    ComMessageFilter(const ComMessageFilter &) = delete;
    ComMessageFilter &operator=(const ComMessageFilter &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as its owner,
    ULONG STDMETHODCALLTYPE Release() override { return 1; } // which revokes it first

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD type, HTASK caller, DWORD tickCount,
                                               LPINTERFACEINFO info) override;
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD elapsedMs, DWORD rejectType) override;
    DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD tickCount, DWORD pendingType) override;

private:
    IMessageFilter *m_previous = nullptr;
    bool m_registered = false;
};
