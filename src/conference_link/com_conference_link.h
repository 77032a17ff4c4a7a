#pragma once

#include "conference_link/conference_link.h"

#include <memory>

class ComAutomationClient;

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
    std::unique_ptr<ComAutomationClient> m_client;
};
