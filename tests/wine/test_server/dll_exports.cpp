// The in-process server: what a DLL exports for COM.
#include "class_factory.h"
#include "conference_test_server.h"
#include "server_module.h"
#include "server_registration.h"

void objectMade()
{
}

void objectGone()
{
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        moduleInstance = instance;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void **object)
{
    if (!IsEqualCLSID(clsid, CLSID_Conference)) {
        *object = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return classFactory.QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow()
{
    return objectsAlive == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer()
{
    return registerServer(true);
}

STDAPI DllUnregisterServer()
{
    return unregisterServer();
}
