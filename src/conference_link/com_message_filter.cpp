#include "conference_link/com_message_filter.h"

ComMessageFilter::ComMessageFilter()
{
    m_registered = SUCCEEDED(CoRegisterMessageFilter(this, &m_previous));
}

ComMessageFilter::~ComMessageFilter()
{
    if (!m_registered)
        return;
    IMessageFilter *ours = nullptr;
    CoRegisterMessageFilter(m_previous, &ours);
    if (m_previous)
        m_previous->Release();
}

HRESULT STDMETHODCALLTYPE ComMessageFilter::QueryInterface(REFIID riid, void **object)
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

DWORD STDMETHODCALLTYPE ComMessageFilter::HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO)
{
    return SERVERCALL_ISHANDLED; // the conference's events are always welcome
}

DWORD STDMETHODCALLTYPE ComMessageFilter::RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType)
{
    if (rejectType == SERVERCALL_RETRYLATER && elapsedMs < RetryLimitMs)
        return RetryDelayMs;
    return DWORD(-1); // give up: the call fails as it would without a filter
}

DWORD STDMETHODCALLTYPE ComMessageFilter::MessagePending(HTASK, DWORD, DWORD)
{
    return PENDINGMSG_WAITDEFPROCESS; // paint, but take no input while a call is out
}
