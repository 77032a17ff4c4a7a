#pragma once

#include "runtime/app_error.h"
#include "runtime/call_limit.h"

#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>

#include <memory>

// The conference application as the chat window sees it. A call either
// succeeds or fails with AppError: busy (AppError::isBusy) while the
// application refuses or does not answer within CallLimitMs, 462 once it
// has gone. Received texts are handed on queued,
// on the window thread and in order, each after the call that brought it has
// returned, and a few milliseconds' worth at a time: a burst of thousands
// never holds the window for long, and the window's timer and input run
// between them.
class ConferenceLink : public QObject
{
    Q_OBJECT

public:
    // A live link to the conference application, or AppError 429 when it
    // cannot be reached. The binding is chosen by the platform.
    static std::unique_ptr<ConferenceLink> create();

    ~ConferenceLink() override = default;

    // Throws AppError (busy when the application is busy or slow).
    virtual void sendChatText(const QString &text) = 0;
    // Asks for the receive-audio state without waiting on the application:
    // the answer comes as ReceivingAudio, a failure as ReceivingAudioFailed,
    // on the window thread. While a question is out, another is not asked.
    virtual void askReceivingAudio() = 0;

signals:
    void ChatTextReceived(const QString &stexto);
    // 16-bit truth value: zero means no audio, any other value means audio.
    void ReceivingAudio(qint16 value);
    void ReceivingAudioFailed(const AppError &error);

protected:
    ConferenceLink();
    // A text has arrived from the conference.
    void received(const QString &stexto);
    // Hands on at once every text that has arrived and not yet been handed
    // on: before the loss of the link is handled, all it brought is shown.
    void handOnEverything();

private:
    void handOn();

    QQueue<QString> m_arrived;
    QTimer m_handOn;
};
