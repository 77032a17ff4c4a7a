#pragma once

#include "conference_link/conference_link.h"

#include <QDBusConnection>
#include <QDBusMessage>

// The conference application on the session bus, as its interface
// description org.velmora.Conference1.xml says.
class DbusConferenceLink : public ConferenceLink
{
    Q_OBJECT

public:
    // A hung application must never freeze the window for good.
    static constexpr int CallTimeoutMs = 5000;

    // Throws AppError 429 when there is no session bus or nobody owns the name.
    explicit DbusConferenceLink(const QDBusConnection &bus = QDBusConnection::sessionBus());

    void sendChatText(const QString &text) override;
    qint16 receivingAudio() override;

private slots:
    void onChatTextReceived(const QString &stexto);

private:
    QDBusMessage call(QDBusMessage message);

    QDBusConnection m_bus;
};
