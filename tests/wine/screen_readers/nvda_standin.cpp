// A stand-in for NVDA's controller, built from the program's own interface
// definition: it serves the endpoint NVDA serves for its session's desktop
// and records every call (standin_log.h).
//   nvda_standin LOG [hang]     hang: speakText is recorded, never answered.
#include <windows.h>

#include "nvda_controller_rpc.h"
#include "standin_log.h"

#include <string>

namespace {
const wchar_t *logPath = nullptr;
bool hanging = false;
} // namespace

extern "C" {

void *__RPC_USER MIDL_user_allocate(size_t size)
{
    return malloc(size);
}

void __RPC_USER MIDL_user_free(void *memory)
{
    free(memory);
}

error_status_t standin_testIfRunning()
{
    recordCall(logPath, L"testIfRunning");
    return 0;
}

error_status_t standin_speakText(const wchar_t *text)
{
    recordCall(logPath, std::wstring(L"speakText\t") + text);
    if (hanging)
        Sleep(INFINITE);
    return 0;
}

error_status_t standin_cancelSpeech()
{
    recordCall(logPath, L"cancelSpeech");
    return 0;
}

error_status_t standin_brailleMessage(const wchar_t *message)
{
    recordCall(logPath, std::wstring(L"brailleMessage\t") + message);
    return 0;
}

error_status_t standin_getProcessId(unsigned long *pid)
{
    *pid = GetCurrentProcessId();
    return 0;
}

} // extern "C"

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2)
        return 2;
    logPath = argv[1];
    hanging = argc > 2 && std::wstring(argv[2]) == L"hang";
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    wchar_t desktop[256] = {};
    DWORD needed = 0;
    GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop, sizeof desktop, &needed);
    std::wstring endpoint = L"NvdaCtlr." + std::to_wstring(session) + L"." + desktop;
    wchar_t protocol[] = L"ncalrpc";
    if (RpcServerUseProtseqEpW(reinterpret_cast<RPC_WSTR>(protocol), RPC_C_PROTSEQ_MAX_REQS_DEFAULT,
                               reinterpret_cast<RPC_WSTR>(endpoint.data()), nullptr)
            != RPC_S_OK
        || RpcServerRegisterIf(standin_NvdaController_v1_1_s_ifspec, nullptr, nullptr) != RPC_S_OK)
        return 1;
    recordCall(logPath, L"serving\t" + endpoint);
    return RpcServerListen(1, RPC_C_LISTEN_MAX_CALLS_DEFAULT, FALSE) == RPC_S_OK ? 0 : 1;
}
