// The longest stall of the event loop while a large input arrives: a timer
// that should tick every 10 ms, and the largest gap seen between two ticks
// from the arrival until the window has shown it. Beside each figure, the
// same work done by a plain Qt text box with default settings.
#include "chat_window/velmora.h"
#include "conference_link/conference_bus.h"
#include "conference_link/conference_link.h"
#include "forms/text_box.h"
#include "standin_launcher.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

// Runs work from the event loop and turns the loop until done() holds and
// 300 ms more (so that the last paint is in); returns the largest gap in ms.
double largestStall(const std::function<void()> &work, const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 largest = 0;
    qint64 doneAt = -1;
    QEventLoop loop;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(10);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        largest = std::max(largest, now - last);
        last = now;
        if (doneAt < 0 && done())
            doneAt = now;
        if ((doneAt >= 0 && now - doneAt > 300'000'000) || now > 600'000'000'000)
            loop.quit();
    });
    ticks.start();
    QTimer::singleShot(50, work);
    loop.exec();
    return double(largest) / 1e6;
}

QString letters(qsizetype n, int wordLength, const QString &separator)
{
    QString text;
    text.reserve(n);
    for (qsizetype i = 0; text.size() < n; ++i) {
        text += QChar(u'a' + char16_t(i % 26));
        if (wordLength > 0 && i % wordLength == wordLength - 1)
            text += separator;
    }
    text.truncate(n);
    return text;
}

void row(const char *figure, double ours, double plain, const char *note = "")
{
    if (plain > 0) {
        std::printf("| %-33s | %10.1f ms | %10.1f ms | plain Qt text box   | %8.2f | %-11s |\n", figure, ours, plain,
                    ours / plain, note);
    } else {
        std::printf("| %-33s | %10.1f ms |    not run    | plain Qt text box   |          | %-11s |\n", figure, ours,
                    note);
    }
}

// A plain text box doing what the chat window does with an arrival.
class PlainReceiver : public QObject
{
    Q_OBJECT
public:
    QPlainTextEdit box;
    int received = 0;
public slots:
    void append(const QString &text)
    {
        box.moveCursor(QTextCursor::End);
        box.insertPlainText(text + QStringLiteral("\r\n"));
        ++received;
    }
};

// Pastes a text into the input and presses Enter in a later turn of the loop.
void pasteAndSend(QLineEdit *input, bool &sent)
{
    input->paste();
    QTimer::singleShot(0, input, [input, &sent] {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(input, &enter);
        sent = true;
    });
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QProcess standin;
    standin.setStandardOutputFile(QProcess::nullDevice()); // a megabyte sent must never fill a pipe
    if (!startStandin(standin)) {
        std::fprintf(stderr, "the stand-in conference did not start\n");
        return 1;
    }
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    auto window = velmora::start();
    if (!window)
        return 1;
    TextBox *box = window->Text1;
    PlainReceiver plain;
    plain.box.resize(box->size());
    plain.box.show();

    // Single texts, as the link hands them to the window.
    struct Text {
        const char *figure;
        QString text;
        bool plainToo;
    };
    const Text texts[] = {
        {"stall: 300,000 chars, no spaces", letters(300000, 0, {}), true},
        {"stall: 1,000,000 chars, no spaces", letters(1000000, 0, {}), false},
        {"stall: 1,000,000 chars, words", letters(1000000, 6, QStringLiteral(" ")), true},
        {"stall: 1,000,000 chars in lines", letters(1000000, 48, QStringLiteral("\r\n")), true},
    };
    for (const Text &t : texts) {
        window->Command5_Click();
        const qsizetype expected = t.text.size() + 2;
        const double ours = largestStall([&] { window->Echo_ChatTextReceived(t.text); },
                                         [&] { return box->textLength() == expected; });
        double theirs = 0;
        if (t.plainToo) {
            plain.box.clear();
            theirs = largestStall([&] { plain.append(t.text); }, [&] { return !plain.box.document()->isEmpty(); });
        }
        row(t.figure, ours, theirs, t.plainToo ? "" : "minutes");
    }

    // A million characters without a space pasted into the conversation box,
    // then a short arrival after them.
    QApplication::clipboard()->setText(letters(1000000, 0, {}));
    window->Command5_Click();
    const double oursPasted = largestStall([&] { box->paste(); }, [&] { return box->textLength() == 1000000; });
    row("stall: 1,000,000 pasted in the box", oursPasted, 0, "minutes");
    const double oursAfter = largestStall([&] { window->Echo_ChatTextReceived(QStringLiteral("depois")); },
                                          [&] { return box->textLength() == 1000008; });
    row("stall: then a short arrival", oursAfter, 0, "minutes");

    // A burst of texts through the stand-in and the bus.
    constexpr int burst = 10000;
    QByteArray lines;
    for (int i = 0; i < burst; ++i)
        lines += "PY9AAA: mensagem " + QByteArray::number(i) + " da rajada\n";
    window->Command5_Click();
    const double oursBurst = largestStall([&] { standin.write(lines); },
                                          [&] { return box->document()->blockCount() > burst; });

    // A megabyte pasted into the input box and sent.
    const QString pasted = letters(1000000, 6, QStringLiteral(" "));
    QApplication::clipboard()->setText(pasted);
    bool sent = false;
    const double oursPaste = largestStall([&] { pasteAndSend(window->Text2, sent); },
                                          [&] { return sent && window->Text2->text().isEmpty(); });
    QLineEdit input; // with its default limit of 32,767 characters
    input.show();
    bool plainSent = false;
    const double plainPaste = largestStall(
        [&] {
            input.paste();
            QTimer::singleShot(0, &input, [&] {
                QDBusMessage call = QDBusMessage::createMethodCall(
                    QString::fromLatin1(ConferenceBus::Service), QString::fromLatin1(ConferenceBus::Path),
                    QString::fromLatin1(ConferenceBus::Interface), QStringLiteral("SendChatText"));
                call << input.text();
                QDBusConnection::sessionBus().call(call);
                input.clear();
                plainSent = true;
            });
        },
        [&] { return plainSent; });
    row("stall: 1 MB pasted and sent", oursPaste, plainPaste, "plain cuts");

    QObject::disconnect(window->Echo.get(), nullptr, window.get(), nullptr); // the plain box alone listens now
    plain.box.clear();
    QDBusConnection::sessionBus().connect(QString::fromLatin1(ConferenceBus::Service),
                                          QString::fromLatin1(ConferenceBus::Path),
                                          QString::fromLatin1(ConferenceBus::Interface),
                                          QStringLiteral("ChatTextReceived"), &plain, SLOT(append(QString)));
    const double plainBurst = largestStall([&] { standin.write(lines); }, [&] { return plain.received >= burst; });
    row("stall: burst of 10000 texts", oursBurst, plainBurst);

    // "Ler CHAT gravado" of a 10 MB transcript.
    QByteArray transcript;
    while (transcript.size() < 10 * 1024 * 1024)
        transcript += "PY9AAA: uma linha de conversa como tantas outras, com acentua\xE7\xE3o\r\n";
    QFile file(QStringLiteral("chat.txt"));
    if (!file.open(QIODevice::WriteOnly) || file.write(transcript) != transcript.size())
        return 1;
    file.close();
    window->Command5_Click();
    const double oursLoad = largestStall([&] { window->ler_Click(); },
                                         [&] { return box->textLength() >= transcript.size(); });
    plain.box.clear();
    const double plainLoad = largestStall(
        [&] {
            QFile in(QStringLiteral("chat.txt"));
            if (in.open(QIODevice::ReadOnly))
                plain.box.setPlainText(QString::fromLatin1(in.readAll()));
        },
        [&] { return !plain.box.document()->isEmpty(); });
    row("stall: Ler CHAT, 10 MB (500 ms)", oursLoad, plainLoad);
    standin.kill();
    standin.waitForFinished();
    return 0;
}

#include "bench_stall.moc"
