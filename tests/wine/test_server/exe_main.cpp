// The out-of-process server: its lifetime, and a message filter that makes it
// a busy application when a test asks.
#include "class_factory.h"
#include "conference_test_server.h"
#include "server_module.h"
#include "server_registration.h"

#include <string>

namespace {

DWORD classCookie = 0;

// Ends the server unless a creation already under way when its class was
// withdrawn has brought an object back.
void CALLBACK quitIfIdle(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (objectsAlive == 0 && serverLocks == 0)
        PostQuitMessage(0);
}

// A busy application: refuses the calls RejectNextCalls asked it to.
class BusyFilter : public IMessageFilter
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override
    {
        if (rejectNextCalls > 0 && info && IsEqualIID(info->iid, IID_IConference)) {
            --rejectNextCalls;
            return SERVERCALL_RETRYLATER;
        }
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return DWORD(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};

} // namespace

// The server stays while an object or a lock does.
void objectMade()
{
    CoAddRefServerProcess();
}

// The last object or lock gone: the class is withdrawn at once, so that a new
// creation starts a new server instead of landing in this ending one (COM
// does that in CoReleaseServerProcess; Wine's does not), and the server ends
// shortly after, once any call already on its way has been served.
void objectGone()
{
    if (CoReleaseServerProcess() != 0)
        return;
    CoSuspendClassObjects();
    if (classCookie) {
        CoRevokeClassObject(classCookie);
        classCookie = 0;
    }
    SetTimer(nullptr, 0, 500, quitIfIdle);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    moduleInstance = instance;
    const std::wstring arguments = commandLine ? commandLine : L"";
    // /RegServerWithoutTypeLibrary: an installation that left the type library out.
    if (arguments.find(L"RegServerWithoutTypeLibrary") != std::wstring::npos)
        return SUCCEEDED(registerServer(false, false)) ? 0 : 1;
    if (arguments.find(L"RegServer") != std::wstring::npos && arguments.find(L"Unreg") == std::wstring::npos)
        return SUCCEEDED(registerServer(false)) ? 0 : 1;
    if (arguments.find(L"UnregServer") != std::wstring::npos)
        return SUCCEEDED(unregisterServer()) ? 0 : 1;

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BusyFilter busy;
    CoRegisterMessageFilter(&busy, nullptr);
    if (FAILED(CoRegisterClassObject(CLSID_Conference, &classFactory, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &classCookie))
        || FAILED(CoResumeClassObjects()))
        return 2;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (classCookie)
        CoRevokeClassObject(classCookie);
    CoRegisterMessageFilter(nullptr, nullptr);
    CoUninitialize();
    return 0;
}
