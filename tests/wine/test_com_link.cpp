// The automation client against the test server, under Wine.
//   test_com_link unregistered   creation with nothing registered, and from a
//                                thread that is not a single-threaded apartment;
//                                what each failure of a call means
//   test_com_link incomplete     the class registered without its type library
//   test_com_link inproc|outproc round trips, raw truth values, events of every
//                                shape, every route of finding the event's
//                                DISPID, the server's error descriptions, no
//                                connection left behind; out of process also
//                                a busy server, a slow one, back-to-back
//                                creations and the message filter shared by
//                                two clients
//   test_com_link hung           a server that answers nothing: the call and
//                                the client's end are bounded
//   test_com_link killed         the server killed under the client
#include "conference_link/com_automation_client.h"
#include "conference_link/com_message_filter.h"
#include "conference_test_server.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char *what, const std::string &detail = {})
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAIL: %s %s\n", what, detail.c_str());
    }
    std::fflush(stdout);
}

// Pumps the thread's messages, as the window thread does, until done() or
// the time is up.
bool pumpUntil(const std::function<bool()> &done, int milliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

ComRef<ITestControl> control()
{
    ComRef<ITestControl> steering;
    const HRESULT hr = CoCreateInstance(CLSID_Conference, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                        IID_ITestControl, steering.putVoid());
    check(SUCCEEDED(hr) && steering, "the test server can be created");
    return steering;
}

std::wstring lastSent(ITestControl *steering)
{
    Bstr sent;
    steering->LastSent(sent.put());
    return sent.text();
}

bool contains(const std::vector<std::wstring> &texts, const std::wstring &text)
{
    for (const auto &t : texts)
        if (t == text)
            return true;
    return false;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Raises the chat event in every shape servers use, and some they should not:
// every text that can be converted arrives, and the server always hears S_OK.
void oddEvents(ITestControl *steering, const std::vector<std::wstring> &received)
{
    const wchar_t *expected[] = {L"odd 0", L"odd 1", L"odd 2", nullptr, L"odd 4", L"5", nullptr, L""};
    for (long kind = 0; kind < 8; ++kind) {
        const size_t before = received.size();
        steering->FireOdd(kind);
        long answer = -1;
        steering->LastSinkResult(&answer);
        check(answer == S_OK, "the sink answers S_OK to any event", "shape " + std::to_string(kind));
        pumpUntil([&] { return received.size() > before; }, expected[kind] ? 3000 : 200);
        if (expected[kind]) {
            check(received.size() == before + 1 && received.back() == expected[kind], "an event's text arrives",
                  "shape " + std::to_string(kind));
        } else {
            check(received.size() == before, "an event with no text brings nothing", "shape " + std::to_string(kind));
        }
    }
}

// The server's own description of a failed call goes into the error.
void serverDescriptions(ITestControl *steering, ComAutomationClient &client)
{
    const std::wstring why = L"o aplicativo está com um diálogo aberto";
    const Bstr description(why);
    steering->FailNextCall(description.get());
    try {
        client.sendChatText(L"recusado");
        check(false, "a failing call fails");
    } catch (const ComError &e) {
        check(toInt(e.number()) == 440, "a call the server fails is error 440", std::to_string(toInt(e.number())));
        check(e.description().find(why) != std::wstring::npos, "with the server's description in the report", e.what());
    }
}

// While a client lives its message filter is the thread's, and it retries a
// call a busy server refused for a few seconds only; it goes with the client.
void messageFilter(bool clientAlive)
{
    IMessageFilter *current = nullptr;
    CoRegisterMessageFilter(nullptr, &current); // takes it out, to look at it
    if (!clientAlive) {
        check(current == nullptr, "the message filter goes with the client");
        CoRegisterMessageFilter(current, nullptr);
        return;
    }
    check(current != nullptr, "the client installs a message filter on its thread");
    if (!current)
        return;
    check(current->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER) == ComMessageFilter::RetryDelayMs,
          "a call a busy server refused is retried");
    check(current->RetryRejectedCall(nullptr, DWORD(CallLimitMs), SERVERCALL_RETRYLATER) == DWORD(-1),
          "for a few seconds only");
    check(current->MessagePending(nullptr, 100, PENDINGTYPE_TOPLEVEL) == PENDINGMSG_WAITDEFPROCESS,
          "a call out is waited for");
    check(current->MessagePending(nullptr, DWORD(CallLimitMs), PENDINGTYPE_TOPLEVEL)
              == PENDINGMSG_CANCELCALL,
          "up to the limit only");
    check(current->RetryRejectedCall(nullptr, 0, SERVERCALL_REJECTED) == DWORD(-1),
          "a call refused for good is not retried");
    check(current->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr) == SERVERCALL_ISHANDLED,
          "the conference's events are always taken");
    CoRegisterMessageFilter(current, nullptr); // put back
}

// A busy server (a dialog open) refuses calls: they are retried for a few
// seconds, then fail as before. Where the COM in use does not carry out a
// server's refusal (Wine's asks the server's filter and then makes the call
// all the same), a refused call returns at once and this says so.
void busyServer(ITestControl *steering, ComAutomationClient &client)
{
    steering->RejectNextCalls(1);
    auto start = std::chrono::steady_clock::now();
    bool refused = false;
    try {
        client.receivingAudio();
    } catch (const ComError &) {
        refused = true;
    }
    check(!refused, "a call refused once is retried, not failed");
    long pending = -1;
    steering->PendingRejections(&pending);
    steering->RejectNextCalls(0);
    if (!refused && pending == 0 && secondsSince(start) < 0.05) {
        std::printf("busy server: not tried, this COM does not carry out a server's refusal\n");
        return;
    }
    steering->RejectNextCalls(3);
    start = std::chrono::steady_clock::now();
    try {
        client.receivingAudio();
        check(secondsSince(start) >= 0.2, "refused calls were retried", std::to_string(secondsSince(start)) + " s");
    } catch (const ComError &e) {
        check(false, "a server busy for a moment is waited out", e.what());
    }
    steering->RejectNextCalls(1000000);
    start = std::chrono::steady_clock::now();
    try {
        client.sendChatText(L"ocupado");
        check(false, "a server busy for good fails the call");
    } catch (const ComError &e) {
        const double seconds = secondsSince(start);
        check(toInt(e.number()) == 440, "a server busy for good is error 440", std::to_string(toInt(e.number())));
        check(seconds > 4.0 && seconds < 15.0, "after the few seconds of retrying", std::to_string(seconds) + " s");
    }
    steering->RejectNextCalls(0);
}

// A slow server: an answer within the limit is waited for; one that does not
// come in time fails the call as busy, and the client goes on.
void slowServer(ITestControl *steering, ComAutomationClient &client)
{
    steering->StallNextCall(1, 1500, 0);
    auto start = std::chrono::steady_clock::now();
    try {
        client.receivingAudio();
        check(secondsSince(start) >= 1.2, "a late answer is waited for", std::to_string(secondsSince(start)) + " s");
    } catch (const ComError &e) {
        check(false, "an answer within the limit is taken", e.what());
    }
    steering->StallNextCall(2, 60000, 0);
    start = std::chrono::steady_clock::now();
    try {
        client.sendChatText(L"sem resposta");
        check(false, "a call never answered fails");
    } catch (const ComError &e) {
        const double seconds = secondsSince(start);
        check(e.busy() && toInt(e.number()) == 440, "a call never answered is busy, not gone", e.what());
        check(seconds > 4.5 && seconds < 8.0, "after the limit", std::to_string(seconds) + " s");
    }
    steering->EndStall();
    pumpUntil([] { return false; }, 500); // the late answer comes back meanwhile
    try {
        client.sendChatText(L"depois");
        check(lastSent(steering) == L"depois", "the client goes on after a call that timed out");
    } catch (const ComError &e) {
        check(false, "the client goes on after a call that timed out", e.what());
    }
}

// Two clients on one thread share its message filter, whichever goes first;
// a filter registered over ours by somebody else is left in place.
void sharedFilter()
{
    const auto filterNow = [] {
        ComRef<IMessageFilter> current;
        CoRegisterMessageFilter(nullptr, current.put());
        CoRegisterMessageFilter(current.get(), nullptr);
        return current.get(); // compared only
    };
    auto first = std::make_unique<ComAutomationClient>([](const std::wstring &) {});
    IMessageFilter *ours = filterNow();
    auto second = std::make_unique<ComAutomationClient>([](const std::wstring &) {});
    first.reset();
    check(filterNow() == ours && ours != nullptr, "the filter stays while a client is left");
    second.reset();
    check(filterNow() == nullptr, "and goes with the last one");

    struct Foreign : IMessageFilter {
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override { return *object = this, S_OK; }
        ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
        ULONG STDMETHODCALLTYPE Release() override { return 1; }
        DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override { return 0; }
        DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return DWORD(-1); }
        DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
    } foreign;
    auto client = std::make_unique<ComAutomationClient>([](const std::wstring &) {});
    CoRegisterMessageFilter(&foreign, nullptr);
    client.reset();
    check(filterNow() == &foreign, "a filter registered over ours is left in place");
    CoRegisterMessageFilter(nullptr, nullptr);
}

// The application's description of the default interface is checked before
// slots 13 and 40 are called: the designed one passes, another does not.
void signatures(ITestControl *steering)
{
    ComRef<IDispatch> dispatch;
    ComRef<ITypeInfo> someInfo;
    ComRef<ITypeLib> library;
    ComRef<ITypeInfo> conferenceInfo;
    ComRef<ITypeInfo> controlInfo;
    UINT index = 0;
    if (FAILED(steering->QueryInterface(IID_IDispatch, dispatch.putVoid()))
        || FAILED(dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, someInfo.put()))
        || FAILED(someInfo->GetContainingTypeLib(library.put(), &index))
        || FAILED(library->GetTypeInfoOfGuid(IID_IConference, conferenceInfo.put()))
        || FAILED(library->GetTypeInfoOfGuid(IID_ITestControl, controlInfo.put()))) {
        check(false, "the test server's type library is at hand");
        return;
    }
    check(ComAutomationClient::signatureProblem(conferenceInfo.get()).empty(), "the designed interface passes",
          std::string(ComAutomationClient::signatureProblem(conferenceInfo.get()).size(), '?'));
    check(!ComAutomationClient::signatureProblem(controlInfo.get()).empty(), "another interface does not");
}

void conversation(long discovery, bool inProcess)
{
    const ComRef<ITestControl> owned = control();
    ITestControl *steering = owned.get();
    if (!steering)
        return;
    steering->SetDiscovery(discovery);
    long pid = 0;
    steering->ProcessId(&pid);
    check((pid == long(GetCurrentProcessId())) == inProcess,
          inProcess ? "the in-process server runs in our process" : "the out-of-process server runs in another");
    std::vector<std::wstring> received;
    {
        ComAutomationClient client([&](const std::wstring &t) { received.push_back(t); });
        const DISPID expected = discovery == 2 ? 1 : 17;
        check(client.chatDispId() == expected, "the chat event's DISPID is discovered",
              "mode " + std::to_string(discovery) + " got " + std::to_string(client.chatDispId()));

        std::wstring big(64 * 1024, L'x');
        for (size_t i = 0; i < big.size(); i += 97)
            big[i] = wchar_t(0x4E00 + i % 500);
        const std::vector<std::wstring> texts = {L"ação, pé, côr", L"", std::wstring(L"a\0b\0", 4),
                                                 L"rádio \U0001F4FB fim", big};
        for (const std::wstring &t : texts) {
            client.sendChatText(t);
            check(lastSent(steering) == t, "the text arrives unchanged", std::to_string(t.size()) + " characters");
            check(contains(received, L"echo: " + t), "the echo during the call arrives");
            check(pumpUntil([&] { return contains(received, L"later: " + t); }, 5000),
                  "the echo from the server's message loop arrives");
        }

        for (short raw : {short(0), short(-1), short(1), short(0x0100), short(0x8000)}) {
            steering->SetAudio(raw);
            check(client.receivingAudio() == raw, "the receive-audio value comes raw", std::to_string(raw));
        }

        const size_t before = received.size();
        const Bstr other(L"PY9AAA conectou");
        steering->FireOther(other.get());
        pumpUntil([] { return false; }, 200);
        check(received.size() == before, "other events are ignored");
        const Bstr direct(std::wstring(L"dire\0to", 7));
        steering->FireChat(direct.get());
        check(pumpUntil([&] { return contains(received, std::wstring(L"dire\0to", 7)); }, 5000),
              "a chat event raised by the server arrives");

        oddEvents(steering, received);
        messageFilter(true);
        // (Wine carries no error information from one process to another.)
        if (inProcess)
            serverDescriptions(steering, client);
        if (!inProcess && discovery == 0) {
            busyServer(steering, client);
            slowServer(steering, client);
            signatures(steering);
        }
    }
    messageFilter(false);
    long connections = -1;
    steering->ConnectionCount(&connections);
    check(connections == 0, "no event connection is left once the client is gone", std::to_string(connections));
}

// What each failure of a call means: gone ends the program, busy does not.
void failureTable()
{
    enum Meaning {
        Gone,
        Busy,
        Other
    };
    const std::pair<HRESULT, Meaning> table[] = {
        {HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE), Gone},
        {HRESULT_FROM_WIN32(RPC_S_CALL_FAILED), Gone},
        {HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE), Gone},
        {RPC_E_DISCONNECTED, Gone},
        {RPC_E_SERVER_DIED, Gone},
        {RPC_E_SERVER_DIED_DNE, Gone},
        {CO_E_OBJNOTCONNECTED, Gone},
        {RPC_E_CALL_REJECTED, Busy},
        {RPC_E_CALL_CANCELED, Busy},
        {RPC_E_SERVERCALL_RETRYLATER, Busy},
        {RPC_E_SERVERCALL_REJECTED, Busy},
        {RPC_E_TIMEOUT, Busy},
        {E_FAIL, Other},
        {E_INVALIDARG, Other},
        {DISP_E_EXCEPTION, Other},
    };
    for (const auto &[hr, expected] : table) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
        const ComError error = callError(hr, L"testar");
        const Meaning meaning = error.number() == ErrorNumber::ServerUnavailable ? Gone : error.busy() ? Busy : Other;
        check(meaning == expected && (meaning == Gone || toInt(error.number()) == 440),
              "a failed call means what it should", code);
    }
}

// A server that answers nothing at all: the call gives up at the limit as
// busy, and the client's end waits on it no longer than its exit limit.
void hung()
{
    const ComRef<ITestControl> owned = control();
    ITestControl *steering = owned.get();
    if (!steering)
        return;
    auto client = std::make_unique<ComAutomationClient>([](const std::wstring &) {});
    steering->StallNextCall(1, 20000, 1);
    auto start = std::chrono::steady_clock::now();
    try {
        client->receivingAudio();
        check(false, "a hung server's call fails");
    } catch (const ComError &e) {
        check(e.busy(), "a hung server is busy, not gone", e.what());
        check(secondsSince(start) < 8.0, "its call gives up at the limit", std::to_string(secondsSince(start)) + " s");
    }
    start = std::chrono::steady_clock::now();
    client.reset();
    check(secondsSince(start) < 2.5, "the client's end does not wait on it",
          std::to_string(secondsSince(start)) + " s");
}

void unregistered()
{
    try {
        ComAutomationClient client([](const std::wstring &) {});
        check(false, "creation fails with nothing registered");
    } catch (const ComError &e) {
        check(toInt(e.number()) == 429, "creation with nothing registered is error 429",
              std::to_string(toInt(e.number())));
        check(e.description().find(L"não pode criar") != std::wstring::npos, "the description says why");
    }
}

// Clients created and dropped one after the other, with nothing else holding
// the server: each may find it ending, and must never land in it.
void backToBack()
{
    for (int round = 0; round < 10; ++round) {
        try {
            ComAutomationClient client([](const std::wstring &) {});
            client.sendChatText(L"rodada " + std::to_wstring(round));
        } catch (const ComError &e) {
            check(false, "a creation right after the last client left succeeds", e.what());
            return;
        }
    }
    check(true, "back-to-back creations");
}

DWORD WINAPI clientInMultithreadedApartment(void *)
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        ComAutomationClient client([](const std::wstring &) {});
        check(false, "a multithreaded apartment is refused");
    } catch (const ComError &e) {
        check(toInt(e.number()) == 429, "a multithreaded apartment is refused with error 429");
        check(e.description().find(L"apartamento") != std::wstring::npos, "saying why", e.what());
    }
    CoUninitialize();
    return 0;
}

void notAnApartmentThread()
{
    HANDLE thread = CreateThread(nullptr, 0, clientInMultithreadedApartment, nullptr, 0, nullptr);
    check(thread != nullptr, "a second thread starts");
    WaitForSingleObject(thread, 30000);
    CloseHandle(thread);
}

void incomplete()
{
    try {
        ComAutomationClient client([](const std::wstring &) {});
        check(false, "creation fails without the type library");
    } catch (const ComError &e) {
        check(toInt(e.number()) == 429, "an incomplete registration is error 429", std::to_string(toInt(e.number())));
        check(e.description().find(L"Reinstale o aplicativo de conferência") != std::wstring::npos,
              "the report tells the operator what to do", e.what());
    }
}

void killed()
{
    const ComRef<ITestControl> owned = control();
    ITestControl *steering = owned.get();
    if (!steering)
        return;
    long pid = 0;
    steering->ProcessId(&pid);
    check(pid != long(GetCurrentProcessId()), "the server runs in a process of its own");
    auto client = std::make_unique<ComAutomationClient>([](const std::wstring &) {});
    client->sendChatText(L"antes");
    HANDLE server = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, DWORD(pid));
    check(server != nullptr, "the server process can be opened");
    TerminateProcess(server, 9);
    WaitForSingleObject(server, 10000);
    CloseHandle(server);

    for (int call = 0; call < 2; ++call) {
        const auto start = std::chrono::steady_clock::now();
        int number = 0;
        try {
            if (call == 0)
                client->sendChatText(L"alguém?");
            else
                client->receivingAudio();
        } catch (const ComError &e) {
            number = toInt(e.number());
        }
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        check(number == 462, call == 0 ? "a send to a killed server is error 462" : "a read from it is error 462",
              std::to_string(number));
        check(seconds < 5.0, "the failing call returns at once", std::to_string(seconds) + " s");
    }
    const auto start = std::chrono::steady_clock::now();
    client.reset();
    check(secondsSince(start) < 5.0, "the client lets go promptly of a server that is gone",
          std::to_string(secondsSince(start)) + " s");
    // (the steering's release fails quietly: the server is gone)
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        if (mode == L"unregistered") {
            unregistered();
            notAnApartmentThread();
            failureTable();
        } else if (mode == L"incomplete") {
            incomplete();
        } else if (mode == L"inproc" || mode == L"outproc") {
            for (long discovery : {0L, 1L, 2L})
                conversation(discovery, mode == L"inproc");
            if (mode == L"outproc") {
                backToBack();
                sharedFilter();
            }
        } else if (mode == L"hung") {
            hung();
        } else if (mode == L"killed") {
            killed();
        } else {
            std::printf("usage: test_com_link unregistered|incomplete|inproc|outproc|hung|killed\n");
            return 2;
        }
    } catch (const ComError &e) {
        check(false, "unexpected automation error", std::to_string(toInt(e.number())) + " " + e.what());
    }
    CoUninitialize();
    std::printf("%s: %d passed, %d failed\n", "com", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
