// The automation client against the test server, under Wine.
//   test_com_link unregistered   creation with nothing registered
//   test_com_link inproc|outproc round trips, raw truth values, events and
//                                every route of finding the event's DISPID
//   test_com_link killed         the server killed under the client
#include "conference_link/com_automation_client.h"
#include "conference_test_server.h"

#include <chrono>
#include <cstdio>
#include <functional>
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

ITestControl *control()
{
    ITestControl *steering = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_Conference, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                        IID_ITestControl, reinterpret_cast<void **>(&steering));
    check(SUCCEEDED(hr) && steering, "the test server can be created");
    return SUCCEEDED(hr) ? steering : nullptr;
}

std::wstring lastSent(ITestControl *steering)
{
    BSTR sent = nullptr;
    steering->LastSent(&sent);
    std::wstring result(sent ? sent : L"", sent ? SysStringLen(sent) : 0);
    SysFreeString(sent);
    return result;
}

bool contains(const std::vector<std::wstring> &texts, const std::wstring &text)
{
    for (const auto &t : texts)
        if (t == text)
            return true;
    return false;
}

void conversation(long discovery)
{
    ITestControl *steering = control();
    if (!steering)
        return;
    steering->SetDiscovery(discovery);
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
        steering->FireOther(SysAllocString(L"PY9AAA conectou"));
        pumpUntil([] { return false; }, 200);
        check(received.size() == before, "other events are ignored");
        BSTR direct = SysAllocStringLen(L"dire\0to", 7);
        steering->FireChat(direct);
        SysFreeString(direct);
        check(pumpUntil([&] { return contains(received, std::wstring(L"dire\0to", 7)); }, 5000),
              "a chat event raised by the server arrives");
    }
    steering->Release();
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

void killed()
{
    ITestControl *steering = control();
    if (!steering)
        return;
    long pid = 0;
    steering->ProcessId(&pid);
    check(pid != long(GetCurrentProcessId()), "the server runs in a process of its own");
    ComAutomationClient client([](const std::wstring &) {});
    client.sendChatText(L"antes");
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
                client.sendChatText(L"alguém?");
            else
                client.receivingAudio();
        } catch (const ComError &e) {
            number = toInt(e.number());
        }
        const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        check(number == 462, call == 0 ? "a send to a killed server is error 462" : "a read from it is error 462",
              std::to_string(number));
        check(seconds < 5.0, "the failing call returns at once", std::to_string(seconds) + " s");
    }
    steering->Release(); // fails quietly: the server is gone
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    try {
        if (mode == L"unregistered") {
            unregistered();
        } else if (mode == L"inproc" || mode == L"outproc") {
            for (long discovery : {0L, 1L, 2L})
                conversation(discovery);
        } else if (mode == L"killed") {
            killed();
        } else {
            std::printf("usage: test_com_link unregistered|inproc|outproc|killed\n");
            return 2;
        }
    } catch (const ComError &e) {
        check(false, "unexpected automation error", std::to_string(toInt(e.number())) + " " + e.what());
    }
    CoUninitialize();
    std::printf("%s: %d passed, %d failed\n", mode == L"" ? "com" : "com", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
