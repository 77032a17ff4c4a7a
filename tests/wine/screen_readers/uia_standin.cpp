// A stand-in for UI Automation's notifications: a uiautomationcore.dll put
// beside the program, which records every notification raised through it
// (standin_log.h) to the file named by VELMORA_UIA_STANDIN_LOG.
#include <windows.h>
#include <oleauto.h>

#include "standin_log.h"

#include <string>

namespace {

// The provider handed out for a window: nothing but itself.
class Provider final : public IUnknown
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        *object = iid == IID_IUnknown ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

Provider provider;

} // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI UiaHostProviderFromHwnd(HWND window, IUnknown **hosted)
{
    *hosted = window ? &provider : nullptr;
    return window ? S_OK : E_INVALIDARG;
}

__declspec(dllexport) HRESULT WINAPI UiaRaiseNotificationEvent(IUnknown *raiser, int kind, int processing,
                                                               BSTR display, BSTR activity)
{
    wchar_t log[MAX_PATH] = {};
    if (raiser != &provider || !GetEnvironmentVariableW(L"VELMORA_UIA_STANDIN_LOG", log, MAX_PATH))
        return E_INVALIDARG;
    recordCall(log, L"UiaRaiseNotificationEvent\t" + std::to_wstring(kind) + L"\t" + std::to_wstring(processing)
                        + L"\t" + std::wstring(activity, SysStringLen(activity)) + L"\t"
                        + std::wstring(display, SysStringLen(display)));
    return S_OK;
}

} // extern "C"
