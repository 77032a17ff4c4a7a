#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;
struct DBusConnection;

// One signal with a string, read off the session bus through libdbus on a
// connection of its own. QtDBus decodes every string with Qt's plain UTF-8
// conversion, which drops a U+FEFF at its start; a chat text must reach the
// window exactly as the conference sent it.
class DbusSignalReader : public QObject
{
    Q_OBJECT

public:
    // Listens to member of interface at path, sent by the owner of sender.
    // Throws AppError 429 when the bus cannot be reached or listened to.
    DbusSignalReader(const QString &sender, const QString &path, const QString &interface, const QString &member,
                     QObject *parent = nullptr);
    ~DbusSignalReader() override;

signals:
    void received(const QString &text);

private:
    void readAvailable();

    DBusConnection *m_connection = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_interface;
    QByteArray m_member;
};
