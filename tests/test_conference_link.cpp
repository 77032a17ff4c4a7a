// The conference link on the session bus, against the stand-in conference.
#include "chat_session.h"
#include "conference_link/conference_bus.h"
#include "conference_link/conference_link.h"
#include "runtime/app_error.h"
#include "standin_link.h"
#include "standin_process.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace {

// How f failed: the AppError number it threw (0 when it did not), and whether busy.
struct Failure {
    int number = 0;
    bool busy = false;
};
template <typename F>
Failure failureOf(F f)
{
    try {
        f();
    } catch (const AppError &e) {
        return {toInt(e.number()), e.isBusy()};
    }
    return {};
}

} // namespace

class TestConferenceLink : public QObject
{
    Q_OBJECT

private slots:
    void creationFailsWithoutApplication()
    {
        QVERIFY(waitForConferenceOwner(false));
        try {
            ConferenceLink::create();
            QFAIL("a link was created with nobody on the bus");
        } catch (const AppError &e) {
            QCOMPARE(toInt(e.number()), 429);
            QVERIFY2(e.description().contains(QLatin1String(ConferenceBus::Service)), qPrintable(e.description()));
        }
    }

    void sentTextReachesTheConferenceUnchanged()
    {
        StandinLink on;
        QVERIFY(on.open());
        auto &[standin, link] = on;
        const QStringList texts = {QStringLiteral("ação, pé, côr"), QString(), QStringLiteral("  espaços  "),
                                   QStringLiteral("emoji 📻 e <b>marcação</b>")};
        for (const QString &text : texts)
            link->sendChatText(text);
        QVERIFY(standin.waitForSentLines(int(texts.size())));
        QCOMPARE(standin.sentLines(), texts);
    }

    void receivedTextArrivesAsEvent()
    {
        StandinLink on;
        QVERIFY(on.open());
        auto &[standin, link] = on;
        QSignalSpy spy(link.get(), &ConferenceLink::ChatTextReceived);
        standin.feed(QStringLiteral("PY9AAA: olá"));
        standin.feed(QString());
        QTRY_COMPARE(spy.size(), 2);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("PY9AAA: olá"));
        QCOMPARE(spy.at(1).at(0).toString(), QString());
    }

    void echoRelaysWithCallSign()
    {
        StandinLink on({QStringLiteral("--echo")});
        QVERIFY(on.open());
        auto &[standin, link] = on;
        QSignalSpy spy(link.get(), &ConferenceLink::ChatTextReceived);
        link->sendChatText(QStringLiteral("câmbio"));
        QTRY_COMPARE(spy.size(), 1);
        QVERIFY(spy.at(0).at(0).toString().endsWith(QStringLiteral(": câmbio")));
    }

    void receivingAudioIsRawInt16()
    {
        StandinLink on;
        QVERIFY(on.open());
        auto &[standin, link] = on;
        QCOMPARE(askAudio(*link).value, qint16(0));
        const std::pair<const char *, qint16> cases[] = {
            {"/audio on", -1}, {"/audio off", 0}, {"/audio 1", 1}, {"/audio 256", 256}, {"/audio -32768", -32768}};
        for (const auto &[command, expected] : cases) {
            standin.feed(QString::fromLatin1(command));
            QTRY_COMPARE(askAudio(*link).value, expected);
        }
    }

    void vanishedApplicationIsError462()
    {
        StandinLink on;
        QVERIFY(on.open());
        auto &[standin, link] = on;
        standin.kill();
        QCOMPARE(failureOf([&] { link->sendChatText(QStringLiteral("alguém?")); }).number, 462);
        QCOMPARE(askAudio(*link).error, 462);
    }

    void busyApplicationIsNotGone()
    {
        // No answer in time is busy, for the question (asked without waiting:
        // it is still out when the ask returns) and for a send alike.
        StandinLink on;
        QVERIFY(on.open());
        auto &[standin, link] = on;
        ::kill(pid_t(standin.process().processId()), SIGSTOP);
        bool answered = false;
        connect(link.get(), &ConferenceLink::ReceivingAudio, this, [&] { answered = true; });
        const AudioAnswer late = askAudio(*link);
        QVERIFY(late.busy);
        QCOMPARE(late.error, 440);
        QVERIFY(!answered);
        QVERIFY(failureOf([&] { link->sendChatText(QStringLiteral("alguém?")); }).busy);
        ::kill(pid_t(standin.process().processId()), SIGCONT);
        QCOMPARE(askAudio(*link).error, 0);
    }

    void refusalsNamedByTheContract()
    {
        // Busy stays busy, gone is 462, and a refusal shows the conference's own reason.
        StandinLink on;
        QVERIFY(on.open());
        auto &[standin, link] = on;
        qint16 marker = 0;
        const auto refuseNext = [&](const char *why) {
            // The audio value fed after the refusal tells when the stand-in has read it.
            standin.feed(QStringLiteral("/refuse ") + QString::fromUtf8(why));
            standin.feed(QStringLiteral("/audio %1").arg(++marker));
            QTRY_COMPARE(askAudio(*link).value, marker);
        };
        refuseNext("busy");
        QVERIFY(failureOf([&] { link->sendChatText(QStringLiteral("um")); }).busy);
        refuseNext("gone");
        QCOMPARE(failureOf([&] { link->sendChatText(QStringLiteral("dois")); }).number, 462);
        refuseNext("diálogo aberto");
        try {
            link->sendChatText(QStringLiteral("três"));
            QFAIL("a refused send succeeded");
        } catch (const AppError &error) {
            QCOMPARE(toInt(error.number()), 440);
            QVERIFY2(error.description().contains(QStringLiteral("diálogo aberto")), qPrintable(error.description()));
        }
        QCOMPARE(failureOf([&] { link->sendChatText(QStringLiteral("quatro")); }).number, 0);
    }

    void arrivalsAreHandedOnAfterTheCallThatBroughtThem()
    {
        // Whatever the binding, a received text reaches the window only after
        // the call that brought it has returned.
        struct Probe : ConferenceLink {
            void sendChatText(const QString &text) override { received(text); }
            void askReceivingAudio() override {}
        } probe;
        QSignalSpy spy(&probe, &ConferenceLink::ChatTextReceived);
        probe.sendChatText(QStringLiteral("dentro"));
        QCOMPARE(spy.size(), 0);
        QTRY_COMPARE(spy.size(), 1);
    }

    void onlyTheOwnerOfTheNameSpeaks()
    {
        StandinLink on;
        QVERIFY(on.open());
        auto &[standin, link] = on;
        QSignalSpy spy(link.get(), &ConferenceLink::ChatTextReceived);
        // A program of its own on the bus, sending to each of this process's connections.
        QDBusConnection forger = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("forjador"));
        QVERIFY(forger.isConnected());
        QStringList ours;
        QDBusConnectionInterface *bus = forger.interface();
        for (const QString &name : bus->registeredServiceNames().value()) {
            if (name.startsWith(QLatin1Char(':')) && name != forger.baseService()
                && bus->servicePid(name).value() == uint(QCoreApplication::applicationPid()))
                ours << name;
        }
        QVERIFY(ours.size() >= 2); // the link's calls and its reader
        const QString path = QString::fromLatin1(ConferenceBus::Path);
        const QString interface = QString::fromLatin1(ConferenceBus::Interface);
        const auto forge = [&](const QString &to, const QString &onPath, const QVariantList &arguments) {
            QDBusMessage forged = to.isEmpty() ? QDBusMessage::createSignal(onPath, interface, QStringLiteral("ChatTextReceived"))
                                               : QDBusMessage::createTargetedSignal(to, onPath, interface,
                                                                                    QStringLiteral("ChatTextReceived"));
            forged.setArguments(arguments);
            QVERIFY(forger.send(forged));
        };
        const auto everyForgery = [&] {
            forge(QString(), path, {QStringLiteral("forjado a todos")});
            for (const QString &name : ours) {
                forge(name, path, {QStringLiteral("forjado")});
                forge(name, QStringLiteral("/outro"), {QStringLiteral("forjado noutro caminho")});
            }
        };
        everyForgery();
        standin.feed(QStringLiteral("verdadeiro"));
        QTRY_COMPARE(spy.size(), 1);

        // The forger owns the name once the conference has gone: it is heard
        // then, with one string only, and no more once it has let the name go.
        standin.kill();
        QVERIFY(waitForConferenceOwner(false));
        QVERIFY(forger.registerService(QString::fromLatin1(ConferenceBus::Service)));
        forge(ours.first(), path, {QStringLiteral("dois"), QStringLiteral("textos")});
        forge(QString(), path, {QStringLiteral("do novo dono")});
        QTRY_COMPARE(spy.size(), 2);
        QVERIFY(forger.unregisterService(QString::fromLatin1(ConferenceBus::Service)));
        QVERIFY(waitForConferenceOwner(false));
        everyForgery();
        QTest::qWait(300);
        QDBusConnection::disconnectFromBus(QStringLiteral("forjador"));
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("verdadeiro"));
        QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("do novo dono"));
    }

    void everyTextSentBeforeTheConferenceWentIsHandedOnFirst()
    {
        StandinLink on;
        QVERIFY(on.open());
        auto &[standin, link] = on;
        QStringList seen;
        int seenAtLoss = -1;
        connect(link.get(), &ConferenceLink::ChatTextReceived, this, [&](const QString &text) { seen << text; });
        connect(link.get(), &ConferenceLink::ReceivingAudioFailed, this, [&] { seenAtLoss = int(seen.size()); });
        QString burst;
        for (int i = 0; i < 3000; ++i)
            burst += QStringLiteral("texto %1\n").arg(i);
        standin.process().write((burst + QStringLiteral("/quit\n")).toUtf8());
        QVERIFY(waitForConferenceOwner(false));
        link->askReceivingAudio();
        QTRY_VERIFY(seenAtLoss >= 0);
        QCOMPARE(seenAtLoss, 3000);
        QCOMPARE(seen.last(), QStringLiteral("texto 2999"));
    }

    void secondStandinRefusesToStart()
    {
        StandinProcess first;
        QVERIFY(first.start());
        QProcess second;
        second.start(QStringLiteral(VELMORA_STANDIN_PATH), {});
        QVERIFY(second.waitForFinished(5000));
        QVERIFY(second.exitCode() != 0);
        QVERIFY(second.readAllStandardError().contains(ConferenceBus::Service));
    }
};

QTEST_GUILESS_MAIN(TestConferenceLink)
#include "test_conference_link.moc"
