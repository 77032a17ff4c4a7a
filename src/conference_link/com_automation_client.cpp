#include "conference_link/com_automation_client.h"

#include "conference_link/com_event_sink.h"

#include <oaidl.h>
#include <ocidl.h>
#include <oleauto.h>

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

template <typename T>
void release(T *&pointer)
{
    if (pointer) {
        pointer->Release();
        pointer = nullptr;
    }
}

// The first member of the event interface that is not restricted.
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

} // namespace

ComError::ComError(ErrorNumber number, HRESULT hr, std::wstring description)
    : std::runtime_error(narrow(description)), m_number(number), m_hr(hr), m_description(std::move(description))
{
}

void ComAutomationClient::fail(HRESULT hr, const wchar_t *what) const
{
    if (meansServerGone(hr)) {
        throw ComError(ErrorNumber::ServerUnavailable, hr,
                       std::wstring(L"A máquina do servidor remoto não existe ou não está disponível: o aplicativo "
                                    L"de conferência não responde mais ao ")
                           + what + L" (" + systemMessage(hr) + L").");
    }
    throw ComError(ErrorNumber::AutomationError, hr,
                   std::wstring(L"Erro de automação ao ") + what + L" (" + systemMessage(hr) + L").");
}

ComAutomationClient::ComAutomationClient(ChatTextHandler onChatText)
{
    // The window thread is a single-threaded apartment; Qt has usually made
    // it one already, and then this only counts one more use.
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_comInitialised = SUCCEEDED(init);

    auto cannotCreate = [this](HRESULT hr, const wchar_t *step) {
        release(m_conference);
        if (m_comInitialised)
            CoUninitialize();
        return ComError(ErrorNumber::CannotCreateObject, hr,
                        std::wstring(L"O componente ActiveX não pode criar o objeto: ") + step + L" ("
                            + systemMessage(hr) + L"). Verifique se o aplicativo de conferência está instalado.");
    };

    IUnknown *unknown = nullptr;
    HRESULT hr = CoCreateInstance(ClassId, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  reinterpret_cast<void **>(&unknown));
    if (FAILED(hr))
        throw cannotCreate(hr, L"o aplicativo de conferência não está registrado ou não pôde ser iniciado");
    hr = unknown->QueryInterface(DefaultInterfaceId, reinterpret_cast<void **>(&m_conference));
    unknown->Release();
    if (FAILED(hr))
        throw cannotCreate(hr, L"o objeto não oferece a interface da conferência");

    m_chatDispId = discoverChatDispId();

    IConnectionPointContainer *container = nullptr;
    hr = m_conference->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void **>(&container));
    if (SUCCEEDED(hr)) {
        hr = container->FindConnectionPoint(EventInterfaceId, &m_connectionPoint);
        container->Release();
    }
    if (FAILED(hr))
        throw cannotCreate(hr, L"o objeto não oferece os eventos da conferência");
    m_sink = new ComEventSink(EventInterfaceId, m_chatDispId, std::move(onChatText));
    hr = m_connectionPoint->Advise(static_cast<IDispatch *>(m_sink), &m_cookie);
    if (FAILED(hr)) {
        release(m_connectionPoint);
        m_sink->detach();
        release(m_sink);
        throw cannotCreate(hr, L"não foi possível assinar os eventos da conferência");
    }
}

ComAutomationClient::~ComAutomationClient()
{
    m_sink->detach();
    // When the server has already gone these fail at once; nothing waits.
    if (m_connectionPoint) {
        m_connectionPoint->Unadvise(m_cookie);
        release(m_connectionPoint);
    }
    CoDisconnectObject(static_cast<IDispatch *>(m_sink), 0);
    release(m_sink);
    release(m_conference);
    if (m_comInitialised)
        CoUninitialize();
}

DISPID ComAutomationClient::discoverChatDispId()
{
    DISPID found = FallbackChatDispId;

    // The object's own type information, its library, and in it the event
    // interface.
    IDispatch *dispatch = nullptr;
    if (SUCCEEDED(m_conference->QueryInterface(IID_IDispatch, reinterpret_cast<void **>(&dispatch)))) {
        ITypeInfo *info = nullptr;
        if (SUCCEEDED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info)) && info) {
            ITypeLib *library = nullptr;
            UINT index = 0;
            if (SUCCEEDED(info->GetContainingTypeLib(&library, &index)) && library) {
                ITypeInfo *events = nullptr;
                if (SUCCEEDED(library->GetTypeInfoOfGuid(EventInterfaceId, &events)) && events) {
                    const bool ok = firstEventMember(events, &found);
                    events->Release();
                    if (ok) {
                        library->Release();
                        info->Release();
                        dispatch->Release();
                        return found;
                    }
                }
                library->Release();
            }
            info->Release();
        }
        dispatch->Release();
    }

    // The class's default source interface.
    IProvideClassInfo *provider = nullptr;
    if (SUCCEEDED(m_conference->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void **>(&provider)))) {
        ITypeInfo *classInfo = nullptr;
        if (SUCCEEDED(provider->GetClassInfo(&classInfo)) && classInfo) {
            TYPEATTR *attributes = nullptr;
            if (SUCCEEDED(classInfo->GetTypeAttr(&attributes))) {
                const WORD interfaces = attributes->cImplTypes;
                classInfo->ReleaseTypeAttr(attributes);
                for (WORD i = 0; i < interfaces; ++i) {
                    INT flags = 0;
                    if (FAILED(classInfo->GetImplTypeFlags(i, &flags)))
                        continue;
                    if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
                        != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
                        continue;
                    HREFTYPE reference = 0;
                    ITypeInfo *events = nullptr;
                    if (SUCCEEDED(classInfo->GetRefTypeOfImplType(i, &reference))
                        && SUCCEEDED(classInfo->GetRefTypeInfo(reference, &events)) && events) {
                        firstEventMember(events, &found);
                        events->Release();
                    }
                    break;
                }
            }
            classInfo->Release();
        }
        provider->Release();
    }
    return found;
}

void ComAutomationClient::sendChatText(const std::wstring &text)
{
    using SendChatText = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, BSTR);
    // Built with its length: embedded NULs and surrogate pairs go as they are.
    BSTR argument = SysAllocStringLen(text.data(), UINT(text.size()));
    if (!argument)
        fail(E_OUTOFMEMORY, L"enviar o texto");
    void **table = *reinterpret_cast<void ***>(m_conference);
    const HRESULT hr = reinterpret_cast<SendChatText>(table[SendChatTextSlot])(m_conference, argument);
    SysFreeString(argument);
    if (FAILED(hr))
        fail(hr, L"enviar o texto");
}

short ComAutomationClient::receivingAudio()
{
    using GetReceivingAudio = HRESULT(STDMETHODCALLTYPE *)(IUnknown *, VARIANT_BOOL *);
    VARIANT_BOOL value = 0;
    void **table = *reinterpret_cast<void ***>(m_conference);
    const HRESULT hr = reinterpret_cast<GetReceivingAudio>(table[ReceivingAudioSlot])(m_conference, &value);
    if (FAILED(hr))
        fail(hr, L"ler o estado de recepção de áudio");
    return value;
}
