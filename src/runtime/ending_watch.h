#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

class QSocketNotifier;

// Endings the operator did not choose: a signal (logout's SIGTERM, a closed
// terminal's SIGHUP, Ctrl+C's SIGINT, SIGQUIT), the display going away (the
// toolkit then exits), and on Windows the session ending (logoff, shutdown)
// and the console's close events. Each keeps what the rescue keeps, then
// ends the process as that ending would have: with the signal's own status.
// The signals are taken in the event loop (a pipe written by the handler),
// never in the handler itself. One interface, a half for each system
// (ending_watch_unix.cpp, and windows/ending_watch_win.cpp).
class EndingWatch : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit EndingWatch(QObject *parent = nullptr);
    ~EndingWatch() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    // The toolkit ends the process with exit() when the display goes: what
    // was not saved is kept on the way out (nothing when the window has gone
    // first, as at every chosen ending). Registered by both halves.
    static void keepAtExit();
    void takeSignal();

    QSocketNotifier *m_notifier = nullptr;
};
