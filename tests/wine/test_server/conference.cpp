// The test automation server's conference object. It echoes every sent text
// back through the chat event, once during the call and once later from the
// message loop, and a test steers it through ITestControl.
#include "conference.h"

#include "windows/com_owners.h"
#include "conference_test_server.h"
#include "server_module.h"

#include <olectl.h>

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DISPID ChatDispId = 17;
constexpr DISPID StationConnectedDispId = 1;
constexpr DISPID Event3DispId = 18;

std::wstring text(BSTR b)
{
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

class TestConference;
TestConference *theConference = nullptr;

class TestConference final : public IConference,
                             public IConnectionPointContainer,
                             public IProvideClassInfo,
                             public ISupportErrorInfo
{
public:
    TestConference()
    {
        ++objectsAlive;
        objectMade();
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(moduleInstance, path, MAX_PATH);
        if (SUCCEEDED(LoadTypeLibEx(path, REGKIND_NONE, m_library.put()))) {
            m_library->GetTypeInfoOfGuid(IID_IConference, m_conferenceInfo.put());
            m_library->GetTypeInfoOfGuid(IID_ITestControl, m_controlInfo.put());
            m_library->GetTypeInfoOfGuid(CLSID_Conference, m_classInfo.put());
        }
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IConference))
            *object = static_cast<IConference *>(this);
        else if (IsEqualIID(riid, IID_IConnectionPointContainer))
            *object = static_cast<IConnectionPointContainer *>(this);
        else if (IsEqualIID(riid, IID_IProvideClassInfo) && m_discovery == 1)
            *object = static_cast<IProvideClassInfo *>(this);
        else if (IsEqualIID(riid, IID_ITestControl))
            *object = &m_control;
        else if (IsEqualIID(riid, IID_ISupportErrorInfo))
            *object = static_cast<ISupportErrorInfo *>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0) {
            theConference = nullptr;
            delete this;
            --objectsAlive;
            objectGone();
        }
        return ULONG(left);
    }

    // IDispatch: type information only in discovery mode 0.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = m_discovery == 0 ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override
    {
        *info = nullptr;
        if (m_discovery != 0 || !m_conferenceInfo)
            return E_NOTIMPL;
        return handOut(m_conferenceInfo, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        return DispGetIDsOfNames(m_conferenceInfo.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                     EXCEPINFO *exception, UINT *argError) override
    {
        return DispInvoke(static_cast<IConference *>(this), m_conferenceInfo.get(), member, flags, params, result,
                          exception, argError);
    }

    // IConference: the two operations and the slots around them.
    HRESULT STDMETHODCALLTYPE get_ReceivingAudio(VARIANT_BOOL *value) override
    {
        if (!value)
            return E_POINTER;
        stallIf(1);
        if (failingWithDescription())
            return E_FAIL;
        *value = m_audio;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SendChatText(BSTR sent) override
    {
        stallIf(2);
        if (failingWithDescription())
            return E_FAIL;
        m_lastSent = text(sent);
        ++m_sentCount;
        fire(chatDispId(), L"echo: " + m_lastSent);
        m_later.push_back(L"later: " + m_lastSent);
        SetTimer(nullptr, 0, 30, fireLater);
        return S_OK;
    }
    // The slots around the two operations, one line each.
    // clang-format off
    HRESULT STDMETHODCALLTYPE Slot7(long *value) override { return value ? (*value = 7, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot8(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot9(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot10(long *value) override { return value ? (*value = 10, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot11(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot12(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot14(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot15(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot16(long *value) override { return value ? (*value = 16, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot17(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot18(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot19(long *value) override { return value ? (*value = 19, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot20(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot21(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot22(long *value) override { return value ? (*value = 22, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot23(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot24(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot25(long *value) override { return value ? (*value = 25, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot26(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot27(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot28(long *value) override { return value ? (*value = 28, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot29(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot30(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot31(long *value) override { return value ? (*value = 31, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot32(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot33(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot34(long *value) override { return value ? (*value = 34, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot35(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot36(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot37(long *value) override { return value ? (*value = 37, S_OK) : E_POINTER; }
    HRESULT STDMETHODCALLTYPE Slot38(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot39(long) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot41(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Slot42(long) override { return S_OK; }
    // clang-format on
    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints **points) override
    {
        *points = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint **point) override
    {
        *point = nullptr;
        if (!IsEqualIID(riid, DIID_IConferenceEvents))
            return CONNECT_E_NOCONNECTION;
        *point = &m_connectionPoint;
        m_connectionPoint.AddRef();
        return S_OK;
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return IsEqualIID(riid, IID_IConference) ? S_OK : S_FALSE;
    }

    // IProvideClassInfo (discovery mode 1 only)
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo **info) override
    {
        *info = nullptr;
        return m_classInfo ? handOut(m_classInfo, info) : E_FAIL;
    }

private:
    ~TestConference() = default;

    // A new reference to what we hold, for an out-parameter.
    template <typename T>
    static HRESULT handOut(const ComRef<T> &held, T **out)
    {
        held->AddRef();
        *out = held.get();
        return S_OK;
    }

    // The sinks connected now: a sink may disconnect while an event is told.
    std::vector<IDispatch *> connectedSinks() const
    {
        std::vector<IDispatch *> sinks;
        for (const ComRef<IDispatch> &sink : m_sinks)
            if (sink)
                sinks.push_back(sink.get());
        return sinks;
    }

    DISPID chatDispId() const { return m_discovery == 2 ? StationConnectedDispId : ChatDispId; }

    // The wait StallNextCall asked for, when this call is of its kind.
    void stallIf(long which)
    {
        if (m_stallMs <= 0 || (m_stallWhich != 0 && m_stallWhich != which))
            return;
        const DWORD ms = DWORD(std::exchange(m_stallMs, 0));
        if (m_stallHang) {
            Sleep(ms);
            return;
        }
        m_stallEnded = false;
        const DWORD start = GetTickCount();
        while (!m_stallEnded && GetTickCount() - start < ms) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }

    // Leaves the description set by FailNextCall for the caller, once.
    bool failingWithDescription()
    {
        if (m_failure.empty())
            return false;
        ComRef<ICreateErrorInfo> create;
        if (SUCCEEDED(CreateErrorInfo(create.put()))) {
            create->SetGUID(IID_IConference);
            create->SetDescription(const_cast<LPOLESTR>(m_failure.c_str()));
            ComRef<IErrorInfo> info;
            if (SUCCEEDED(create.queryInto(IID_IErrorInfo, info)))
                SetErrorInfo(0, info.get());
        }
        m_failure.clear();
        return true;
    }

    void fireOdd(long kind)
    {
        const std::wstring oddText = L"odd " + std::to_wstring(kind);
        Bstr owned(oddText);
        BSTR bstr = owned.get();
        VARIANT inner; // holds the string, not its owner
        VariantInit(&inner);
        inner.vt = VT_BSTR;
        inner.bstrVal = bstr;
        VARIANT arguments[2];
        VariantInit(&arguments[0]);
        VariantInit(&arguments[1]);
        UINT count = 1;
        VARIANT &first = arguments[1]; // arguments come in reverse: the first parameter last
        switch (kind) {
        case 0:
            first = inner;
            break;
        case 1:
            first.vt = VT_BSTR | VT_BYREF;
            first.pbstrVal = &bstr;
            break;
        case 2:
            first.vt = VT_VARIANT | VT_BYREF;
            first.pvarVal = &inner;
            break;
        case 3:
            count = 0;
            break;
        case 4:
            count = 2;
            first = inner;
            arguments[0].vt = VT_I4;
            arguments[0].lVal = 4;
            break;
        case 5:
            first.vt = VT_I4;
            first.lVal = 5;
            break;
        case 6:
            first.vt = VT_NULL;
            break;
        default:
            break; // VT_EMPTY
        }
        DISPPARAMS params = {count == 0 ? nullptr : (count == 2 ? arguments : &arguments[1]), nullptr, count, 0};
        for (IDispatch *sink : connectedSinks())
            m_lastSinkResult = sink->Invoke(chatDispId(), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                            nullptr, nullptr, nullptr);
    }

    void fire(DISPID member, const std::wstring &argument)
    {
        Variant value;
        value.get()->vt = VT_BSTR;
        value.get()->bstrVal = SysAllocStringLen(argument.data(), UINT(argument.size()));
        fire(member, *value.get());
    }

    void fire(DISPID member, VARIANT &argument)
    {
        DISPPARAMS params = {&argument, nullptr, 1, 0};
        for (IDispatch *sink : connectedSinks())
            sink->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }

    static void CALLBACK fireLater(HWND, UINT, UINT_PTR timer, DWORD)
    {
        KillTimer(nullptr, timer);
        if (!theConference)
            return;
        const std::vector<std::wstring> later = std::move(theConference->m_later);
        theConference->m_later.clear();
        for (const std::wstring &t : later)
            theConference->fire(theConference->chatDispId(), t);
    }

    // The one connection point, for the event interface.
    class EventsPoint : public IConnectionPoint
    {
    public:
        explicit EventsPoint(TestConference *owner) : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
        {
            if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IConnectionPoint)) {
                *object = this;
                AddRef();
                return S_OK;
            }
            *object = nullptr;
            return E_NOINTERFACE;
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return m_owner->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return m_owner->Release(); }
        HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID *iid) override
        {
            *iid = DIID_IConferenceEvents;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer **container) override
        {
            return m_owner->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(container));
        }
        HRESULT STDMETHODCALLTYPE Advise(IUnknown *sink, DWORD *cookie) override
        {
            // The sink must answer the event interface itself.
            ComRef<IUnknown> events;
            ComRef<IDispatch> dispatch;
            if (FAILED(sink->QueryInterface(DIID_IConferenceEvents, events.putVoid()))
                || FAILED(sink->QueryInterface(IID_IDispatch, dispatch.putVoid())))
                return CONNECT_E_CANNOTCONNECT;
            m_owner->m_sinks.push_back(std::move(dispatch));
            *cookie = DWORD(m_owner->m_sinks.size());
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
        {
            if (cookie == 0 || cookie > m_owner->m_sinks.size() || !m_owner->m_sinks[cookie - 1])
                return CONNECT_E_NOCONNECTION;
            m_owner->m_sinks[cookie - 1].reset();
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections **connections) override
        {
            *connections = nullptr;
            return E_NOTIMPL;
        }

    private:
        TestConference *m_owner;
    };

    // The tests' steering wheel, a tear-off sharing the object's identity.
    class Control : public ITestControl
    {
    public:
        explicit Control(TestConference *owner) : m_owner(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
        {
            if (IsEqualIID(riid, IID_ITestControl) || IsEqualIID(riid, IID_IDispatch)) {
                *object = this;
                AddRef();
                return S_OK;
            }
            return m_owner->QueryInterface(riid, object);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return m_owner->AddRef(); }
        ULONG STDMETHODCALLTYPE Release() override { return m_owner->Release(); }
        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
        {
            *count = 1;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override
        {
            return handOut(m_owner->m_controlInfo, info);
        }
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
        {
            return DispGetIDsOfNames(m_owner->m_controlInfo.get(), names, count, ids);
        }
        HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                         EXCEPINFO *exception, UINT *argError) override
        {
            return DispInvoke(this, m_owner->m_controlInfo.get(), member, flags, params, result, exception, argError);
        }
        HRESULT STDMETHODCALLTYPE SetDiscovery(long mode) override
        {
            m_owner->m_discovery = mode;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE SetAudio(short value) override
        {
            m_owner->m_audio = value;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE FireChat(BSTR t) override
        {
            m_owner->fire(m_owner->chatDispId(), text(t));
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE FireOther(BSTR t) override
        {
            // Members other than ChatTextReceived, DISPID 1 among them
            // whenever 1 is not the chat event's.
            if (m_owner->m_discovery != 2)
                m_owner->fire(StationConnectedDispId, text(t));
            Variant number;
            number.get()->vt = VT_I4;
            number.get()->lVal = 5;
            m_owner->fire(Event3DispId, *number.get());
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE LastSent(BSTR *t) override
        {
            *t = SysAllocStringLen(m_owner->m_lastSent.data(), UINT(m_owner->m_lastSent.size()));
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE SentCount(long *count) override
        {
            *count = m_owner->m_sentCount;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE ProcessId(long *pid) override
        {
            *pid = long(GetCurrentProcessId());
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE RejectNextCalls(long count) override
        {
            rejectNextCalls = count;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE PendingRejections(long *count) override
        {
            *count = rejectNextCalls;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE FireOdd(long kind) override
        {
            m_owner->fireOdd(kind);
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE LastSinkResult(long *hr) override
        {
            *hr = long(m_owner->m_lastSinkResult);
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE ConnectionCount(long *count) override
        {
            *count = long(m_owner->connectedSinks().size());
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE FailNextCall(BSTR description) override
        {
            m_owner->m_failure = text(description);
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE StallNextCall(long which, long ms, long hang) override
        {
            m_owner->m_stallWhich = which;
            m_owner->m_stallMs = ms;
            m_owner->m_stallHang = hang != 0;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE EndStall() override
        {
            m_owner->m_stallEnded = true;
            return S_OK;
        }

    private:
        TestConference *m_owner;
    };

    LONG m_references = 1;
    long m_discovery = 0;
    VARIANT_BOOL m_audio = 0;
    std::wstring m_lastSent;
    long m_sentCount = 0;
    std::vector<std::wstring> m_later;
    std::wstring m_failure;
    long m_stallWhich = 0;
    long m_stallMs = 0;
    bool m_stallHang = false;
    bool m_stallEnded = false;
    HRESULT m_lastSinkResult = S_OK;
    std::vector<ComRef<IDispatch>> m_sinks; // by cookie - 1; empty once unadvised
    ComRef<ITypeLib> m_library;
    ComRef<ITypeInfo> m_conferenceInfo;
    ComRef<ITypeInfo> m_controlInfo;
    ComRef<ITypeInfo> m_classInfo;
    EventsPoint m_connectionPoint{this};
    Control m_control{this};
};

} // namespace

HRESULT queryConference(REFIID riid, void **object)
{
    if (theConference)
        return theConference->QueryInterface(riid, object);
    theConference = new TestConference;
    const HRESULT hr = theConference->QueryInterface(riid, object);
    theConference->Release();
    return hr;
}
