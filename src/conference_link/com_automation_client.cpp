#include "conference_link/com_automation_client.h"

#include <olectl.h>

#include <memory>
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

// The description the server left for the call that just failed, if any.
std::wstring serverDescription()
{
    ComRef<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info)
        return {};
    Bstr description;
    if (FAILED(info->GetDescription(description.put())))
        return {};
    return description.text();
}

// The first member of an event interface that is not restricted.
bool firstEventMember(ITypeInfo *events, DISPID *dispId)
{
    const TypeAttr attributes(events);
    if (!attributes)
        return false;
    for (WORD i = 0; i < attributes->cFuncs; ++i) {
        const FuncDesc function(events, i);
        if (function && !(function->wFuncFlags & FUNCFLAG_FRESTRICTED)) {
            *dispId = function->memid;
            return true;
        }
    }
    return false;
}

// The event interface through the object's own type information and its library.
ComRef<ITypeInfo> eventsFromTypeLibrary(IUnknown *object, const IID &eventInterface)
{
    ComRef<ITypeInfo> events;
    ComRef<IDispatch> dispatch;
    ComRef<ITypeInfo> info;
    ComRef<ITypeLib> library;
    UINT index = 0;
    if (FAILED(object->QueryInterface(IID_IDispatch, dispatch.putVoid()))
        || FAILED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) || !info
        || FAILED(info->GetContainingTypeLib(library.put(), &index)) || !library
        || FAILED(library->GetTypeInfoOfGuid(eventInterface, events.put())))
        return ComRef<ITypeInfo>();
    return events;
}

// The class's default source interface, through its class information.
ComRef<ITypeInfo> eventsFromClassInfo(IUnknown *object, const IID &eventInterface)
{
    ComRef<ITypeInfo> events;
    ComRef<IProvideClassInfo> provider;
    ComRef<ITypeInfo> classInfo;
    if (FAILED(object->QueryInterface(IID_IProvideClassInfo, provider.putVoid()))
        || FAILED(provider->GetClassInfo(classInfo.put())) || !classInfo)
        return events;
    const TypeAttr attributes(classInfo.get());
    if (!attributes)
        return events;
    constexpr INT defaultSource = IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE;
    for (WORD i = 0; i < attributes->cImplTypes; ++i) {
        INT flags = 0;
        HREFTYPE reference = 0;
        if (SUCCEEDED(classInfo->GetImplTypeFlags(i, &flags)) && (flags & defaultSource) == defaultSource
            && SUCCEEDED(classInfo->GetRefTypeOfImplType(i, &reference))) {
            if (FAILED(classInfo->GetRefTypeInfo(reference, events.put())))
                return ComRef<ITypeInfo>();
            const TypeAttr source(events.get());
            if (source && !IsEqualGUID(source->guid, eventInterface))
                throw notAsDesigned(L"os seus eventos são outros");
            break;
        }
    }
    return events;
}

// The default interface's description in its vtable form (a dual
// interface's type information is its dispatch form).
ComRef<ITypeInfo> vtableForm(ITypeInfo *info)
{
    ComRef<ITypeInfo> form;
    const TypeAttr attributes(info);
    if (!attributes)
        return form;
    if (attributes->typekind == TKIND_INTERFACE) {
        info->AddRef();
        *form.put() = info;
    } else if (HREFTYPE reference = 0; attributes->typekind == TKIND_DISPATCH
                                       && SUCCEEDED(info->GetRefTypeOfImplType(-1, &reference))
                                       && FAILED(info->GetRefTypeInfo(reference, form.put()))) {
        form.reset();
    }
    return form;
}

// A parameter's type, looking through one pointer.
VARTYPE pointee(const TYPEDESC &type)
{
    return type.vt == VT_PTR && type.lptdesc ? type.lptdesc->vt : VARTYPE(VT_EMPTY);
}

} // namespace

ComError::ComError(ErrorNumber number, std::wstring description, bool busy)
    : std::runtime_error(narrow(description)), m_number(number), m_description(std::move(description)), m_busy(busy)
{
}

ComError creationError(HRESULT hr, const wchar_t *step)
{
    return ComError(ErrorNumber::CannotCreateObject, std::wstring(linkWords(ErrorNumber::CannotCreateObject)) + L": "
                                                         + step + L" (" + systemMessage(hr) + L"); "
                                                         + registrationAdvice(hr));
}

ComError callError(HRESULT hr, const wchar_t *what, const std::wstring &applicationSays)
{
    const std::wstring detail = systemMessage(hr)
                                + (applicationSays.empty() ? L"" : L"; o aplicativo diz: " + applicationSays);
    switch (hr) {
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
        return ComError(ErrorNumber::ServerUnavailable,
                        std::wstring(linkWords(ErrorNumber::ServerUnavailable))
                            + L": o aplicativo de conferência não responde mais ao pedido de " + what + L" (" + detail
                            + L").");
    case RPC_E_CALL_REJECTED:
    case RPC_E_CALL_CANCELED:
    case RPC_E_SERVERCALL_RETRYLATER:
    case RPC_E_SERVERCALL_REJECTED:
    case RPC_E_TIMEOUT:
        return ComError(
            ErrorNumber::AutomationError,
            std::wstring(BusyWords) + L": não atendeu a tempo ao pedido de " + what + L" (" + detail + L").", true);
    default:
        return ComError(ErrorNumber::AutomationError, std::wstring(linkWords(ErrorNumber::AutomationError)) + L" ao "
                                                          + what + L" (" + detail + L").");
    }
}

ComError notAsDesigned(const std::wstring &why)
{
    return ComError(ErrorNumber::CannotCreateObject,
                    std::wstring(linkWords(ErrorNumber::CannotCreateObject))
                        + L": o aplicativo de conferência instalado não é de uma versão que o Velmora conheça (" + why
                        + L").");
}

ComApartment::ComApartment()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr == RPC_E_CHANGED_MODE) {
        throw ComError(ErrorNumber::CannotCreateObject,
                       std::wstring(linkWords(ErrorNumber::CannotCreateObject))
                           + L": a janela precisa de um apartamento de thread único (STA) para receber os eventos do "
                             L"aplicativo de conferência, e esta thread está num apartamento multithread ("
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

void ComAutomationClient::checked(HRESULT hr, const wchar_t *what) const
{
    if (FAILED(hr))
        throw callError(hr, what, m_supportsErrorInfo ? serverDescription() : std::wstring());
}

ComAutomationClient::ComAutomationClient(ChatTextHandler onChatText)
{
    ComRef<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(ClassId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  unknown.putVoid());
    if (FAILED(hr))
        throw creationError(hr, L"o aplicativo de conferência não está registrado ou não pôde ser iniciado");
    hr = unknown.queryInto(DefaultInterfaceId, m_conference);
    if (FAILED(hr))
        throw creationError(hr, L"o objeto não oferece a interface da conferência");

    checkSignatures();

    ComRef<ISupportErrorInfo> errorInfo;
    m_supportsErrorInfo = SUCCEEDED(m_conference.queryInto(IID_ISupportErrorInfo, errorInfo))
                          && errorInfo->InterfaceSupportsErrorInfo(DefaultInterfaceId) == S_OK;
    m_chatDispId = discoverChatDispId();

    ComRef<IConnectionPointContainer> container;
    hr = m_conference.queryInto(IID_IConnectionPointContainer, container);
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(EventInterfaceId, m_connectionPoint.put());
    if (FAILED(hr))
        throw creationError(hr, L"o objeto não oferece os eventos da conferência");
    *m_sink.put() = new ComEventSink(EventInterfaceId, m_chatDispId, std::move(onChatText));
    hr = m_connectionPoint->Advise(static_cast<IDispatch *>(m_sink.get()), &m_cookie);
    if (FAILED(hr)) {
        m_sink->detach();
        throw creationError(hr, L"não foi possível assinar os eventos da conferência");
    }
    m_worker = std::make_unique<ComCallWorker>(m_conference.get(), DefaultInterfaceId, m_connectionPoint.get());
}

ComAutomationClient::~ComAutomationClient()
{
    // No event is handed on from here; the connection goes before the object.
    // When the server has already gone these fail at once. One that does not
    // answer is waited on briefly, then left to the process's end: releasing
    // what it holds would be calls on it too.
    m_sink->detach();
    m_exiting.emplace(ExitLimitMs);
    const DWORD cookie = m_cookie;
    const HRESULT hr = m_worker->run(
        [cookie](IUnknown *, IConnectionPoint *events) { return events->Unadvise(cookie); }, ExitLimitMs,
        ComMessageFilter::RetryDelayMs);
    const bool unanswered = hr == RPC_E_CALL_CANCELED;
    m_worker.reset();
    CoDisconnectObject(static_cast<IDispatch *>(m_sink.get()), 0);
    m_sink.reset();
    if (unanswered) {
        m_connectionPoint.abandon();
        m_conference.abandon();
    }
}

void ComAutomationClient::checkSignatures() const
{
    ComRef<IDispatch> dispatch;
    ComRef<ITypeInfo> info;
    if (FAILED(m_conference.queryInto(IID_IDispatch, dispatch))
        || FAILED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())) || !info)
        return; // no type library loaded: nothing to compare with
    const std::wstring problem = signatureProblem(info.get());
    if (!problem.empty())
        throw notAsDesigned(problem);
}

std::wstring ComAutomationClient::signatureProblem(ITypeInfo *typeInfo)
{
    const ComRef<ITypeInfo> form = vtableForm(typeInfo);
    const TypeAttr attributes(form.get());
    if (!attributes)
        return L"a interface da conferência não está descrita";
    if (!IsEqualGUID(attributes->guid, DefaultInterfaceId))
        return L"a interface da conferência é outra";
    const WORD functions = attributes->cFuncs;
    // The table's entries are as wide as the server's pointers, which a
    // 32-bit application's type library describes for 32 bits: seven
    // entries of IDispatch, then the interface's own.
    SHORT entry = SHORT(sizeof(void *));
    for (const SHORT width : {SHORT(4), SHORT(8)}) {
        if (attributes->cbSizeVft == width * (7 + functions))
            entry = width;
    }
    bool audioFound = false;
    bool sendFound = false;
    std::wstring problem;
    for (WORD i = 0; i < functions && problem.empty(); ++i) {
        const FuncDesc function(form.get(), i);
        if (!function)
            continue;
        const int slot = int(function->oVft / entry);
        // A method of the form designed: one parameter, an HRESULT back.
        const TYPEDESC *parameter = function->callconv == CC_STDCALL && function->elemdescFunc.tdesc.vt == VT_HRESULT
                                            && function->cParams == 1
                                        ? &function->lprgelemdescParam[0].tdesc
                                        : nullptr;
        if (slot == ReceivingAudioSlot) {
            audioFound = true;
            const VARTYPE value = parameter ? pointee(*parameter) : VARTYPE(VT_EMPTY);
            if (function->invkind != INVOKE_PROPERTYGET || (value != VT_BOOL && value != VT_I2))
                problem = L"a posição 13 não é a leitura de um inteiro de 16 bits";
        } else if (slot == SendChatTextSlot) {
            sendFound = true;
            if (function->invkind != INVOKE_FUNC || !parameter || parameter->vt != VT_BSTR)
                problem = L"a posição 40 não é um método que recebe um texto";
        }
    }
    if (problem.empty() && (!audioFound || !sendFound))
        problem = L"faltam as posições 13 e 40 da interface da conferência";
    return problem;
}

DISPID ComAutomationClient::discoverChatDispId() const
{
    DISPID found = FallbackChatDispId;
    if (const ComRef<ITypeInfo> events = eventsFromTypeLibrary(m_conference.get(), EventInterfaceId);
        events && firstEventMember(events.get(), &found))
        return found;
    if (const ComRef<ITypeInfo> events = eventsFromClassInfo(m_conference.get(), EventInterfaceId); events)
        firstEventMember(events.get(), &found);
    return found;
}

void ComAutomationClient::sendChatText(const std::wstring &text)
{
    // What the call needs is its own: it may end after this has given up on it.
    const auto call = [text](IUnknown *conference, IConnectionPoint *) {
        using SendChatText = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, BSTR);
        const Bstr argument(text);
        if (!argument.get())
            return E_OUTOFMEMORY;
        void **table = *reinterpret_cast<void ***>(conference);
        return reinterpret_cast<SendChatText>(table[SendChatTextSlot])(conference, argument.get());
    };
    checked(m_worker->run(call, m_limitMs, ComMessageFilter::RetryDelayMs), L"enviar o texto");
}

bool ComAutomationClient::askReceivingAudio()
{
    // The answer's place is the call's own: it may end after the window has
    // stopped waiting for it.
    const auto value = std::make_shared<VARIANT_BOOL>(0);
    const auto call = [value](IUnknown *conference, IConnectionPoint *) {
        using GetReceivingAudio = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, VARIANT_BOOL *);
        void **table = *reinterpret_cast<void ***>(conference);
        return reinterpret_cast<GetReceivingAudio>(table[ReceivingAudioSlot])(conference, value.get());
    };
    if (!m_worker->start(call, m_limitMs, ComMessageFilter::RetryDelayMs))
        return false;
    m_audio = value;
    return true;
}

HANDLE ComAutomationClient::answerReady() const
{
    return m_worker->ended();
}

short ComAutomationClient::receivingAudioAnswer() const
{
    checked(m_worker->result(), L"ler o estado de recepção de áudio");
    return m_audio ? *m_audio : 0;
}

short ComAutomationClient::receivingAudio()
{
    if (askReceivingAudio()) {
        HANDLE ready = answerReady();
        DWORD index = 0;
        CoWaitForMultipleHandles(0, m_limitMs, 1, &ready, &index);
    }
    return receivingAudioAnswer();
}
