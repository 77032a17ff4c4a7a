#include "runtime/ending_watch.h"

#include "runtime/handler.h"

#include <QCoreApplication>

#include <cstdlib>

#include <windows.h>

namespace {

// The console's close, logoff and shutdown events come on a thread of their
// own: the rescue is done on the window thread, and the process then ends.
BOOL WINAPI consoleEnding(DWORD event)
{
    if (event != CTRL_CLOSE_EVENT && event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT
        && event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { Handler::endUnchosen(0); }, Qt::BlockingQueuedConnection);
    return TRUE;
}

} // namespace

EndingWatch::EndingWatch(QObject *parent) : QObject(parent)
{
    std::atexit(keepAtExit);
    SetConsoleCtrlHandler(consoleEnding, TRUE);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

EndingWatch::~EndingWatch()
{
    SetConsoleCtrlHandler(consoleEnding, FALSE);
}

void EndingWatch::takeSignal() {}

bool EndingWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
    // The session ends (logoff, shutdown): Windows ends the process once this
    // message is answered.
    const MSG *msg = static_cast<const MSG *>(message);
    if (eventType != "windows_generic_MSG")
        return false;
    // Asked whether it may end: what is not saved is kept first, in case.
    if (msg->message == WM_QUERYENDSESSION)
        Handler::keepUnsavedNow();
    if (msg->message == WM_ENDSESSION && msg->wParam) {
        *result = 0;
        Handler::endUnchosen(0);
    }
    return false;
}
