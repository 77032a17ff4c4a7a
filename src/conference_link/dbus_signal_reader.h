#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
struct DBusConnection;
struct DBusMessage;

// One signal with one string, read off the session bus through libdbus on a
// connection of its own. QtDBus decodes every string with Qt's plain UTF-8
// conversion, which drops a U+FEFF at its start; a chat text must reach the
// window exactly as the conference sent it. Only the connection that owns
// the conference's name at that moment speaks (followed through the bus's
// NameOwnerChanged, in the order the bus delivered everything): a signal
// from anyone else, on another path or interface, or with other arguments
// than one string, is dropped, whether broadcast or sent to this connection.
class DbusSignalReader : public QObject
{
    Q_OBJECT

public:
    // Listens to member of interface at path, sent by the owner of service.
    // Throws AppError 429 when the bus cannot be reached or listened to
    // within the call limit; nothing here waits on the bus longer.
    DbusSignalReader(const QString &service, const QString &path, const QString &interface, const QString &member,
                     QObject *parent = nullptr);
    ~DbusSignalReader() override;

    // Takes in everything the bus has sent until the conference has left it
    // (the bus says so after the last text it sent), the connection has gone,
    // or timeoutMs has passed: the texts it sent before it went are received.
    void readUntilOwnerGone(int timeoutMs);

signals:
    void received(const QString &text);

private:
    void readAvailable();
    void take(DBusMessage *message);

    DBusConnection *m_connection = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_service;
    QByteArray m_path;
    QByteArray m_interface;
    QByteArray m_member;
    // The unique name of the connection that owns the service now (empty: nobody).
    QByteArray m_owner;
    bool m_connected = true;
};
