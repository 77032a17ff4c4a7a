#pragma once

// The conference application's automation object, driven through Win32 COM.
// Plain C++ with no Qt, so that it builds with any Windows compiler and is
// tested under Wine against a test server of our own.

#include "conference_link/com_event_sink.h"
#include "conference_link/com_message_filter.h"
#include "conference_link/com_raii.h"
#include "runtime/error_number.h"

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <ole2.h>

#include <functional>
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

// A failing HRESULT as the operator sees it: a classic run-time number
// (429 creation, 462 the server has gone, 440 any other automation error)
// and a description in Portuguese.
class ComError : public std::runtime_error
{
public:
    ComError(ErrorNumber number, HRESULT hr, std::wstring description);

    ErrorNumber number() const noexcept { return m_number; }
    HRESULT hresult() const noexcept { return m_hr; }
    const std::wstring &description() const noexcept { return m_description; }

private:
    ErrorNumber m_number;
    HRESULT m_hr;
    std::wstring m_description;
};

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

    // Creates the object (in-process or local server) and connects to its
    // events; throws ComError 429 when it cannot, or when the calling thread
    // is not a single-threaded apartment. The thread must pump messages:
    // events arrive while it does.
    explicit ComAutomationClient(ChatTextHandler onChatText);
    // Drops the event connection first, then the object.
    ~ComAutomationClient();

    ComAutomationClient(const ComAutomationClient &) = delete;
    ComAutomationClient &operator=(const ComAutomationClient &) = delete;

    void sendChatText(const std::wstring &text);
    // The raw 16-bit truth value: any non-zero value means audio.
    short receivingAudio();

    // The DISPID taken for ChatTextReceived, as discovered.
    DISPID chatDispId() const noexcept { return m_chatDispId; }

private:
    DISPID discoverChatDispId() const;
    [[noreturn]] void fail(HRESULT hr, const wchar_t *what) const;

    ComApartment m_apartment;
    ComMessageFilter m_filter;
    ComPtr<IUnknown> m_conference; // the default interface
    bool m_supportsErrorInfo = false;
    ComPtr<IConnectionPoint> m_connectionPoint;
    ComPtr<ComEventSink> m_sink;
    DWORD m_cookie = 0;
    DISPID m_chatDispId = FallbackChatDispId;
};
