#include <windows.h>

#include "accessibility/uia_notification.h"
#include "windows/com_owners.h"

#include <QString>
#include <QWidget>

#include <oleauto.h>

#include <string>

namespace {

// From UI Automation's interface (uiautomationcoreapi.h, which MinGW's
// headers do not offer to C++): the provider is passed as the IUnknown it is.
enum {
    NotificationKindOther = 4,
    NotificationProcessingAll = 2
};
using HostProvider = HRESULT(WINAPI *)(HWND, IUnknown **);
using RaiseNotification = HRESULT(WINAPI *)(IUnknown *, int, int, BSTR, BSTR);

template <typename Function>
Function lookUp(HMODULE module, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

} // namespace

bool raiseWindowsNotification(QWidget *window, const QString &text)
{
    static const HMODULE automation = LoadLibraryW(L"uiautomationcore.dll");
    if (!automation || !window)
        return false;
    const auto hostProvider = lookUp<HostProvider>(automation, "UiaHostProviderFromHwnd");
    const auto raise = lookUp<RaiseNotification>(automation, "UiaRaiseNotificationEvent");
    if (!hostProvider || !raise)
        return false;
    ComRef<IUnknown> provider;
    if (FAILED(hostProvider(reinterpret_cast<HWND>(window->winId()), provider.put())) || !provider)
        return false;
    const Bstr display(text.toStdWString());
    const Bstr activity(L"Velmora.chat");
    return SUCCEEDED(
        raise(provider.get(), NotificationKindOther, NotificationProcessingAll, display.get(), activity.get()));
}
