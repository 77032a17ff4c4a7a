#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ole2.h>

#include <functional>
#include <string>

// Receives the conference's events: answers IUnknown, IDispatch and the event
// interface, and hands the text of ChatTextReceived (one DISPID) on. Every
// other event is ignored.
class ComEventSink : public IDispatch
{
public:
    using Handler = std::function<void(const std::wstring &)>;

    ComEventSink(const IID &eventInterface, DISPID chatDispId, Handler handler);

    // Stops handing events on (they may still arrive while disconnecting).
    void detach() { m_handler = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *result,
                                     EXCEPINFO *, UINT *argError) override;

private:
    virtual ~ComEventSink() = default;

    LONG m_references = 1;
    IID m_eventInterface;
    DISPID m_chatDispId;
    Handler m_handler;
};
