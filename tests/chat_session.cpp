#include "chat_session.h"

#include "forms/msg_box.h"
#include "runtime/handler.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <functional>

ChatSession::ChatSession()
{
    Handler::setReporter([this](ErrorNumber number, const QString &description) {
        reports.append({toInt(number), description});
    });
    MsgBox::setPresenter([this](const QString &text, QMessageBox::Icon) { messages.append(text); });
}

ChatSession::~ChatSession()
{
    m_window.reset();
    m_standin.reset();
    Handler::restoreDefaultReporter();
    MsgBox::restoreDefaultPresenter();
}

bool ChatSession::open(const QStringList &standinArguments)
{
    m_standin = std::make_unique<StandinProcess>(standinArguments);
    if (!m_standin->start())
        return false;
    m_window = velmora::start();
    return m_window && QTest::qWaitForWindowActive(m_window.get());
}

void typeText(QWidget *widget, const QString &text)
{
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_A, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_A, QString(ch), Qt::NoModifier);
    }
}

namespace {

AudioAnswer awaitAudio(ConferenceLink &link, const std::function<void()> &ask)
{
    AudioAnswer answer;
    QEventLoop loop;
    const auto answered = QObject::connect(&link, &ConferenceLink::ReceivingAudio, &loop, [&](qint16 value) {
        answer.value = value;
        answer.answered = true;
        loop.quit();
    });
    const auto failed = QObject::connect(&link, &ConferenceLink::ReceivingAudioFailed, &loop, [&](const AppError &e) {
        answer.error = toInt(e.number());
        answer.busy = e.isBusy();
        answer.answered = true;
        loop.quit();
    });
    QTimer::singleShot(3 * CallLimitMs / 2, &loop, &QEventLoop::quit);
    ask();
    if (!answer.answered)
        loop.exec();
    QObject::disconnect(answered);
    QObject::disconnect(failed);
    return answer;
}

} // namespace

AudioAnswer askAudio(ConferenceLink &link)
{
    return awaitAudio(link, [&] { link.askReceivingAudio(); });
}

AudioAnswer tick(velmora *window)
{
    return awaitAudio(*window->Echo, [&] { window->Timer1_Timer(); });
}

bool waitForConferenceAudio(qint16 value)
{
    const auto link = ConferenceLink::create();
    QDeadlineTimer deadline(5000);
    for (;;) {
        const AudioAnswer answer = askAudio(*link);
        if (answer.answered && answer.error == 0 && answer.value == value)
            return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
}
