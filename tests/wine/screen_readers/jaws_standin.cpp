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

#include <atomic>
#include <string>

namespace {

// {6A4E8C1D-2F3B-4C5A-9E7D-1B2C3D4E5F60}: the stand-in's own class.
const CLSID StandinClass = {0x6a4e8c1d, 0x2f3b, 0x4c5a, {0x9e, 0x7d, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f, 0x60}};
const wchar_t *logPath = nullptr;
enum { SayStringId = 1, StopSpeechId = 2 };

class JawsApi final : public IDispatch
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (iid != IID_IUnknown && iid != IID_IDispatch) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDispatch *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
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
        if (count != 1)
            return DISP_E_UNKNOWNNAME;
        const std::wstring name = names[0];
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
        const bool flush = parameters->rgvarg[0].boolVal != VARIANT_FALSE;
        recordCall(logPath, std::wstring(L"SayString\t") + (flush ? L"flush" : L"queued") + L"\t"
                                + std::wstring(parameters->rgvarg[1].bstrVal,
                                               SysStringLen(parameters->rgvarg[1].bstrVal)));
        if (result) {
            VariantInit(result);
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
    }

private:
    std::atomic<ULONG> m_references{1};
};

class Factory final : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory *>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override
    {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        JawsApi *api = new JawsApi;
        const HRESULT hr = api->QueryInterface(iid, object);
        api->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

bool setKey(const std::wstring &key, const std::wstring &value)
{
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr)
        != ERROR_SUCCESS)
        return false;
    const LONG set = RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                    DWORD((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
    return set == ERROR_SUCCESS;
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
    if (!setKey(L"FreedomSci.JawsApi\\CLSID", clsid) || !setKey(std::wstring(L"CLSID\\") + clsid, L"JAWS stand-in"))
        return 1;
    static Factory factory;
    DWORD cookie = 0;
    if (FAILED(CoRegisterClassObject(StandinClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
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
