#pragma once

#include <QObject>
#include <QString>

#include <memory>

// The conference application as the chat window sees it. Every operation
// either succeeds or throws AppError; the event arrives on the window thread.
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
    ConferenceLink() = default;
};
