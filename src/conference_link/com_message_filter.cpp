#include "conference_link/com_message_filter.h"

#include "windows/com_owners.h"

namespace {

DWORD callLimit();

class ThreadFilter final : public IMessageFilter
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
            *object = static_cast<IMessageFilter *>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives as long as its thread,
    ULONG STDMETHODCALLTYPE Release() override { return 1; } // which takes it back first

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return SERVERCALL_ISHANDLED; // the conference's events are always welcome
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override
    {
        if (rejectType == SERVERCALL_RETRYLATER && elapsedMs + RetryDelay < callLimit())
            return RetryDelay;
        return DWORD(-1); // give up: the call fails, busy
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD elapsedMs, DWORD) override
    {
        // Paint meanwhile, take no input; past the limit, give up the call.
        return elapsedMs >= callLimit() ? PENDINGMSG_CANCELCALL : PENDINGMSG_WAITDEFPROCESS;
    }

    static constexpr DWORD RetryDelay = ComMessageFilter::RetryDelayMs;
};

struct ThreadState {
    ThreadFilter filter;
    ComRef<IMessageFilter> previous;
    int users = 0;
    bool registered = false;
    DWORD limitMs = DWORD(CallLimitMs);
};

thread_local ThreadState state;

DWORD callLimit()
{
    return state.limitMs;
}

} // namespace

ComMessageFilter::ComMessageFilter()
{
    if (state.users++ == 0)
        state.registered = SUCCEEDED(CoRegisterMessageFilter(&state.filter, state.previous.put()));
}

ComMessageFilter::~ComMessageFilter()
{
    if (--state.users > 0 || !state.registered)
        return;
    state.registered = false;
    ComRef<IMessageFilter> current;
    CoRegisterMessageFilter(state.previous.get(), current.put());
    if (current && current.get() != &state.filter) {
        // Somebody registered a filter over ours since: theirs stays.
        ComRef<IMessageFilter> putBack;
        CoRegisterMessageFilter(current.get(), putBack.put());
    }
    state.previous.reset();
}

ComMessageFilter::Limit::Limit(DWORD ms) : m_previous(state.limitMs)
{
    state.limitMs = ms;
}

ComMessageFilter::Limit::~Limit()
{
    state.limitMs = m_previous;
}
