// A burst of 10,000 chat texts over the session bus: the time until the chat
// window shows them all, beside the time a bare bus client takes only to
// receive them, and how often the window repainted meanwhile.
#include "chat_window/velmora.h"
#include "conference_link/conference_bus.h"
#include "forms/text_box.h"
#include "standin_launcher.h"

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>

namespace {

constexpr int burst = 10000;

class Counter : public QObject
{
    Q_OBJECT
public:
    int received = 0;
    int paints = 0;
public slots:
    void onText(const QString &) { ++received; }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

QByteArray lines()
{
    QByteArray bytes;
    for (int i = 0; i < burst; ++i)
        bytes += "PY9AAA: mensagem " + QByteArray::number(i) + " da rajada\n";
    return bytes;
}

// Milliseconds until done() after writing the burst to the stand-in.
template <typename Done>
double timeBurst(QProcess &standin, Done done)
{
    QElapsedTimer timer;
    timer.start();
    standin.write(lines());
    while (!done() && timer.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QProcess standin;
    if (!startStandin(standin)) {
        std::fprintf(stderr, "the stand-in conference did not start\n");
        return 1;
    }

    Counter bare;
    QDBusConnection::sessionBus().connect(QString::fromLatin1(ConferenceBus::Service),
                                          QString::fromLatin1(ConferenceBus::Path),
                                          QString::fromLatin1(ConferenceBus::Interface),
                                          QStringLiteral("ChatTextReceived"), &bare, SLOT(onText(QString)));
    const double bareMs = timeBurst(standin, [&] { return bare.received >= burst; });

    auto window = velmora::start();
    Counter paints;
    window->Text1->viewport()->installEventFilter(&paints);
    const double oursMs = timeBurst(standin, [&] { return window->Text1->document()->blockCount() > burst; });

    std::printf(
        "| burst of 10000 texts (goal 3 s)   | %10.1f ms | %10.1f ms | bus receive only    | %8.2f | %2d repaints |\n",
        oursMs, bareMs, oursMs / bareMs, paints.paints);
    standin.kill();
    standin.waitForFinished();
    return 0;
}

#include "bench_burst.moc"
