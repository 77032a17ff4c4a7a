#pragma once

// The conference application's automation object, driven through Win32 COM.
// Plain C++ with no Qt, so that it builds with any Windows compiler and is
// tested under Wine against a test server of our own.

#include "runtime/error_number.h"

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <ole2.h>

#include <functional>
#include <stdexcept>
#include <string>

class ComEventSink;

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
    // events; throws ComError 429 when it cannot. Must be called on a thread
    // that pumps messages: events arrive while it does.
    explicit ComAutomationClient(ChatTextHandler onChatText);
    ~ComAutomationClient();

    ComAutomationClient(const ComAutomationClient &) = delete;
    ComAutomationClient &operator=(const ComAutomationClient &) = delete;

    void sendChatText(const std::wstring &text);
    // The raw 16-bit truth value: any non-zero value means audio.
    short receivingAudio();

    // The DISPID taken for ChatTextReceived, as discovered.
    DISPID chatDispId() const noexcept { return m_chatDispId; }

private:
    DISPID discoverChatDispId();
    [[noreturn]] void fail(HRESULT hr, const wchar_t *what) const;

    bool m_comInitialised = false;
    IUnknown *m_conference = nullptr; // the default interface
    IConnectionPoint *m_connectionPoint = nullptr;
    ComEventSink *m_sink = nullptr;
    DWORD m_cookie = 0;
    DISPID m_chatDispId = FallbackChatDispId;
};
