// Saving and loading a 10 MB transcript, beside memcpy of the same bytes (the
// ceiling) and, at 100 KB, beside the character-by-character loading loop.
#include "forms/text_box.h"
#include "transcript/transcript_file.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// Best of a few runs, in milliseconds.
template <typename F>
double bestMs(int runs, F f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

QString conversation(qsizetype bytes)
{
    QString text;
    for (int i = 0; text.size() < bytes; ++i)
        text += QStringLiteral("PY9AAA: ação número %1, côr e pé na conferência\r\n").arg(i);
    text.truncate(bytes);
    return text;
}

// Reading one character per call and building the accumulator anew each time.
QString characterLoop(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString accumulator;
    char c;
    while (file.getChar(&c))
        accumulator = accumulator + TranscriptFile::decode(QByteArray(1, c));
    return accumulator;
}

void row(const char *what, double megabytes, double ms, double baselineMs, const char *baseline)
{
    std::printf("| %-33s | %10.2f ms | %10.2f ms | %-19s | %8.2f | %6.0f MB/s  |\n", what, ms, baselineMs, baseline,
                ms / baselineMs, megabytes / (ms / 1000.0));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    const qsizetype size = 10 * 1000 * 1000;
    const QString text = conversation(size);
    const QByteArray bytes = TranscriptFile::encode(text);
    std::vector<char> copy(size_t(bytes.size()));
    const double mb = double(bytes.size()) / 1e6;
    const double memcpyMs = bestMs(5, [&] { std::memcpy(copy.data(), bytes.constData(), copy.size()); });

    row("encode 10 MB", mb, bestMs(5, [&] { (void)TranscriptFile::encode(text); }), memcpyMs, "memcpy");
    row("decode 10 MB", mb, bestMs(5, [&] { (void)TranscriptFile::decode(bytes); }), memcpyMs, "memcpy");

    TextBox box;
    box.resize(393, 177);
    box.show();
    box.setText(text);
    QApplication::processEvents();
    row("Gravar CHAT, 10 MB (goal 50 ms)", mb,
        bestMs(3, [&] { TranscriptFile::save(QStringLiteral("chat.txt"), box.text()); }), memcpyMs, "memcpy");
    row("Ler CHAT, 10 MB (goal 1 s)", mb,
        bestMs(3,
               [&] {
                   box.setText(*TranscriptFile::load(QStringLiteral("chat.txt")));
                   box.setSelStart(box.textLength());
                   QApplication::processEvents();
               }),
        memcpyMs, "memcpy");

    const QString small = conversation(100 * 1000);
    TranscriptFile::save(QStringLiteral("small.txt"), small);
    const double loopMs = bestMs(1, [&] { (void)characterLoop(QStringLiteral("small.txt")); });
    row("load 100 KB", 0.1, bestMs(5, [&] { (void)TranscriptFile::load(QStringLiteral("small.txt")); }), loopMs,
        "char-by-char loop");
    return 0;
}
