// Whoever owns the conference's name, timed as Velmora meets it: a send's
// round trip, and the arrival of the chat text it makes the conference raise
// (both echo every sent text). Prints "TRIP_MS ARRIVAL_MS", medians of 40.
#include "conference_link/conference_bus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

class EchoWatch : public QObject
{
    Q_OBJECT
public:
    QString awaited;
    QEventLoop loop;
public slots:
    void received(const QString &text)
    {
        if (text.contains(awaited))
            loop.quit();
    }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = QString::fromLatin1(ConferenceBus::Service);
    const QString path = QString::fromLatin1(ConferenceBus::Path);
    const QString interface = QString::fromLatin1(ConferenceBus::Interface);
    EchoWatch watch;
    bus.connect(service, path, interface, QStringLiteral("ChatTextReceived"), &watch, SLOT(received(QString)));
    std::vector<double> trips;
    std::vector<double> arrivals;
    for (int i = 0; i < 41; ++i) {
        watch.awaited = QStringLiteral("medida %1 ação").arg(i);
        QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("SendChatText"));
        call << watch.awaited;
        QElapsedTimer timer;
        timer.start();
        QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
        const double trip = timer.nsecsElapsed() / 1e6;
        QTimer::singleShot(5000, &watch.loop, &QEventLoop::quit);
        watch.loop.exec();
        const bool arrived = timer.elapsed() < 5000;
        if (reply.type() == QDBusMessage::ErrorMessage || !arrived) {
            std::fprintf(stderr, "no answer or no echo for send %d\n", i);
            return 1;
        }
        if (i > 0) { // the first warms up
            trips.push_back(trip);
            arrivals.push_back(timer.nsecsElapsed() / 1e6);
        }
    }
    std::printf("%.2f %.2f\n", median(trips), median(arrivals));
    return 0;
}

#include "bench_link_trip.moc"
