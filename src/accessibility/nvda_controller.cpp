#include <windows.h>

#include "accessibility/nvda_controller.h"
#include "accessibility/nvda_rpc_call.h"

namespace NvdaController {

std::wstring endpoint()
{
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    wchar_t desktop[256] = {};
    DWORD needed = 0;
    if (!GetUserObjectInformationW(GetThreadDesktop(GetCurrentThreadId()), UOI_NAME, desktop, sizeof desktop,
                                   &needed))
        desktop[0] = L'\0';
    return L"NvdaCtlr." + std::to_wstring(session) + L"." + desktop;
}

bool tell(const std::wstring &endpoint, const std::wstring &text)
{
    RPC_WSTR binding = nullptr;
    wchar_t protocol[] = L"ncalrpc";
    std::wstring where = endpoint;
    if (RpcStringBindingComposeW(nullptr, reinterpret_cast<RPC_WSTR>(protocol), nullptr,
                                 reinterpret_cast<RPC_WSTR>(where.data()), nullptr, &binding)
        != RPC_S_OK)
        return false;
    handle_t handle = nullptr;
    const RPC_STATUS bound = RpcBindingFromStringBindingW(binding, &handle);
    RpcStringFreeW(&binding);
    if (bound != RPC_S_OK)
        return false;
    bool spoken = nvda_rpc_call(handle, NvdaTestIfRunning, nullptr) == 0
                  && nvda_rpc_call(handle, NvdaSpeakText, text.c_str()) == 0;
    // The braille display shows it too; a display that refuses it does not unsay the speech.
    if (spoken)
        nvda_rpc_call(handle, NvdaBrailleMessage, text.c_str());
    RpcBindingFree(&handle);
    return spoken;
}

} // namespace NvdaController
