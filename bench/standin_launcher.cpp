#include "standin_launcher.h"

#include "conference_link/conference_bus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QThread>

bool startStandin(QProcess &standin)
{
    standin.start(QStringLiteral(VELMORA_STANDIN_PATH), {});
    for (int i = 0; i < 200; ++i) {
        if (QDBusConnection::sessionBus().interface()->isServiceRegistered(QString::fromLatin1(ConferenceBus::Service)))
            return true;
        QThread::msleep(25);
    }
    return false;
}
