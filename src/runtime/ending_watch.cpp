#include "runtime/ending_watch.h"

#include "runtime/handler.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdlib>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
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
#else
constexpr int Watched[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
int signalPipe[2] = {-1, -1};

void onSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}
#endif

// The toolkit ends the process with exit() when the display goes: what was
// not saved is kept on the way out (nothing when the window has gone first,
// as at every chosen ending).
void keepAtExit()
{
    Handler::keepUnsavedNow();
}

} // namespace

EndingWatch::EndingWatch(QObject *parent) : QObject(parent)
{
    std::atexit(keepAtExit);
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(consoleEnding, TRUE);
    QCoreApplication::instance()->installNativeEventFilter(this);
#else
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &EndingWatch::takeSignal);
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A signal ignored by whoever started the program (nohup's SIGHUP, say) stays ignored.
    for (const int number : Watched) {
        struct sigaction before = {};
        if (sigaction(number, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(number, &action, nullptr);
    }
#endif
}

EndingWatch::~EndingWatch()
{
#ifdef Q_OS_WIN
    SetConsoleCtrlHandler(consoleEnding, FALSE);
#else
    for (const int number : Watched) {
        struct sigaction now = {};
        if (sigaction(number, nullptr, &now) == 0 && now.sa_handler == onSignal)
            std::signal(number, SIG_DFL);
    }
#endif
}

void EndingWatch::takeSignal()
{
#ifndef Q_OS_WIN
    unsigned char number = 0;
    if (::read(signalPipe[0], &number, 1) == 1)
        Handler::endUnchosen(number);
#endif
}

bool EndingWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
#ifdef Q_OS_WIN
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
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    Q_UNUSED(result);
#endif
    return false;
}
