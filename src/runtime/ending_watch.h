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
// never in the handler itself.
class EndingWatch : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit EndingWatch(QObject *parent = nullptr);
    ~EndingWatch() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    void takeSignal();

    QSocketNotifier *m_notifier = nullptr;
};
