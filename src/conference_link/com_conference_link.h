#pragma once

#include "conference_link/conference_link.h"

#include <QTimer>

#include <memory>

class ComAutomationClient;
class QWinEventNotifier;

// The conference application on Windows: its automation object.
class ComConferenceLink : public ConferenceLink
{
    Q_OBJECT

public:
    // Throws AppError 429 when the object cannot be created.
    ComConferenceLink();
    ~ComConferenceLink() override;

    void sendChatText(const QString &text) override;
    void askReceivingAudio() override;

private:
    // The answer to the receive-audio question, or its failure; past the
    // call limit, busy (a late answer still lights the lamp).
    void tellAudio();

    std::unique_ptr<ComAutomationClient> m_client;
    QWinEventNotifier *m_audioAnswered = nullptr;
    QTimer m_audioLimit;
};
