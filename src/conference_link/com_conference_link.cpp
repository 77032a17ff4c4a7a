#include "conference_link/com_conference_link.h"

#include "conference_link/com_automation_client.h"
#include "conference_link/exact_utf8.h"
#include "runtime/app_error.h"

#include <QWinEventNotifier>

namespace {

[[noreturn]] void rethrow(const ComError &error)
{
    throw AppError(error.number(), QString::fromStdWString(error.description()), error.busy());
}

} // namespace

ComConferenceLink::ComConferenceLink()
{
    try {
        m_client = std::make_unique<ComAutomationClient>(
            [this](const std::wstring &stexto) { received(exactFromUtf16(stexto)); });
    } catch (const ComError &error) {
        rethrow(error);
    }
    // The question about the audio state is asked without waiting: the window
    // goes on (a click on "Encerrar programa" is taken at once) and hears of
    // the answer when it comes.
    m_audioAnswered = new QWinEventNotifier(m_client->answerReady(), this);
    m_audioAnswered->setEnabled(false);
    connect(m_audioAnswered, &QWinEventNotifier::activated, this, [this] {
        m_audioAnswered->setEnabled(false);
        m_audioLimit.stop();
        tellAudio();
    });
    m_audioLimit.setSingleShot(true);
    m_audioLimit.setInterval(CallLimitMs);
    connect(&m_audioLimit, &QTimer::timeout, this, &ComConferenceLink::tellAudio);
}

ComConferenceLink::~ComConferenceLink()
{
    delete m_audioAnswered; // before the client whose event it watches
}

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
    if (!m_client->askReceivingAudio())
        return; // the last question is still out
    m_audioLimit.start();
    m_audioAnswered->setEnabled(true);
}

void ComConferenceLink::tellAudio()
{
    qint16 value = 0;
    try {
        try {
            value = m_client->receivingAudioAnswer();
        } catch (const ComError &error) {
            rethrow(error);
        }
    } catch (const AppError &error) {
        emit ReceivingAudioFailed(error);
        return;
    }
    emit ReceivingAudio(value);
}
