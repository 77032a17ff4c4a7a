#include "chat_session.h"

#include "forms/msg_box.h"
#include "runtime/handler.h"

#include <QTest>

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
