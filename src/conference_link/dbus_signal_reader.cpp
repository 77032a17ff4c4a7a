#include "conference_link/dbus_signal_reader.h"

#include "conference_link/exact_utf8.h"
#include "runtime/app_error.h"

#include <QSocketNotifier>
#include <QTimer>

#include <dbus/dbus.h>

namespace {

[[noreturn]] void cannotListen(DBusError &error)
{
    const QString why = QString::fromUtf8(error.message ? error.message : "");
    dbus_error_free(&error);
    throw AppError(
        ErrorNumber::CannotCreateObject,
        QString::fromWCharArray(linkWords(ErrorNumber::CannotCreateObject))
            + QStringLiteral(": não foi possível assinar os eventos do aplicativo de conferência (%1).").arg(why));
}

} // namespace

DbusSignalReader::DbusSignalReader(const QString &sender, const QString &path, const QString &interface,
                                   const QString &member, QObject *parent)
    : QObject(parent), m_interface(interface.toUtf8()), m_member(member.toUtf8())
{
    DBusError error;
    dbus_error_init(&error);
    m_connection = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    if (!m_connection)
        cannotListen(error);
    dbus_connection_set_exit_on_disconnect(m_connection, FALSE);
    const QByteArray rule = QStringLiteral("type='signal',sender='%1',path='%2',interface='%3',member='%4'")
                                .arg(sender, path, interface, member)
                                .toUtf8();
    dbus_bus_add_match(m_connection, rule.constData(), &error);
    int socket = -1;
    if (dbus_error_is_set(&error) || !dbus_connection_get_unix_fd(m_connection, &socket)) {
        dbus_connection_close(m_connection);
        dbus_connection_unref(m_connection);
        m_connection = nullptr;
        cannotListen(error);
    }
    m_notifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DbusSignalReader::readAvailable);
    // What came while the rule was being set is already read in.
    QTimer::singleShot(0, this, &DbusSignalReader::readAvailable);
}

DbusSignalReader::~DbusSignalReader()
{
    delete m_notifier;
    if (m_connection) {
        dbus_connection_close(m_connection);
        dbus_connection_unref(m_connection);
    }
}

void DbusSignalReader::readAvailable()
{
    if (!dbus_connection_read_write(m_connection, 0)) {
        m_notifier->setEnabled(false); // the bus has gone: the next call says so
        return;
    }
    while (DBusMessage *message = dbus_connection_pop_message(m_connection)) {
        const char *text = nullptr;
        if (dbus_message_is_signal(message, m_interface.constData(), m_member.constData())
            && dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID))
            emit received(exactFromUtf8(text));
        dbus_message_unref(message);
    }
}
