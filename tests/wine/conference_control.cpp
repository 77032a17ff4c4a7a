// Steers the running test automation server from a script, as the
// conference application's own user would: raise a chat text, set the
// receive-audio state, read back what was sent to it.
//   conference_control fire TEXT | audio N | last-sent | sent-count | pid |
//                      stall poll|send MS | hang poll|send MS | end-stall
// Prints its answer in UTF-8; exit status 0 on success.
#include "conference_test_server.h"

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void print(const std::wstring &text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr, nullptr);
    bytes += '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

int run(ITestControl *control, const std::wstring &command, const wchar_t *argument, const wchar_t *extra)
{
    if (command == L"fire" && argument) {
        BSTR text = SysAllocString(argument);
        const HRESULT hr = control->FireChat(text);
        SysFreeString(text);
        return SUCCEEDED(hr) ? 0 : 1;
    }
    if (command == L"audio" && argument)
        return SUCCEEDED(control->SetAudio(short(std::wcstol(argument, nullptr, 10)))) ? 0 : 1;
    if (command == L"last-sent") {
        BSTR sent = nullptr;
        if (FAILED(control->LastSent(&sent)))
            return 1;
        print(std::wstring(sent ? sent : L"", sent ? SysStringLen(sent) : 0));
        SysFreeString(sent);
        return 0;
    }
    if ((command == L"stall" || command == L"hang") && argument && extra) {
        const long which = std::wstring(argument) == L"poll" ? 1 : std::wstring(argument) == L"send" ? 2 : 0;
        return SUCCEEDED(control->StallNextCall(which, std::wcstol(extra, nullptr, 10), command == L"hang")) ? 0 : 1;
    }
    if (command == L"end-stall")
        return SUCCEEDED(control->EndStall()) ? 0 : 1;
    long value = 0;
    if (command == L"sent-count" && SUCCEEDED(control->SentCount(&value))) {
        print(std::to_wstring(value));
        return 0;
    }
    if (command == L"pid" && SUCCEEDED(control->ProcessId(&value))) {
        print(std::to_wstring(value));
        return 0;
    }
    std::fwprintf(stderr, L"usage: conference_control fire TEXT | audio N | last-sent | sent-count | pid | "
                          L"stall poll|send MS | hang poll|send MS | end-stall\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2)
        return run(nullptr, L"", nullptr, nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITestControl *control = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_Conference, nullptr, CLSCTX_LOCAL_SERVER, IID_ITestControl,
                                        reinterpret_cast<void **>(&control));
    int status = 3;
    if (SUCCEEDED(hr) && control) {
        status = run(control, argv[1], argc > 2 ? argv[2] : nullptr, argc > 3 ? argv[3] : nullptr);
        control->Release();
    } else {
        std::fwprintf(stderr, L"conference_control: the test server cannot be reached (0x%08lx)\n",
                      static_cast<unsigned long>(hr));
    }
    CoUninitialize();
    return status;
}
