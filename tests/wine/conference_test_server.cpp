// The test automation server: one source, built as an in-process DLL and as
// an out-of-process EXE. It echoes every sent text back through the chat
// event, once during the call and once later from the message loop, and a
// test steers it through ITestControl.
#include "conference_test_server.h"

#include <windows.h>
#include <olectl.h>

#include <string>
#include <utility>
#include <vector>

namespace {

HINSTANCE moduleInstance = nullptr;
LONG objectsAlive = 0;
LONG serverLocks = 0;

constexpr DISPID ChatDispId = 17;
constexpr DISPID StationConnectedDispId = 1;
constexpr DISPID Event3DispId = 18;

std::wstring text(BSTR b)
{
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

void objectGone();

class Conference;
Conference *theConference = nullptr;

LONG rejectNextCalls = 0;

class Conference final : public IConference,
                         public IConnectionPointContainer,
                         public IProvideClassInfo,
                         public ISupportErrorInfo
{
public:
    Conference()
    {
        ++objectsAlive;
#ifdef CONFERENCE_TEST_SERVER_EXE
        CoAddRefServerProcess(); // the server stays while the object does
#endif
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(moduleInstance, path, MAX_PATH);
        if (SUCCEEDED(LoadTypeLibEx(path, REGKIND_NONE, &m_library))) {
            m_library->GetTypeInfoOfGuid(IID_IConference, &m_conferenceInfo);
            m_library->GetTypeInfoOfGuid(IID_ITestControl, &m_controlInfo);
            m_library->GetTypeInfoOfGuid(CLSID_Conference, &m_classInfo);
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
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        return ULONG(InterlockedIncrement(&m_references));
    }
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
        m_conferenceInfo->AddRef();
        *info = m_conferenceInfo;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        return DispGetIDsOfNames(m_conferenceInfo, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                     EXCEPINFO *exception, UINT *argError) override
    {
        return DispInvoke(static_cast<IConference *>(this), m_conferenceInfo, member, flags, params, result, exception,
                          argError);
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
        *info = m_classInfo;
        if (!m_classInfo)
            return E_FAIL;
        m_classInfo->AddRef();
        return S_OK;
    }

private:
    ~Conference()
    {
        for (IDispatch *sink : m_sinks)
            if (sink)
                sink->Release();
        for (ITypeInfo *info : {m_conferenceInfo, m_controlInfo, m_classInfo})
            if (info)
                info->Release();
        if (m_library)
            m_library->Release();
    }

    DISPID chatDispId() const
    {
        return m_discovery == 2 ? StationConnectedDispId : ChatDispId;
    }

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
        ICreateErrorInfo *create = nullptr;
        if (SUCCEEDED(CreateErrorInfo(&create))) {
            create->SetGUID(IID_IConference);
            create->SetDescription(const_cast<LPOLESTR>(m_failure.c_str()));
            IErrorInfo *info = nullptr;
            if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void **>(&info)))) {
                SetErrorInfo(0, info);
                info->Release();
            }
            create->Release();
        }
        m_failure.clear();
        return true;
    }

    void fireOdd(long kind)
    {
        const std::wstring oddText = L"odd " + std::to_wstring(kind);
        BSTR bstr = SysAllocStringLen(oddText.data(), UINT(oddText.size()));
        VARIANT inner;
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
        const std::vector<IDispatch *> sinks = m_sinks;
        for (IDispatch *sink : sinks) {
            if (sink)
                m_lastSinkResult = sink->Invoke(chatDispId(), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                                nullptr, nullptr, nullptr);
        }
        SysFreeString(bstr);
    }

    void fire(DISPID member, const std::wstring &argument)
    {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BSTR;
        value.bstrVal = SysAllocStringLen(argument.data(), UINT(argument.size()));
        fire(member, value);
        VariantClear(&value);
    }

    void fire(DISPID member, VARIANT &argument)
    {
        DISPPARAMS params = {&argument, nullptr, 1, 0};
        const std::vector<IDispatch *> sinks = m_sinks;
        for (IDispatch *sink : sinks) {
            if (sink)
                sink->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                             nullptr);
        }
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
        explicit EventsPoint(Conference *owner) : m_owner(owner) {}
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
            IDispatch *dispatch = nullptr;
            // The sink must answer the event interface itself.
            IUnknown *events = nullptr;
            if (FAILED(sink->QueryInterface(DIID_IConferenceEvents, reinterpret_cast<void **>(&events))))
                return CONNECT_E_CANNOTCONNECT;
            events->Release();
            if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&dispatch))))
                return CONNECT_E_CANNOTCONNECT;
            m_owner->m_sinks.push_back(dispatch);
            *cookie = DWORD(m_owner->m_sinks.size());
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override
        {
            if (cookie == 0 || cookie > m_owner->m_sinks.size() || !m_owner->m_sinks[cookie - 1])
                return CONNECT_E_NOCONNECTION;
            m_owner->m_sinks[cookie - 1]->Release();
            m_owner->m_sinks[cookie - 1] = nullptr;
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections **connections) override
        {
            *connections = nullptr;
            return E_NOTIMPL;
        }

    private:
        Conference *m_owner;
    };

    // The tests' steering wheel, a tear-off sharing the object's identity.
    class Control : public ITestControl
    {
    public:
        explicit Control(Conference *owner) : m_owner(owner) {}
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
            *info = m_owner->m_controlInfo;
            m_owner->m_controlInfo->AddRef();
            return S_OK;
        }
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
        {
            return DispGetIDsOfNames(m_owner->m_controlInfo, names, count, ids);
        }
        HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                         EXCEPINFO *exception, UINT *argError) override
        {
            return DispInvoke(this, m_owner->m_controlInfo, member, flags, params, result, exception, argError);
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
            VARIANT number;
            VariantInit(&number);
            number.vt = VT_I4;
            number.lVal = 5;
            m_owner->fire(Event3DispId, number);
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
            *count = 0;
            for (IDispatch *sink : m_owner->m_sinks)
                *count += sink != nullptr;
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
        Conference *m_owner;
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
    std::vector<IDispatch *> m_sinks;
    ITypeLib *m_library = nullptr;
    ITypeInfo *m_conferenceInfo = nullptr;
    ITypeInfo *m_controlInfo = nullptr;
    ITypeInfo *m_classInfo = nullptr;
    EventsPoint m_connectionPoint{this};
    Control m_control{this};
};

class Factory : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **object) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        // One conference object per server, shared by all who create it.
        if (!theConference) {
            theConference = new Conference;
            const HRESULT hr = theConference->QueryInterface(riid, object);
            theConference->Release();
            return hr;
        }
        return theConference->QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock) {
            InterlockedIncrement(&serverLocks);
#ifdef CONFERENCE_TEST_SERVER_EXE
            CoAddRefServerProcess();
#endif
        } else {
            InterlockedDecrement(&serverLocks);
            objectGone();
        }
        return S_OK;
    }
};

Factory factory;

std::wstring guidText(const GUID &guid)
{
    wchar_t buffer[64];
    StringFromGUID2(guid, buffer, 64);
    return buffer;
}

bool setKey(const std::wstring &key, const wchar_t *name, const std::wstring &value)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr)
        != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                       DWORD((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

// The program a class is registered to, or nothing.
std::wstring registeredServer(const std::wstring &clsid)
{
    for (const wchar_t *serverKey : {L"\\InprocServer32", L"\\LocalServer32"}) {
        wchar_t value[MAX_PATH] = {};
        LONG size = sizeof value;
        if (RegQueryValueW(HKEY_CLASSES_ROOT, (clsid + serverKey).c_str(), value, &size) == ERROR_SUCCESS && value[0])
            return value;
    }
    return {};
}

// Registers the class (and, unless withTypeLibrary is false, its type
// library); refuses to take over a class registered to another program.
HRESULT registerServer(bool inProcess, bool withTypeLibrary = true)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(moduleInstance, path, MAX_PATH);
    const std::wstring clsid = L"CLSID\\" + guidText(CLSID_Conference);
    const std::wstring owner = registeredServer(clsid);
    if (!owner.empty() && lstrcmpiW(owner.c_str(), path) != 0)
        return SELFREG_E_CLASS;
    const wchar_t *serverKey = inProcess ? L"\\InprocServer32" : L"\\LocalServer32";
    bool ok = setKey(clsid, nullptr, L"Conference test server") && setKey(clsid + serverKey, nullptr, path)
              && setKey(clsid + L"\\TypeLib", nullptr, guidText(LIBID_ConferenceTestLib));
    if (inProcess)
        ok = ok && setKey(clsid + serverKey, L"ThreadingModel", L"Apartment");
    if (!withTypeLibrary)
        return ok ? S_OK : SELFREG_E_CLASS;
    ITypeLib *library = nullptr;
    const HRESULT hr = LoadTypeLibEx(path, REGKIND_REGISTER, &library);
    if (library)
        library->Release();
    return ok ? hr : SELFREG_E_CLASS;
}

HRESULT unregisterServer()
{
    const std::wstring clsid = L"CLSID\\" + guidText(CLSID_Conference);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, clsid.c_str());
    UnRegisterTypeLib(LIBID_ConferenceTestLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    UnRegisterTypeLib(LIBID_ConferenceTestLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
    return S_OK;
}

#ifdef CONFERENCE_TEST_SERVER_EXE
DWORD classCookie = 0;

// Ends the server unless a creation already under way when its class was
// withdrawn has brought an object back.
void CALLBACK quitIfIdle(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (objectsAlive == 0 && serverLocks == 0)
        PostQuitMessage(0);
}

// The last object or lock gone: the class is withdrawn at once, so that a new
// creation starts a new server instead of landing in this ending one (COM
// does that in CoReleaseServerProcess; Wine's does not), and the server ends
// shortly after, once any call already on its way has been served.
void objectGone()
{
    if (CoReleaseServerProcess() != 0)
        return;
    CoSuspendClassObjects();
    if (classCookie) {
        CoRevokeClassObject(classCookie);
        classCookie = 0;
    }
    SetTimer(nullptr, 0, 500, quitIfIdle);
}

// A busy application: refuses the calls RejectNextCalls asked it to.
class BusyFilter : public IMessageFilter
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override
    {
        if (rejectNextCalls > 0 && info && IsEqualIID(info->iid, IID_IConference)) {
            --rejectNextCalls;
            return SERVERCALL_RETRYLATER;
        }
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return DWORD(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};
#else
void objectGone()
{
}
#endif

} // namespace

#ifdef CONFERENCE_TEST_SERVER_EXE

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    moduleInstance = instance;
    const std::wstring arguments = commandLine ? commandLine : L"";
    // /RegServerWithoutTypeLibrary: an installation that left the type library out.
    if (arguments.find(L"RegServerWithoutTypeLibrary") != std::wstring::npos)
        return SUCCEEDED(registerServer(false, false)) ? 0 : 1;
    if (arguments.find(L"RegServer") != std::wstring::npos && arguments.find(L"Unreg") == std::wstring::npos)
        return SUCCEEDED(registerServer(false)) ? 0 : 1;
    if (arguments.find(L"UnregServer") != std::wstring::npos)
        return SUCCEEDED(unregisterServer()) ? 0 : 1;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BusyFilter busy;
    CoRegisterMessageFilter(&busy, nullptr);
    if (FAILED(CoRegisterClassObject(CLSID_Conference, &factory, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &classCookie))
        || FAILED(CoResumeClassObjects()))
        return 2;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (classCookie)
        CoRevokeClassObject(classCookie);
    CoRegisterMessageFilter(nullptr, nullptr);
    CoUninitialize();
    return 0;
}

#else

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        moduleInstance = instance;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void **object)
{
    if (!IsEqualCLSID(clsid, CLSID_Conference)) {
        *object = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow()
{
    return objectsAlive == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    return registerServer(true);
}

STDAPI DllUnregisterServer()
{
    return unregisterServer();
}

#endif
