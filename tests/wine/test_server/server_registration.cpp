#include "server_registration.h"

#include "windows/com_owners.h"
#include "conference_test_server.h"
#include "server_module.h"

#include <olectl.h>

#include <string>

namespace {

std::wstring guidText(const GUID &guid)
{
    wchar_t buffer[64];
    StringFromGUID2(guid, buffer, 64);
    return buffer;
}

std::wstring classKey()
{
    return L"CLSID\\" + guidText(CLSID_Conference);
}

bool setKey(const std::wstring &key, const wchar_t *name, const std::wstring &value)
{
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr)
        != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                       DWORD((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

// The program a class is registered to, or nothing.
std::wstring registeredServer(const std::wstring &clsid)
{
    for (const wchar_t *serverKey : {L"\\InprocServer32", L"\\LocalServer32"}) {
        wchar_t value[MAX_PATH] = {};
        LONG size = sizeof value;
        if (RegQueryValueW(HKEY_CLASSES_ROOT, (clsid + serverKey).c_str(), value, &size) == ERROR_SUCCESS && value[0])
            return value;
    }
    return {};
}

} // namespace

HRESULT registerServer(bool inProcess, bool withTypeLibrary)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(moduleInstance, path, MAX_PATH);
    const std::wstring clsid = classKey();
    const std::wstring owner = registeredServer(clsid);
    if (!owner.empty() && lstrcmpiW(owner.c_str(), path) != 0)
        return SELFREG_E_CLASS;
    const wchar_t *serverKey = inProcess ? L"\\InprocServer32" : L"\\LocalServer32";
    bool ok = setKey(clsid, nullptr, L"Conference test server") && setKey(clsid + serverKey, nullptr, path)
              && setKey(clsid + L"\\TypeLib", nullptr, guidText(LIBID_ConferenceTestLib));
    if (inProcess)
        ok = ok && setKey(clsid + serverKey, L"ThreadingModel", L"Apartment");
    if (!withTypeLibrary)
        return ok ? S_OK : SELFREG_E_CLASS;
    ComRef<ITypeLib> library;
    const HRESULT hr = LoadTypeLibEx(path, REGKIND_REGISTER, library.put());
    return ok ? hr : SELFREG_E_CLASS;
}

HRESULT unregisterServer()
{
    RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey().c_str());
    UnRegisterTypeLib(LIBID_ConferenceTestLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    UnRegisterTypeLib(LIBID_ConferenceTestLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN32);
    return S_OK;
}
