#include "conference_standin.h"

#include "conference_link/conference_bus.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusVariant>
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

ConferenceStandin::ConferenceStandin(const QDBusConnection &bus, bool echo, QObject *parent)
    : QObject(parent), m_bus(bus), m_echo(echo)
{
    m_demoTimer.setInterval(4000);
    connect(&m_demoTimer, &QTimer::timeout, this, &ConferenceStandin::playNextDemoLine);
    m_demoAudioOff.setSingleShot(true);
    m_demoAudioOff.setInterval(3000);
    connect(&m_demoAudioOff, &QTimer::timeout, this, [this] { m_receivingAudio = 0; });
}

bool ConferenceStandin::publish()
{
    return m_bus.registerObject(QString::fromLatin1(ConferenceBus::Path), this, QDBusConnection::ExportAdaptors);
}

void ConferenceStandin::SendChatText(const QString &text)
{
    if (!m_refusalName.isEmpty() && calledFromDBus()) {
        sendErrorReply(std::exchange(m_refusalName, QString()), std::exchange(m_refusalText, QString()));
        return;
    }
    sent(text);
}

void ConferenceStandin::sent(const QString &text)
{
    printLine(text);
    if (m_echo) {
        // Relayed after the reply, as a conference would show it coming back.
        const QString relayed = QString::fromLatin1(EchoCallSign) + QStringLiteral(": ") + text;
        QTimer::singleShot(0, this, [this, relayed] { chat(relayed); });
    }
}

void ConferenceStandin::chat(const QString &text)
{
    if (!m_breakingContract) {
        emit ChatTextReceived(text);
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(ConferenceBus::Path),
                                                     QString::fromLatin1(ConferenceBus::Interface),
                                                     QStringLiteral("ChatTextReceived"));
    signal << text;
    m_bus.send(signal);
}

bool ConferenceStandin::AudioAsText::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    if (message.member() == QLatin1String("Get")) {
        connection.send(message.createReply(QVariant::fromValue(QDBusVariant(QStringLiteral("sim")))));
        return true;
    }
    if (message.member() == QLatin1String("SendChatText")) {
        m_standin.sent(message.arguments().value(0).toString());
        connection.send(message.createReply());
        return true;
    }
    return false;
}

void ConferenceStandin::handleInputLine(const QString &line)
{
    if (line == QLatin1String("/quit")) {
        // Every text sent before it reaches the bus first: a call's answer
        // comes after all that was sent ahead of it on the connection.
        QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetId")));
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
    if (line == QLatin1String("/audio texto")) {
        m_bus.unregisterObject(QString::fromLatin1(ConferenceBus::Path));
        m_breakingContract = m_bus.registerVirtualObject(QString::fromLatin1(ConferenceBus::Path), &m_audioAsText);
        return;
    }
    if (line.startsWith(QLatin1String("/audio "))) {
        bool ok = false;
        const int value = line.mid(7).trimmed().toInt(&ok, 0);
        if (ok && value >= std::numeric_limits<qint16>::min() && value <= std::numeric_limits<qint16>::max())
            m_receivingAudio = qint16(value);
        else
            std::fprintf(stderr, "conference-standin: /audio aceita on, off, texto ou um inteiro de 16 bits\n");
        return;
    }
    chat(line);
}

void ConferenceStandin::startDemo()
{
    m_demoTimer.start();
}

void ConferenceStandin::playNextDemoLine()
{
    const DemoLine &line = demoScript[m_demoStep];
    m_demoStep = (m_demoStep + 1) % int(std::size(demoScript));
    chat(QString::fromUtf8(line.station) + QStringLiteral(": ") + QString::fromUtf8(line.text));
    if (line.transmits) {
        m_receivingAudio = -1;
        m_demoAudioOff.start();
    }
}
