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
    // Throws AppError 429 when there is no session bus or nobody owns the name.
    explicit DbusConferenceLink(const QDBusConnection &bus = QDBusConnection::sessionBus());

    void sendChatText(const QString &text) override;
    void askReceivingAudio() override;

private:
    QDBusConnection m_bus;
    bool m_asking = false;
};
