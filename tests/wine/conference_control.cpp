// Steers the running test automation server from a script, as the
// conference application's own user would: raise a chat text, set the
// receive-audio state, read back what was sent to it.
//   conference_control fire TEXT | fire-file FILE (its UTF-8 text, exactly) |
//                      flood N TEXT ("TEXT 1" to "TEXT N", one after another) |
//                      audio N | last-sent | sent-count | pid |
//                      stall poll|send MS | hang poll|send MS | end-stall |
//                      end-session WINDOW-TITLE (the session's end, told to that window)
// Prints its answer in UTF-8; exit status 0 on success.
#include "windows/com_owners.h"
#include "conference_test_server.h"

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring fromUtf8(const std::string &bytes)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring text(size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), int(bytes.size()), text.data(), size);
    return text;
}

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
    if (command == L"fire" && argument)
        return SUCCEEDED(control->FireChat(Bstr(argument).get())) ? 0 : 1;
    if (command == L"fire-file" && argument) {
        std::ifstream file(argument, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        return file && SUCCEEDED(control->FireChat(Bstr(fromUtf8(bytes)).get())) ? 0 : 1;
    }
    if (command == L"flood" && argument && extra) {
        for (long n = 1; n <= std::wcstol(argument, nullptr, 10); ++n)
            if (FAILED(control->FireChat(Bstr(std::wstring(extra) + L" " + std::to_wstring(n)).get())))
                return 1;
        return 0;
    }
    if (command == L"audio" && argument)
        return SUCCEEDED(control->SetAudio(short(std::wcstol(argument, nullptr, 10)))) ? 0 : 1;
    if (command == L"last-sent") {
        Bstr sent;
        if (FAILED(control->LastSent(sent.put())))
            return 1;
        print(sent.text());
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
    std::fwprintf(stderr,
                  L"usage: conference_control fire TEXT | fire-file FILE | flood N TEXT | audio N | last-sent | "
                  L"sent-count | pid | stall poll|send MS | hang poll|send MS | end-stall | end-session WINDOW-TITLE\n");
    return 2;
}

} // namespace

// Tells the window titled title that the session ends (a logoff), as Windows does.
int endSession(const wchar_t *title)
{
    const HWND window = FindWindowW(nullptr, title);
    if (!window)
        return 1;
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer);
    SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer);
    return 0;
}

int wmain(int argc, wchar_t **argv)
{
    if (argc > 2 && std::wstring(argv[1]) == L"end-session")
        return endSession(argv[2]);
    if (argc < 2)
        return run(nullptr, L"", nullptr, nullptr);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 3;
    {
        ComRef<ITestControl> control;
        const HRESULT hr = CoCreateInstance(CLSID_Conference, nullptr, CLSCTX_LOCAL_SERVER, IID_ITestControl,
                                            control.putVoid());
        if (SUCCEEDED(hr) && control) {
            status = run(control.get(), argv[1], argc > 2 ? argv[2] : nullptr, argc > 3 ? argv[3] : nullptr);
        } else {
            std::fwprintf(stderr, L"conference_control: the test server cannot be reached (0x%08lx)\n",
                          static_cast<unsigned long>(hr));
        }
    }
    CoUninitialize();
    return status;
}
