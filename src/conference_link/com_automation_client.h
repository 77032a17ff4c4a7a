#pragma once

// The conference application's automation object, driven through Win32 COM.
// Plain C++ with no Qt, so that it builds with any Windows compiler and is
// tested under Wine against a test server of our own.

#include "conference_link/com_call_worker.h"
#include "conference_link/com_event_sink.h"
#include "conference_link/com_message_filter.h"
#include "windows/com_owners.h"
#include "runtime/error_number.h"

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <ole2.h>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

class ComEventSink;

// The window thread's membership of a single-threaded apartment, for the
// link's lifetime. Refuses (ComError 429) a thread that is already in the
// multithreaded apartment: the conference's events could not reach it in order.
class ComApartment
{
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;

private:
    bool m_initialised = false;
};

// A failure of the conference link as the operator sees it (the Qt-free
// twin of AppError): a classic run-time number (429 creation, 462 the
// server has gone, 440 any other automation error), a description in
// Portuguese, and whether the application is busy (it refused the call or
// did not answer in time: busy or slow, not gone, the program goes on).
class ComError : public std::runtime_error
{
public:
    ComError(ErrorNumber number, std::wstring description, bool busy = false);

    ErrorNumber number() const noexcept { return m_number; }
    const std::wstring &description() const noexcept { return m_description; }
    bool busy() const noexcept { return m_busy; }

private:
    ErrorNumber m_number;
    std::wstring m_description;
    bool m_busy;
};

// The one place a failed HRESULT becomes Velmora's error, with its number and
// words: creating the object, at the step named (429, with what the operator
// can do about it), or a call on it (462 when the application has gone, busy
// when it refused or did not answer in time, 440 for anything else, the
// application's own explanation after the system's).
ComError creationError(HRESULT hr, const wchar_t *step);
ComError callError(HRESULT hr, const wchar_t *what, const std::wstring &applicationSays = std::wstring());
// The object cannot be used as designed, for the reason given (429).
ComError notAsDesigned(const std::wstring &why);

class ComAutomationClient
{
public:
    using ChatTextHandler = std::function<void(const std::wstring &stexto)>;

    // The identifiers of the real application's class and interfaces.
    static const CLSID ClassId;
    static const IID DefaultInterfaceId;
    static const IID EventInterfaceId;
    // Positions in the default interface's virtual table, counting from
    // QueryInterface = 0.
    static constexpr int ReceivingAudioSlot = 13;
    static constexpr int SendChatTextSlot = 40;
    static constexpr DISPID FallbackChatDispId = 1;
    // At exit, no call waits on the application longer than this, and none
    // at all once it has stopped answering.
    static constexpr DWORD ExitLimitMs = 1500;

    // Why the default interface described by typeInfo (from the application's
    // type library) cannot be driven through slots 13 and 40 as designed, or
    // nothing when it can.
    static std::wstring signatureProblem(ITypeInfo *typeInfo);

    // Creates the object (in-process or local server) and connects to its
    // events; throws ComError 429 when it cannot, or when the calling thread
    // is not a single-threaded apartment. The thread must pump messages:
    // events arrive while it does.
    explicit ComAutomationClient(ChatTextHandler onChatText);
    // Drops the event connection first, then the object; never waits long on
    // an application that has stopped answering: what it could not release
    // is left behind, and the process is to end without COM's own clean-up,
    // which would call on the application (velmora.exe and the bridge do).
    ~ComAutomationClient();

    ComAutomationClient(const ComAutomationClient &) = delete;
    ComAutomationClient &operator=(const ComAutomationClient &) = delete;

    void sendChatText(const std::wstring &text);
    // The receive-audio state, asked without waiting: false when a question
    // is still out (it is not asked twice). answerReady() is set once the
    // answer is in; receivingAudioAnswer() gives it (the raw 16-bit truth
    // value: any non-zero value means audio) or throws the call's ComError,
    // busy while no answer has come.
    bool askReceivingAudio();
    HANDLE answerReady() const;
    short receivingAudioAnswer() const;
    // The same, waited for (up to the call limit).
    short receivingAudio();

    // How long a call may wait on the application, refusals retried
    // included (the call limit unless set lower).
    void setCallLimit(DWORD milliseconds) noexcept { m_limitMs = milliseconds; }

    // The DISPID taken for ChatTextReceived, as discovered.
    DISPID chatDispId() const noexcept { return m_chatDispId; }

private:
    DISPID discoverChatDispId() const;
    void checkSignatures() const;
    // The outcome of a call made; throws ComError for a failure.
    void checked(HRESULT hr, const wchar_t *what) const;

    ComApartment m_apartment;
    ComMessageFilter m_filter;
    // At the end, the limit every last call on the application waits under:
    // set as the end begins, it goes after every member below has let go.
    std::optional<ComMessageFilter::Limit> m_exiting;
    ComRef<IUnknown> m_conference; // the default interface
    bool m_supportsErrorInfo = false;
    ComRef<IConnectionPoint> m_connectionPoint;
    ComRef<ComEventSink> m_sink;
    DWORD m_cookie = 0;
    DISPID m_chatDispId = FallbackChatDispId;
    DWORD m_limitMs = DWORD(CallLimitMs);
    std::unique_ptr<ComCallWorker> m_worker;
    // Where the question out writes its answer.
    std::shared_ptr<VARIANT_BOOL> m_audio;
};
