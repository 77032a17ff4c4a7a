#pragma once

#include "conference_link/conference_link.h"

#include <QDBusConnection>
#include <QDBusMessage>

class DbusSignalReader;

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
    // When error says the conference has gone: first every text it sent
    // before it went is read and handed on.
    void settleBeforeLoss(const AppError &error);

    QDBusConnection m_bus;
    DbusSignalReader *m_events = nullptr;
    bool m_asking = false;
};
