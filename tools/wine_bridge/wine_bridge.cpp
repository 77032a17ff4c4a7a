#include "wine_bridge.h"

#include "bridge_protocol.h"
#include "conference_link/conference_bus.h"
#include "conference_link/exact_utf8.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcessEnvironment>

namespace {

QString fromLine(const std::string &text)
{
    // A D-Bus string cannot hold NUL: U+FFFD stands for it, as Velmora sends it.
    return exactFromUtf8(QByteArrayView(text.data(), qsizetype(text.size())))
        .replace(QChar(0), QChar::ReplacementCharacter);
}

std::string_view view(const QByteArray &bytes)
{
    return {bytes.constData(), size_t(bytes.size())};
}

} // namespace

WineBridge::WineBridge(QString wine, QString exe, QString prefix, QObject *parent)
    : QObject(parent), m_wine(std::move(wine)), m_exe(std::move(exe)), m_prefix(std::move(prefix))
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setReadChannel(QProcess::StandardOutput);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &WineBridge::readOutput);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail(QStringLiteral("o Wine não pôde ser iniciado (%1); instale o pacote wine").arg(m_wine));
    });
    connect(&m_process, &QProcess::finished, this, [this] {
        readOutput();
        if (!m_started)
            fail(QStringLiteral("o lado Windows da ponte terminou antes de criar o objeto do aplicativo de "
                                "conferência (o Wine funciona neste prefixo?)"));
        else
            end(QStringLiteral("o lado Windows da ponte terminou"));
    });
    m_startLimit.setSingleShot(true);
    connect(&m_startLimit, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("o objeto do aplicativo de conferência não foi criado em %1 segundos")
                 .arg(StartLimitMs / 1000));
    });
}

WineBridge::~WineBridge()
{
    // The end of its input ends the Windows side; it is not waited for long.
    if (m_process.state() != QProcess::NotRunning) {
        m_process.disconnect(this);
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }
}

void WineBridge::start()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!m_prefix.isEmpty())
        environment.insert(QStringLiteral("WINEPREFIX"), m_prefix);
    if (!environment.contains(QStringLiteral("WINEDEBUG")))
        environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    m_process.setProcessEnvironment(environment);
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_startLimit.start(StartLimitMs);
    m_process.start(m_wine, {m_exe});
}

qint16 WineBridge::receivingAudio()
{
    if (!m_audioAsked && m_serving) {
        m_audioAsked = true;
        ask("audio", {});
    }
    return m_audio;
}

void WineBridge::SendChatText(const QString &text)
{
    if (!calledFromDBus())
        return;
    setDelayedReply(true);
    ask("send " + QByteArray::fromStdString(BridgeProtocol::escape(view(text.toUtf8()))), message());
}

void WineBridge::ask(const QByteArray &line, const QDBusMessage &call)
{
    const quint64 serial = m_nextSerial++;
    m_requests.push_back({serial, call});
    m_process.write(line + '\n');
    if (call.type() == QDBusMessage::MethodCallMessage)
        QTimer::singleShot(AnswerLimitMs, this, [this, serial] { answerBusy(serial); });
}

void WineBridge::answerBusy(quint64 serial)
{
    for (Request &request : m_requests) {
        if (request.serial == serial && !request.answered) {
            request.answered = true;
            QDBusConnection::sessionBus().send(
                request.call.createErrorReply(QString::fromLatin1(ConferenceBus::BusyError),
                                              QStringLiteral("o aplicativo de conferência não respondeu a tempo")));
        }
    }
}

void WineBridge::readOutput()
{
    m_output += m_process.readAllStandardOutput();
    qsizetype start = 0;
    for (qsizetype end; !m_over && (end = m_output.indexOf('\n', start)) >= 0; start = end + 1)
        handleLine(m_output.mid(start, end - start));
    m_output.remove(0, start);
}

void WineBridge::handleLine(const QByteArray &line)
{
    const qsizetype space = line.indexOf(' ');
    const QByteArray word = space < 0 ? line : line.left(space);
    const QByteArray rest = space < 0 ? QByteArray() : line.mid(space + 1);
    if (word == "chat") {
        if (const auto text = BridgeProtocol::unescape(view(rest)))
            emit ChatTextReceived(fromLine(*text));
        return;
    }
    if (!m_started) {
        if (word == "ready") {
            m_started = true;
            // The state is known before the first caller asks for it.
            m_audioAsked = true;
            ask("audio", {});
            return;
        }
        const auto error = BridgeProtocol::parseError(view(rest));
        fail(QStringLiteral("não foi possível criar o objeto do aplicativo de conferência no Wine (erro %1: %2)")
                 .arg(error ? error->number : 0)
                 .arg(error ? fromLine(error->description) : QString::fromUtf8(line)));
        return;
    }
    handleAnswer(word, rest);
}

void WineBridge::handleAnswer(const QByteArray &word, const QByteArray &rest)
{
    if (m_requests.empty())
        return;
    const Request request = m_requests.front();
    m_requests.pop_front();
    const bool toCaller = request.call.type() == QDBusMessage::MethodCallMessage && !request.answered;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (word == "ok" || word == "audio") {
        if (word == "audio") {
            m_audio = qint16(rest.toInt());
            m_audioAsked = false;
            if (!m_serving)
                startServing();
        }
        if (toCaller)
            bus.send(request.call.createReply());
        return;
    }
    const auto error = BridgeProtocol::parseError(view(rest));
    const BridgeProtocol::Failure kind = error ? error->kind : BridgeProtocol::Failure::Other;
    const QString description = error ? fromLine(error->description) : QString::fromUtf8(rest);
    if (request.call.type() != QDBusMessage::MethodCallMessage)
        m_audioAsked = false; // a busy or failed read keeps the state last known
    if (toCaller) {
        const char *name = kind == BridgeProtocol::Failure::Busy   ? ConferenceBus::BusyError
                           : kind == BridgeProtocol::Failure::Gone ? ConferenceBus::GoneError
                                                                   : ConferenceBus::FailedError;
        bus.send(request.call.createErrorReply(QString::fromLatin1(name), description));
    }
    if (kind == BridgeProtocol::Failure::Gone) {
        if (!m_serving)
            fail(QStringLiteral("o aplicativo de conferência encerrou (%1)").arg(description));
        else
            end(QStringLiteral("o aplicativo de conferência encerrou (%1)").arg(description));
    }
}

void WineBridge::startServing()
{
    m_startLimit.stop();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        fail(QStringLiteral("não há barramento de sessão D-Bus"));
        return;
    }
    if (!bus.registerObject(QString::fromLatin1(ConferenceBus::Path), this, QDBusConnection::ExportAdaptors)) {
        fail(QStringLiteral("não foi possível publicar o objeto %1").arg(QString::fromLatin1(ConferenceBus::Path)));
        return;
    }
    const auto reply = bus.interface()->registerService(QString::fromLatin1(ConferenceBus::Service),
                                                        QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(QString::fromLatin1(ConferenceBus::Path));
        fail(QStringLiteral("o nome %1 já tem dono no barramento de sessão; outra conferência está em execução")
                 .arg(QString::fromLatin1(ConferenceBus::Service)));
        return;
    }
    m_serving = true;
    emit serving();
}

void WineBridge::fail(const QString &why)
{
    if (m_over)
        return;
    m_over = true;
    m_startLimit.stop();
    m_process.disconnect(this);
    m_process.kill();
    emit failed(why);
}

void WineBridge::end(const QString &why)
{
    if (m_over)
        return;
    m_over = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (m_serving) {
        bus.interface()->unregisterService(QString::fromLatin1(ConferenceBus::Service));
        bus.unregisterObject(QString::fromLatin1(ConferenceBus::Path));
        m_serving = false;
    }
    // Calls still waiting learn that the application has gone.
    for (const Request &request : m_requests)
        if (request.call.type() == QDBusMessage::MethodCallMessage && !request.answered)
            bus.send(request.call.createErrorReply(QString::fromLatin1(ConferenceBus::GoneError), why));
    m_requests.clear();
    m_process.disconnect(this);
    m_process.closeWriteChannel();
    emit ended(why);
}
