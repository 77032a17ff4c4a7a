#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>

#include <memory>

// The conference application as the chat window sees it. Every operation
// either succeeds or throws AppError. Received texts are handed on queued,
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

    virtual void sendChatText(const QString &text) = 0;
    // 16-bit truth value: zero means no audio, any other value means audio.
    virtual qint16 receivingAudio() = 0;

signals:
    void ChatTextReceived(const QString &stexto);

protected:
    ConferenceLink();
    // A text has arrived from the conference.
    void received(const QString &stexto);

private:
    void handOn();

    QQueue<QString> m_arrived;
    QTimer m_handOn;
};
