#include "conference_link/dbus_signal_reader.h"

#include "conference_link/exact_utf8.h"
#include "runtime/app_error.h"
#include "runtime/call_limit.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <dbus/dbus.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr const char *Bus = DBUS_SERVICE_DBUS;
constexpr const char *BusPath = DBUS_PATH_DBUS;
constexpr const char *BusInterface = DBUS_INTERFACE_DBUS;

[[noreturn]] void cannotListen(const QString &why)
{
    throw AppError(
        ErrorNumber::CannotCreateObject,
        QString::fromWCharArray(linkWords(ErrorNumber::CannotCreateObject))
            + QStringLiteral(": não foi possível assinar os eventos do aplicativo de conferência (%1).").arg(why));
}

// The connection made and set up off the window's thread (libdbus's own
// calls wait up to 25 s on a bus that does not answer): the window waits for
// it no longer than the call limit, and one it stopped waiting for is
// closed by the thread when it is done.
struct Setup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool abandoned = false;
    DBusConnection *connection = nullptr;
    QByteArray owner;
    QString error;
};

void closeConnection(DBusConnection *connection)
{
    if (connection) {
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
}

void setUp(const std::shared_ptr<Setup> &setup, const QByteArray &service, const QByteArray &chatRule)
{
    DBusError error;
    dbus_error_init(&error);
    DBusConnection *connection = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    QByteArray owner;
    if (connection) {
        dbus_connection_set_exit_on_disconnect(connection, FALSE);
        // The owner's changes first, then who owns it now: no change is missed.
        const QByteArray ownerRule = "type='signal',sender='" + QByteArray(Bus) + "',path='" + BusPath
                                     + "',interface='" + BusInterface + "',member='NameOwnerChanged',arg0='"
                                     + service + "'";
        dbus_bus_add_match(connection, ownerRule.constData(), &error);
        if (!dbus_error_is_set(&error))
            dbus_bus_add_match(connection, chatRule.constData(), &error);
        if (!dbus_error_is_set(&error)) {
            DBusMessage *ask = dbus_message_new_method_call(Bus, BusPath, BusInterface, "GetNameOwner");
            const char *name = service.constData();
            dbus_message_append_args(ask, DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID);
            DBusError none;
            dbus_error_init(&none);
            if (DBusMessage *reply = dbus_connection_send_with_reply_and_block(connection, ask, CallLimitMs, &none)) {
                const char *unique = nullptr;
                if (dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &unique, DBUS_TYPE_INVALID))
                    owner = unique;
                dbus_message_unref(reply);
            }
            dbus_error_free(&none); // nobody owns it now: the next owner is followed
            dbus_message_unref(ask);
        }
    }
    std::lock_guard<std::mutex> lock(setup->mutex);
    if (dbus_error_is_set(&error) || !connection) {
        setup->error = QString::fromUtf8(error.message ? error.message : "");
        closeConnection(connection);
        connection = nullptr;
    }
    dbus_error_free(&error);
    if (setup->abandoned) {
        closeConnection(connection);
    } else {
        setup->connection = connection;
        setup->owner = owner;
    }
    setup->finished = true;
    setup->done.notify_all();
}

} // namespace

DbusSignalReader::DbusSignalReader(const QString &service, const QString &path, const QString &interface,
                                   const QString &member, QObject *parent)
    : QObject(parent), m_service(service.toUtf8()), m_path(path.toUtf8()), m_interface(interface.toUtf8()),
      m_member(member.toUtf8())
{
    dbus_threads_init_default();
    const QByteArray chatRule = "type='signal',sender='" + m_service + "',path='" + m_path + "',interface='"
                                + m_interface + "',member='" + m_member + "'";
    auto setup = std::make_shared<Setup>();
    std::thread(setUp, setup, m_service, chatRule).detach();
    {
        std::unique_lock<std::mutex> lock(setup->mutex);
        if (!setup->done.wait_for(lock, std::chrono::milliseconds(CallLimitMs), [&] { return setup->finished; })) {
            setup->abandoned = true;
            lock.unlock();
            cannotListen(QStringLiteral("o barramento de sessão não respondeu em %1 segundos").arg(CallLimitMs / 1000));
        }
        m_connection = setup->connection;
        m_owner = setup->owner;
        if (!m_connection)
            cannotListen(setup->error);
    }
    int socket = -1;
    if (!dbus_connection_get_unix_fd(m_connection, &socket)) {
        closeConnection(m_connection);
        m_connection = nullptr;
        cannotListen(QStringLiteral("sem conexão"));
    }
    m_notifier = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &DbusSignalReader::readAvailable);
    // What came while the rules were being set is already read in.
    QTimer::singleShot(0, this, &DbusSignalReader::readAvailable);
}

DbusSignalReader::~DbusSignalReader()
{
    delete m_notifier;
    closeConnection(m_connection);
}

void DbusSignalReader::readAvailable()
{
    // Everything already read in is taken, even when the bus has just gone.
    if (m_connected && !dbus_connection_read_write(m_connection, 0))
        m_connected = false;
    while (DBusMessage *message = dbus_connection_pop_message(m_connection))
        take(message);
    if (!m_connected)
        m_notifier->setEnabled(false); // the bus has gone: the next call says so
}

void DbusSignalReader::readUntilOwnerGone(int timeoutMs)
{
    readAvailable();
    const QDeadlineTimer deadline(timeoutMs);
    while (m_connected && !m_owner.isEmpty() && !deadline.hasExpired()) {
        if (!dbus_connection_read_write(m_connection, int(std::max<qint64>(1, deadline.remainingTime()))))
            m_connected = false;
        while (DBusMessage *message = dbus_connection_pop_message(m_connection))
            take(message);
    }
}

void DbusSignalReader::take(DBusMessage *message)
{
    const char *sender = dbus_message_get_sender(message);
    if (dbus_message_is_signal(message, BusInterface, "NameOwnerChanged") && sender
        && std::strcmp(sender, Bus) == 0 && dbus_message_has_path(message, BusPath)) {
        const char *name = nullptr;
        const char *before = nullptr;
        const char *after = nullptr;
        if (dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &name, DBUS_TYPE_STRING, &before,
                                  DBUS_TYPE_STRING, &after, DBUS_TYPE_INVALID)
            && m_service == name)
            m_owner = after;
    } else if (dbus_message_is_signal(message, DBUS_INTERFACE_LOCAL, "Disconnected")) {
        m_connected = false;
    } else if (dbus_message_is_signal(message, m_interface.constData(), m_member.constData())
               && dbus_message_has_path(message, m_path.constData())
               && dbus_message_has_signature(message, DBUS_TYPE_STRING_AS_STRING) && sender && !m_owner.isEmpty()
               && m_owner == sender) {
        const char *text = nullptr;
        if (dbus_message_get_args(message, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID))
            emit received(exactFromUtf8(text));
    }
    dbus_message_unref(message);
}
