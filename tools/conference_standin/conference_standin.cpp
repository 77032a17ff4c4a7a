#include "conference_standin.h"

#include "conference_link/conference_bus.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <limits>
#include <utility>

namespace {

struct DemoLine {
    const char *station;
    const char *text;
    bool transmits;
};

// Made-up stations on a made-up conference.
const DemoLine demoScript[] = {
    {"PY9AAA", "Boa tarde a todos na conferência!", false},
    {"PU9BBB", "Boa tarde! Sinal forte aqui, 5 por 9.", true},
    {"PY9CCC", "Alguém testando o link -R da região?", false},
    {"PY9AAA", "Sim, estou no ar pelo link. Câmbio.", true},
    {"PU9BBB", "Ótimo, até a próxima rodada. 73!", false},
};

void printLine(const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

ConferenceStandin::ConferenceStandin(bool echo, QObject *parent) : QObject(parent), m_echo(echo)
{
    m_demoTimer.setInterval(4000);
    connect(&m_demoTimer, &QTimer::timeout, this, &ConferenceStandin::playNextDemoLine);
    m_demoAudioOff.setSingleShot(true);
    m_demoAudioOff.setInterval(3000);
    connect(&m_demoAudioOff, &QTimer::timeout, this, [this] { m_receivingAudio = 0; });
}

void ConferenceStandin::SendChatText(const QString &text)
{
    if (!m_refusalName.isEmpty() && calledFromDBus()) {
        sendErrorReply(std::exchange(m_refusalName, QString()), std::exchange(m_refusalText, QString()));
        return;
    }
    printLine(text);
    if (m_echo) {
        // Relayed after the reply, as a conference would show it coming back.
        const QString relayed = QString::fromLatin1(EchoCallSign) + QStringLiteral(": ") + text;
        QTimer::singleShot(0, this, [this, relayed] { emit ChatTextReceived(relayed); });
    }
}

void ConferenceStandin::handleInputLine(const QString &line)
{
    if (line == QLatin1String("/quit")) {
        QCoreApplication::quit();
        return;
    }
    if (line == QLatin1String("/audio on")) {
        m_receivingAudio = -1;
        return;
    }
    if (line == QLatin1String("/audio off")) {
        m_receivingAudio = 0;
        return;
    }
    if (line.startsWith(QLatin1String("/stall "))) {
        // A busy application: nothing is answered for that long, then every
        // call that waited is answered late.
        bool ok = false;
        const double seconds = line.mid(7).trimmed().toDouble(&ok);
        if (ok && seconds >= 0)
            QThread::msleep(static_cast<unsigned long>(seconds * 1000));
        else
            std::fprintf(stderr, "conference-standin: /stall aceita um número de segundos\n");
        return;
    }
    if (line.startsWith(QLatin1String("/refuse "))) {
        // The next send is answered with one of the errors the contract names:
        // busy, gone, or refused for the reason given.
        const QString why = line.mid(8).trimmed();
        m_refusalName = QString::fromLatin1(why == QLatin1String("busy")   ? ConferenceBus::BusyError
                                            : why == QLatin1String("gone") ? ConferenceBus::GoneError
                                                                           : ConferenceBus::FailedError);
        m_refusalText = why;
        return;
    }
    if (line.startsWith(QLatin1String("/audio "))) {
        bool ok = false;
        const int value = line.mid(7).trimmed().toInt(&ok, 0);
        if (ok && value >= std::numeric_limits<qint16>::min() && value <= std::numeric_limits<qint16>::max())
            m_receivingAudio = qint16(value);
        else
            std::fprintf(stderr, "conference-standin: /audio aceita on, off ou um inteiro de 16 bits\n");
        return;
    }
    emit ChatTextReceived(line);
}

void ConferenceStandin::startDemo()
{
    m_demoTimer.start();
}

void ConferenceStandin::playNextDemoLine()
{
    const DemoLine &line = demoScript[m_demoStep];
    m_demoStep = (m_demoStep + 1) % int(std::size(demoScript));
    emit ChatTextReceived(QString::fromUtf8(line.station) + QStringLiteral(": ") + QString::fromUtf8(line.text));
    if (line.transmits) {
        m_receivingAudio = -1;
        m_demoAudioOff.start();
    }
}
