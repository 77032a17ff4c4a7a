// A stand-in for JAWS: a window of JAWS's class "JFWUI2", and an automation
// object registered under the ProgID "FreedomSci.JawsApi" while it runs,
// reached through IDispatch alone; SayString and StopSpeech are recorded
// (standin_log.h) and SayString answers that it said the text.
//   jaws_standin LOG     runs until told to stop;
//   jaws_standin stop    tells the running one to stop (it withdraws its
//                        object, which a killed one would leave registered).
#include <windows.h>
#include <oleauto.h>

#include "standin_log.h"

#include <string>

namespace {

// {6A4E8C1D-2F3B-4C5A-9E7D-1B2C3D4E5F60}: the stand-in's own class.
const CLSID StandinClass = {0x6a4e8c1d, 0x2f3b, 0x4c5a, {0x9e, 0x7d, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f, 0x60}};
const wchar_t *logPath = nullptr;
enum { SayStringId = 1, StopSpeechId = 2 };

// The automation object and its class object in one, living as long as the
// program: every creation hands out the same object.
class JawsApi final : public IDispatch, public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch)
            *object = static_cast<IDispatch *>(this);
        else if (iid == IID_IClassFactory)
            *object = static_cast<IClassFactory *>(this);
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) override
    {
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        const std::wstring name = count == 1 ? names[0] : L"";
        ids[0] = name == L"SayString" ? SayStringId : name == L"StopSpeech" ? StopSpeechId : DISPID_UNKNOWN;
        return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *parameters, VARIANT *result,
                                     EXCEPINFO *, UINT *) override
    {
        if (id == StopSpeechId) {
            recordCall(logPath, L"StopSpeech");
            return S_OK;
        }
        // SayString(text, flush): the arguments come last first.
        if (id != SayStringId || parameters->cArgs != 2 || parameters->rgvarg[1].vt != VT_BSTR
            || parameters->rgvarg[0].vt != VT_BOOL)
            return DISP_E_BADPARAMCOUNT;
        const BSTR text = parameters->rgvarg[1].bstrVal;
        recordCall(logPath, std::wstring(L"SayString\t") + (parameters->rgvarg[0].boolVal ? L"flush" : L"queued")
                                + L"\t" + std::wstring(text, SysStringLen(text)));
        if (result) {
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override
    {
        return outer ? CLASS_E_NOAGGREGATION : QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

bool setDefault(const std::wstring &key, const std::wstring &value)
{
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                           DWORD((value.size() + 1) * sizeof(wchar_t)))
           == ERROR_SUCCESS;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc < 2)
        return 2;
    if (std::wstring(argv[1]) == L"stop") {
        const HWND running = FindWindowW(L"JFWUI2", nullptr);
        return running && SendMessageW(running, WM_CLOSE, 0, 0) == 0 ? 0 : 1;
    }
    logPath = argv[1];
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t clsid[64] = {};
    StringFromGUID2(StandinClass, clsid, 64);
    if (!setDefault(L"FreedomSci.JawsApi\\CLSID", clsid)
        || !setDefault(std::wstring(L"CLSID\\") + clsid, L"JAWS stand-in"))
        return 1;
    static JawsApi api;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(StandinClass, static_cast<IClassFactory *>(&api), CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie)))
        return 1;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"JFWUI2";
    RegisterClassW(&windowClass);
    CreateWindowW(L"JFWUI2", L"JAWS", 0, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    recordCall(logPath, L"serving");
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    CoRevokeClassObject(cookie);
    CoUninitialize();
    return 0;
}
