#include "conference_link/com_conference_link.h"

#include "conference_link/com_automation_client.h"
#include "runtime/app_error.h"

namespace {

AppError toAppError(const ComError &error)
{
    return AppError(error.number(), QString::fromStdWString(error.description()));
}

} // namespace

ComConferenceLink::ComConferenceLink()
{
    try {
        m_client = std::make_unique<ComAutomationClient>(
            [this](const std::wstring &stexto) { received(QString::fromStdWString(stexto)); });
    } catch (const ComError &error) {
        throw toAppError(error);
    }
}

ComConferenceLink::~ComConferenceLink() = default;

void ComConferenceLink::sendChatText(const QString &text)
{
    try {
        m_client->sendChatText(text.toStdWString());
    } catch (const ComError &error) {
        throw toAppError(error);
    }
}

qint16 ComConferenceLink::receivingAudio()
{
    try {
        return m_client->receivingAudio();
    } catch (const ComError &error) {
        throw toAppError(error);
    }
}
