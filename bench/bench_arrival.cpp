// The cost of one arriving chat text as the conversation grows: the window's
// incremental append against the literal read-the-whole-box-and-assign-it-back.
#include "forms/text_box.h"

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
    // With a file name, every point is also written there for the plot.
    FILE *points = argc > 1 ? std::fopen(argv[1], "w") : nullptr;
    const int sizes[] = {0, 20000, 40000, 60000, 80000, 100000};
    constexpr int count = int(std::size(sizes));
    struct Way {
        const char *name;
        Arrival arrive;
        int arrivals;
    } ways[] = {{"incremental (Velmora)", incremental, 500}, {"literal whole text", literal, 5}};

    double cost[2][count];
    for (int w = 0; w < 2; ++w)
        for (int i = 0; i < count; ++i)
            cost[w][i] = microsecondsPerArrival(ways[w].arrive, sizes[i], ways[w].arrivals);
    for (int i = 0; i < count; ++i) {
        std::printf(
            "| arrival with %6d texts shown   | %10.1f us | %10.1f us | whole-text approach | %8.3f |             |\n",
            sizes[i], cost[0][i], cost[1][i], cost[0][i] / cost[1][i]);
        if (points)
            std::fprintf(points, "%d %.2f %.2f\n", sizes[i], cost[0][i], cost[1][i]);
    }
    std::printf(
        "| arrival late/early (goal <= 1.5)  | %10.2f    | %10.2f    | whole-text approach |          |             |\n",
        cost[0][count - 1] / cost[0][0], cost[1][count - 1] / cost[1][0]);
    if (points)
        std::fclose(points);
    return 0;
}
