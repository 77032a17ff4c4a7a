#include "standin_process.h"

#include "conference_link/conference_bus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QTest>

bool waitForConferenceOwner(bool owned, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const auto reply = QDBusConnection::sessionBus().interface()->isServiceRegistered(
            QString::fromLatin1(ConferenceBus::Service));
        if (reply.isValid() && reply.value() == owned)
            return true;
        QTest::qWait(20);
    }
    return false;
}

StandinProcess::StandinProcess(const QStringList &arguments) : m_arguments(arguments)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setReadChannel(QProcess::StandardOutput);
}

StandinProcess::~StandinProcess()
{
    kill();
}

bool StandinProcess::start()
{
    m_process.start(QStringLiteral(VELMORA_STANDIN_PATH), m_arguments);
    return m_process.waitForStarted(5000) && waitForConferenceOwner(true);
}

void StandinProcess::feed(const QString &line)
{
    m_process.write(line.toUtf8() + '\n');
    m_process.waitForBytesWritten(5000);
}

QStringList StandinProcess::sentLines()
{
    m_output += m_process.readAllStandardOutput();
    QStringList lines = QString::fromUtf8(m_output).split(QLatin1Char('\n'));
    lines.removeLast(); // the part after the last line end
    return lines;
}

bool StandinProcess::waitForSentLines(int count)
{
    QDeadlineTimer deadline(5000);
    while (sentLines().size() < count && !deadline.hasExpired())
        QTest::qWait(10);
    return sentLines().size() >= count;
}

void StandinProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
    waitForConferenceOwner(false);
}
