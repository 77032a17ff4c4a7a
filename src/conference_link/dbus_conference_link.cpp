#include "conference_link/dbus_conference_link.h"

#include "conference_link/conference_bus.h"
#include "runtime/app_error.h"

#include <QDBusConnectionInterface>
#include <QDBusVariant>

namespace {

const QString Service = QString::fromLatin1(ConferenceBus::Service);
const QString Path = QString::fromLatin1(ConferenceBus::Path);
const QString Interface = QString::fromLatin1(ConferenceBus::Interface);

// Besides no answer in time: the application has left the bus, or the bus itself has gone.
bool meansApplicationGone(const QString &errorName)
{
    static const char *const gone[] = {
        "org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
        "org.freedesktop.DBus.Error.TimedOut",       "org.freedesktop.DBus.Error.Disconnected",
        "org.freedesktop.DBus.Error.NoServer",
    };
    for (const char *name : gone) {
        if (errorName == QLatin1String(name))
            return true;
    }
    return false;
}

} // namespace

DbusConferenceLink::DbusConferenceLink(const QDBusConnection &bus) : m_bus(bus)
{
    if (!m_bus.isConnected()) {
        throw AppError(ErrorNumber::CannotCreateObject,
                       QStringLiteral("O componente não pode criar o objeto: não há barramento de sessão D-Bus (%1).")
                           .arg(m_bus.lastError().message()));
    }
    const auto owned = m_bus.interface()->isServiceRegistered(Service);
    if (!owned.isValid() || !owned.value()) {
        throw AppError(ErrorNumber::CannotCreateObject,
                       QStringLiteral("O componente não pode criar o objeto: o aplicativo de conferência não está em "
                                      "execução (ninguém atende por %1 no barramento de sessão).")
                           .arg(Service));
    }
    const bool connected = m_bus.connect(Service, Path, Interface, QStringLiteral("ChatTextReceived"), this,
                                         SLOT(onChatTextReceived(QString)));
    if (!connected) {
        throw AppError(ErrorNumber::CannotCreateObject,
                       QStringLiteral("O componente não pode criar o objeto: não foi possível assinar os eventos do "
                                      "aplicativo de conferência (%1).")
                           .arg(m_bus.lastError().message()));
    }
}

void DbusConferenceLink::onChatTextReceived(const QString &stexto)
{
    received(stexto);
}

QDBusMessage DbusConferenceLink::call(QDBusMessage message)
{
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, CallTimeoutMs);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return reply;
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply")
        || name == QLatin1String("org.freedesktop.DBus.Error.Timeout")) {
        throw AppError(ErrorNumber::ServerUnavailable,
                       QStringLiteral("O aplicativo de conferência não respondeu em %1 segundos (%2).")
                           .arg(CallTimeoutMs / 1000)
                           .arg(reply.errorMessage()));
    }
    if (meansApplicationGone(name)) {
        throw AppError(
            ErrorNumber::ServerUnavailable,
            QStringLiteral("O aplicativo de conferência não está mais disponível (%1).").arg(reply.errorMessage()));
    }
    throw AppError(ErrorNumber::AutomationError, QStringLiteral("Erro de automação: o aplicativo de conferência "
                                                                "recusou a chamada (%1: %2).")
                                                     .arg(name, reply.errorMessage()));
}

void DbusConferenceLink::sendChatText(const QString &text)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("SendChatText"));
    // A D-Bus string cannot hold NUL: each one travels as U+FFFD rather than
    // cutting the text short there.
    message << QString(text).replace(QChar(0), QChar::ReplacementCharacter);
    call(message);
}

qint16 DbusConferenceLink::receivingAudio()
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        Service, Path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << Interface << QStringLiteral("ReceivingAudio");
    const QDBusMessage reply = call(message);
    const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
    if (value.metaType().id() != QMetaType::Short) {
        throw AppError(ErrorNumber::TypeMismatch,
                       QStringLiteral("Tipos incompatíveis: o aplicativo de conferência informou o estado de "
                                      "recepção de áudio como \"%1\" em vez de um inteiro de 16 bits.")
                           .arg(QString::fromLatin1(value.metaType().name())));
    }
    return value.value<qint16>();
}
