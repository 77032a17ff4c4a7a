#include "conference_link/com_automation_client.h"

#include <olectl.h>

#include <string>

// {D1FB3C9A-BB2D-446A-A74A-E771F134ED56}
const CLSID ComAutomationClient::ClassId = {
    0xD1FB3C9A, 0xBB2D, 0x446A, {0xA7, 0x4A, 0xE7, 0x71, 0xF1, 0x34, 0xED, 0x56}};
// {7733112C-4577-4432-9DB0-A9398184EAF6}
const IID ComAutomationClient::DefaultInterfaceId = {
    0x7733112C, 0x4577, 0x4432, {0x9D, 0xB0, 0xA9, 0x39, 0x81, 0x84, 0xEA, 0xF6}};
// {6F55F7AF-8DA6-400F-96EB-C371F0311611}
const IID ComAutomationClient::EventInterfaceId = {
    0x6F55F7AF, 0x8DA6, 0x400F, {0x96, 0xEB, 0xC3, 0x71, 0xF0, 0x31, 0x16, 0x11}};

namespace {

std::string narrow(const std::wstring &text)
{
    std::string out;
    for (wchar_t c : text)
        out += (c < 0x80) ? char(c) : '?';
    return out;
}

std::wstring systemMessage(HRESULT hr)
{
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, DWORD(hr), 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    std::wstring message = length ? std::wstring(buffer, length) : std::wstring();
    if (buffer)
        LocalFree(buffer);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return message.empty() ? std::wstring(code) : message + L" (" + code + L")";
}

// The server process has gone or cannot be reached.
bool meansServerGone(HRESULT hr)
{
    switch (hr) {
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
        return true;
    default:
        return false;
    }
}

// Creation failed because the application's registration is incomplete:
// what an operator can do about it, in words of their own.
const wchar_t *registrationAdvice(HRESULT hr)
{
    switch (hr) {
    case REGDB_E_CLASSNOTREG:
        return L"o aplicativo de conferência não está instalado, ou a sua instalação não registrou o servidor de "
               L"automação. Instale (ou reinstale) o aplicativo de conferência e tente de novo.";
    case E_NOINTERFACE:
    case REGDB_E_IIDNOTREG:
    case TYPE_E_LIBNOTREGISTERED:
        return L"o aplicativo de conferência está instalado, mas o registro da sua interface de automação está "
               L"incompleto (a biblioteca de tipos não está registrada). Reinstale o aplicativo de conferência.";
    case CONNECT_E_CANNOTCONNECT:
        return L"o aplicativo de conferência não aceitou entregar as mensagens do chat a esta janela; o registro da "
               L"sua interface de eventos pode estar incompleto. Reinstale o aplicativo de conferência.";
    default:
        return L"verifique se o aplicativo de conferência está instalado.";
    }
}

[[noreturn]] void cannotCreate(HRESULT hr, const wchar_t *step)
{
    throw ComError(ErrorNumber::CannotCreateObject, hr,
                   std::wstring(L"O componente ActiveX não pode criar o objeto: ") + step + L" (" + systemMessage(hr)
                       + L"); " + registrationAdvice(hr));
}

// The description the server left for the call that just failed, if any.
std::wstring serverDescription()
{
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info)
        return {};
    Bstr description;
    info->GetDescription(description.put());
    return description.text();
}

// The first member of an event interface that is not restricted.
bool firstEventMember(ITypeInfo *events, DISPID *dispId)
{
    TYPEATTR *attributes = nullptr;
    if (FAILED(events->GetTypeAttr(&attributes)))
        return false;
    const WORD functions = attributes->cFuncs;
    events->ReleaseTypeAttr(attributes);
    for (WORD i = 0; i < functions; ++i) {
        FUNCDESC *function = nullptr;
        if (FAILED(events->GetFuncDesc(i, &function)))
            continue;
        const bool restricted = function->wFuncFlags & FUNCFLAG_FRESTRICTED;
        const DISPID id = function->memid;
        events->ReleaseFuncDesc(function);
        if (!restricted) {
            *dispId = id;
            return true;
        }
    }
    return false;
}

// The event interface through the object's own type information and its library.
ComPtr<ITypeInfo> eventsFromTypeLibrary(IUnknown *object, const IID &eventInterface)
{
    ComPtr<ITypeInfo> events;
    ComPtr<IDispatch> dispatch;
    ComPtr<ITypeInfo> info;
    ComPtr<ITypeLib> library;
    UINT index = 0;
    if (FAILED(object->QueryInterface(IID_IDispatch, dispatch.putVoid()))
        || FAILED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) || !info
        || FAILED(info->GetContainingTypeLib(library.put(), &index)) || !library)
        return events;
    library->GetTypeInfoOfGuid(eventInterface, events.put());
    return events;
}

// The class's default source interface, through its class information.
ComPtr<ITypeInfo> eventsFromClassInfo(IUnknown *object)
{
    ComPtr<ITypeInfo> events;
    ComPtr<IProvideClassInfo> provider;
    ComPtr<ITypeInfo> classInfo;
    TYPEATTR *attributes = nullptr;
    if (FAILED(object->QueryInterface(IID_IProvideClassInfo, provider.putVoid()))
        || FAILED(provider->GetClassInfo(classInfo.put())) || !classInfo || FAILED(classInfo->GetTypeAttr(&attributes)))
        return events;
    const WORD interfaces = attributes->cImplTypes;
    classInfo->ReleaseTypeAttr(attributes);
    constexpr INT defaultSource = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
    for (WORD i = 0; i < interfaces; ++i) {
        INT flags = 0;
        HREFTYPE reference = 0;
        if (SUCCEEDED(classInfo->GetImplTypeFlags(i, &flags)) && (flags & defaultSource) == defaultSource
            && SUCCEEDED(classInfo->GetRefTypeOfImplType(i, &reference))) {
            classInfo->GetRefTypeInfo(reference, events.put());
            break;
        }
    }
    return events;
}

} // namespace

ComError::ComError(ErrorNumber number, HRESULT hr, std::wstring description)
    : std::runtime_error(narrow(description)), m_number(number), m_hr(hr), m_description(std::move(description))
{
}

ComApartment::ComApartment()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr == RPC_E_CHANGED_MODE) {
        throw ComError(ErrorNumber::CannotCreateObject, hr,
                       L"O componente ActiveX não pode criar o objeto: a janela precisa de um apartamento de thread "
                       L"único (STA) para receber os eventos do aplicativo de conferência, e esta thread está num "
                       L"apartamento multithread ("
                           + systemMessage(hr) + L").");
    }
    // Qt has usually made the window thread one already; this counts one more use.
    m_initialised = SUCCEEDED(hr);
}

ComApartment::~ComApartment()
{
    if (m_initialised)
        CoUninitialize();
}

void ComAutomationClient::fail(HRESULT hr, const wchar_t *what) const
{
    const std::wstring server = m_supportsErrorInfo ? serverDescription() : std::wstring();
    const std::wstring detail = systemMessage(hr) + (server.empty() ? L"" : L"; o aplicativo diz: " + server);
    if (meansServerGone(hr)) {
        throw ComError(ErrorNumber::ServerUnavailable, hr,
                       std::wstring(L"A máquina do servidor remoto não existe ou não está disponível: o aplicativo "
                                    L"de conferência não responde mais ao ")
                           + what + L" (" + detail + L").");
    }
    throw ComError(ErrorNumber::AutomationError, hr,
                   std::wstring(L"Erro de automação ao ") + what + L" (" + detail + L").");
}

ComAutomationClient::ComAutomationClient(ChatTextHandler onChatText)
{
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(ClassId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  unknown.putVoid());
    if (FAILED(hr))
        cannotCreate(hr, L"o aplicativo de conferência não está registrado ou não pôde ser iniciado");
    hr = unknown.queryInto(DefaultInterfaceId, m_conference);
    if (FAILED(hr))
        cannotCreate(hr, L"o objeto não oferece a interface da conferência");

    ComPtr<ISupportErrorInfo> errorInfo;
    m_supportsErrorInfo = SUCCEEDED(m_conference.queryInto(IID_ISupportErrorInfo, errorInfo))
                          && errorInfo->InterfaceSupportsErrorInfo(DefaultInterfaceId) == S_OK;
    m_chatDispId = discoverChatDispId();

    ComPtr<IConnectionPointContainer> container;
    hr = m_conference.queryInto(IID_IConnectionPointContainer, container);
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(EventInterfaceId, m_connectionPoint.put());
    if (FAILED(hr))
        cannotCreate(hr, L"o objeto não oferece os eventos da conferência");
    *m_sink.put() = new ComEventSink(EventInterfaceId, m_chatDispId, std::move(onChatText));
    hr = m_connectionPoint->Advise(static_cast<IDispatch *>(m_sink.get()), &m_cookie);
    if (FAILED(hr)) {
        m_sink->detach();
        cannotCreate(hr, L"não foi possível assinar os eventos da conferência");
    }
}

ComAutomationClient::~ComAutomationClient()
{
    // No event is handed on from here; the connection goes before the object.
    // When the server has already gone these fail at once; nothing waits.
    m_sink->detach();
    m_connectionPoint->Unadvise(m_cookie);
    m_connectionPoint.reset();
    CoDisconnectObject(static_cast<IDispatch *>(m_sink.get()), 0);
    m_sink.reset();
    m_conference.reset();
}

DISPID ComAutomationClient::discoverChatDispId() const
{
    DISPID found = FallbackChatDispId;
    if (const ComPtr<ITypeInfo> events = eventsFromTypeLibrary(m_conference.get(), EventInterfaceId);
        events && firstEventMember(events.get(), &found))
        return found;
    if (const ComPtr<ITypeInfo> events = eventsFromClassInfo(m_conference.get()); events)
        firstEventMember(events.get(), &found);
    return found;
}

void ComAutomationClient::sendChatText(const std::wstring &text)
{
    using SendChatText = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, BSTR);
    const Bstr argument(text);
    if (!argument.get())
        fail(E_OUTOFMEMORY, L"enviar o texto");
    void **table = *reinterpret_cast<void ***>(m_conference.get());
    const HRESULT hr = reinterpret_cast<SendChatText>(table[SendChatTextSlot])(m_conference.get(), argument.get());
    if (FAILED(hr))
        fail(hr, L"enviar o texto");
}

short ComAutomationClient::receivingAudio()
{
    using GetReceivingAudio = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, VARIANT_BOOL *);
    VARIANT_BOOL value = 0;
    void **table = *reinterpret_cast<void ***>(m_conference.get());
    const HRESULT hr = reinterpret_cast<GetReceivingAudio>(table[ReceivingAudioSlot])(m_conference.get(), &value);
    if (FAILED(hr))
        fail(hr, L"ler o estado de recepção de áudio");
    return value;
}
