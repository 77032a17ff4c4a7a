#include "conference_link/com_event_sink.h"

#include "windows/com_owners.h"

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
                                               EXCEPINFO *, UINT *)
{
    // Whatever arrives, the server hears S_OK: an odd event is our problem, not
    // a reason to fail its call.
    if (result)
        VariantInit(result);
    if (member != m_chatDispId || !m_handler || !params || params->cArgs == 0)
        return S_OK; // the other events are not ours to handle, and an empty one has no text
    try {
        // The text is the first parameter, the last in the array; servers pass
        // it by value, by reference, or as a reference to a variant. An object
        // is not asked for its value: that would be a call out from inside the
        // server's own call.
        Variant direct;
        Variant text;
        if (FAILED(VariantCopyInd(direct.get(), &params->rgvarg[params->cArgs - 1]))
            || FAILED(VariantChangeType(text.get(), direct.get(), VARIANT_NOVALUEPROP, VT_BSTR)))
            return S_OK; // no text in it (a null, an object)
        const BSTR value = text.get()->bstrVal;
        // Taken with its length: embedded NULs survive.
        const std::wstring stexto(value ? value : L"", value ? SysStringLen(value) : 0);
        const Handler handler = m_handler; // the handler may detach this sink
        handler(stexto);
    } catch (...) {
        // Nothing may cross into the server: not even a failed allocation.
    }
    return S_OK;
}
