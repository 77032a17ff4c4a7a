#include "conference_link/com_event_sink.h"

#include <oleauto.h>

ComEventSink::ComEventSink(const IID &eventInterface, DISPID chatDispId, Handler handler)
    : m_eventInterface(eventInterface), m_chatDispId(chatDispId), m_handler(std::move(handler))
{
}

HRESULT STDMETHODCALLTYPE ComEventSink::QueryInterface(REFIID riid, void **object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, m_eventInterface)) {
        *object = static_cast<IDispatch *>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ComEventSink::AddRef()
{
    return ULONG(InterlockedIncrement(&m_references));
}

ULONG STDMETHODCALLTYPE ComEventSink::Release()
{
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0)
        delete this;
    return ULONG(left);
}

HRESULT STDMETHODCALLTYPE ComEventSink::GetTypeInfoCount(UINT *count)
{
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ComEventSink::GetTypeInfo(UINT, LCID, ITypeInfo **info)
{
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComEventSink::GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ComEventSink::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *result,
                                               EXCEPINFO *, UINT *argError)
{
    if (result)
        VariantInit(result);
    if (member != m_chatDispId || !m_handler)
        return S_OK; // the other events are not ours to handle
    if (!params || params->cArgs < 1)
        return DISP_E_BADPARAMCOUNT;
    // The text is the last argument in the array (arguments come in reverse).
    VARIANT text;
    VariantInit(&text);
    const HRESULT hr = VariantChangeType(&text, &params->rgvarg[params->cArgs - 1], 0, VT_BSTR);
    if (FAILED(hr)) {
        if (argError)
            *argError = params->cArgs - 1;
        return DISP_E_TYPEMISMATCH;
    }
    // Taken with its length: embedded NULs survive.
    const std::wstring stexto(text.bstrVal ? text.bstrVal : L"", text.bstrVal ? SysStringLen(text.bstrVal) : 0);
    VariantClear(&text);
    const Handler handler = m_handler; // the handler may detach this sink
    try {
        handler(stexto);
    } catch (...) {
        return E_UNEXPECTED; // never let an exception cross into the caller
    }
    return S_OK;
}
