#include "conference_link/com_conference_link.h"

#include "conference_link/com_automation_client.h"
#include "runtime/app_error.h"

namespace {

// Busy or slow as ConferenceBusy, for whoever hears of it.
[[noreturn]] void rethrow(const ComError &error)
{
    if (error.busy())
        throw ConferenceBusy(error.number(), QString::fromStdWString(error.description()));
    throw AppError(error.number(), QString::fromStdWString(error.description()));
}

} // namespace

ComConferenceLink::ComConferenceLink()
{
    try {
        m_client = std::make_unique<ComAutomationClient>(
            [this](const std::wstring &stexto) { received(QString::fromStdWString(stexto)); });
    } catch (const ComError &error) {
        rethrow(error);
    }
}

ComConferenceLink::~ComConferenceLink() = default;

void ComConferenceLink::sendChatText(const QString &text)
{
    try {
        m_client->sendChatText(text.toStdWString());
    } catch (const ComError &error) {
        rethrow(error);
    }
}

void ComConferenceLink::askReceivingAudio()
{
    // COM waits for the answer (painting meanwhile, never past the limit):
    // it comes before this returns.
    qint16 value = 0;
    try {
        try {
            value = m_client->receivingAudio();
        } catch (const ComError &error) {
            rethrow(error);
        }
    } catch (const AppError &error) {
        emit ReceivingAudioFailed(error);
        return;
    }
    emit ReceivingAudio(value);
}
