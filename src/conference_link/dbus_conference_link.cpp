#include "conference_link/dbus_conference_link.h"

#include "conference_link/conference_bus.h"
#include "conference_link/dbus_signal_reader.h"
#include "runtime/app_error.h"

#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <algorithm>
#include <initializer_list>

namespace {

const QString Service = QString::fromLatin1(ConferenceBus::Service);
const QString Path = QString::fromLatin1(ConferenceBus::Path);
const QString Interface = QString::fromLatin1(ConferenceBus::Interface);

// The report's words for number, then what happened.
QString words(ErrorNumber number, const QString &happened)
{
    return QString::fromWCharArray(linkWords(number)) + QStringLiteral(": ") + happened;
}

// Whether errorName is one of names (D-Bus's own error names).
bool isOneOf(const QString &errorName, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char *name) { return errorName == QLatin1String(name); });
}

// The reply, or the failure it carries as the operator sees it. D-Bus's own
// descriptions are English: only the error's name, an identifier, is shown.
QDBusMessage checked(const QDBusMessage &reply, const QString &what)
{
    if (reply.type() != QDBusMessage::ErrorMessage)
        return reply;
    const QString name = reply.errorName();
    // No answer in time: the application is busy or slow.
    if (isOneOf(name, {"org.freedesktop.DBus.Error.NoReply", "org.freedesktop.DBus.Error.Timeout",
                       "org.freedesktop.DBus.Error.TimedOut", ConferenceBus::BusyError})) {
        throw AppError(ErrorNumber::AutomationError,
                       QStringLiteral("%1: não respondeu em %2 segundos ao %3.")
                           .arg(QString::fromWCharArray(BusyWords))
                           .arg(CallLimitMs / 1000)
                           .arg(what),
                       true);
    }
    // The application has left the bus, or the bus itself has gone.
    if (isOneOf(name, {"org.freedesktop.DBus.Error.ServiceUnknown", "org.freedesktop.DBus.Error.NameHasNoOwner",
                       "org.freedesktop.DBus.Error.Disconnected", "org.freedesktop.DBus.Error.NoServer",
                       ConferenceBus::GoneError})) {
        throw AppError(ErrorNumber::ServerUnavailable,
                       words(ErrorNumber::ServerUnavailable,
                             QStringLiteral("o aplicativo de conferência não está mais disponível (%1).").arg(name)));
    }
    // The conference's own description of why it refused, when it gave one.
    const QString why = name == QLatin1String(ConferenceBus::FailedError) ? reply.errorMessage() : name;
    throw AppError(ErrorNumber::AutomationError,
                   words(ErrorNumber::AutomationError,
                         QStringLiteral("o aplicativo de conferência recusou o %1 (%2).").arg(what, why)));
}

} // namespace

DbusConferenceLink::DbusConferenceLink(const QDBusConnection &bus) : m_bus(bus)
{
    if (!m_bus.isConnected()) {
        throw AppError(
            ErrorNumber::CannotCreateObject,
            words(ErrorNumber::CannotCreateObject,
                  QStringLiteral("não há barramento de sessão D-Bus (%1).").arg(m_bus.lastError().message())));
    }
    const auto owned = m_bus.interface()->isServiceRegistered(Service);
    if (!owned.isValid() || !owned.value()) {
        throw AppError(
            ErrorNumber::CannotCreateObject,
            words(ErrorNumber::CannotCreateObject,
                  QStringLiteral("o aplicativo de conferência não está em execução (ninguém atende por %1 no "
                                 "barramento de sessão).")
                      .arg(Service)));
    }
    m_events = new DbusSignalReader(Service, Path, Interface, QStringLiteral("ChatTextReceived"), this);
    connect(m_events, &DbusSignalReader::received, this, &DbusConferenceLink::received);
}

void DbusConferenceLink::settleBeforeLoss(const AppError &error)
{
    if (error.number() != ErrorNumber::ServerUnavailable)
        return;
    m_events->readUntilOwnerGone(CallLimitMs);
    handOnEverything();
}

void DbusConferenceLink::sendChatText(const QString &text)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("SendChatText"));
    // A D-Bus string cannot hold NUL: each one travels as U+FFFD rather than
    // cutting the text short there.
    message << QString(text).replace(QChar(0), QChar::ReplacementCharacter);
    try {
        checked(m_bus.call(message, QDBus::Block, CallLimitMs), QStringLiteral("envio do texto"));
    } catch (const AppError &error) {
        settleBeforeLoss(error);
        throw;
    }
}

void DbusConferenceLink::askReceivingAudio()
{
    if (m_asking)
        return;
    QDBusMessage message = QDBusMessage::createMethodCall(
        Service, Path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << Interface << QStringLiteral("ReceivingAudio");
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, CallLimitMs), this);
    m_asking = true;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answer) {
        answer->deleteLater();
        m_asking = false;
        qint16 value = 0;
        try {
            const QDBusMessage reply = checked(answer->reply(),
                                               QStringLiteral("pedido do estado de recepção de áudio"));
            const QVariant state = reply.arguments().value(0).value<QDBusVariant>().variant();
            if (state.metaType().id() != QMetaType::Short) {
                throw AppError(ErrorNumber::TypeMismatch,
                               QStringLiteral("Tipos incompatíveis: o aplicativo de conferência informou o estado de "
                                              "recepção de áudio como \"%1\" em vez de um inteiro de 16 bits.")
                                   .arg(QString::fromLatin1(state.metaType().name())));
            }
            value = state.value<qint16>();
        } catch (const AppError &error) {
            settleBeforeLoss(error);
            emit ReceivingAudioFailed(error);
            return;
        }
        emit ReceivingAudio(value);
    });
}
