// The cost of one arriving chat text as the conversation grows: the window's
// incremental append against the literal read-the-whole-box-and-assign-it-back.
#include "chat_window/text_box.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace {

using Arrival = std::function<void(TextBox &, const QString &)>;

void incremental(TextBox &box, const QString &text)
{
    box.appendText(text + QStringLiteral("\r\n"));
}

void literal(TextBox &box, const QString &text)
{
    box.setText(box.text() + text + QStringLiteral("\r\n"));
}

// Microseconds per arrival, with a conversation of `texts` lines already shown.
double microsecondsPerArrival(const Arrival &arrive, int texts, int arrivals)
{
    TextBox box;
    // The follow-the-end step runs after every change, as in the window.
    QObject::connect(&box, &QPlainTextEdit::textChanged, &box, [&box] { box.setSelStart(box.textLength()); });
    box.resize(393, 177);
    box.show();
    QString conversation;
    for (int i = 0; i < texts; ++i)
        conversation += QStringLiteral("PY9AAA: mensagem número %1 da conferência\r\n").arg(i);
    box.setText(conversation);
    QApplication::processEvents();

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < arrivals; ++i) {
        arrive(box, QStringLiteral("PU9BBB: chegada %1").arg(i));
        QApplication::processEvents(); // the repaint belongs to the arrival
    }
    return double(timer.nsecsElapsed()) / 1000.0 / arrivals;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int sizes[] = {0, 20000, 100000};
    struct Way {
        const char *name;
        Arrival arrive;
        int arrivals;
    } ways[] = {{"incremental (Velmora)", incremental, 500}, {"literal whole text", literal, 5}};

    std::printf("One arrival's cost as the conversation grows (microseconds per arrival)\n");
    std::printf("%-24s %12s %12s %12s %14s\n", "approach", "0 texts", "20000 texts", "100000 texts",
                "late/early");
    for (const Way &way : ways) {
        double cost[3];
        for (int i = 0; i < 3; ++i)
            cost[i] = microsecondsPerArrival(way.arrive, sizes[i], way.arrivals);
        std::printf("%-24s %12.1f %12.1f %12.1f %14.2f\n", way.name, cost[0], cost[1], cost[2], cost[2] / cost[0]);
    }
    std::printf("Goal: the incremental late/early ratio at most 1.5.\n");
    return 0;
}
