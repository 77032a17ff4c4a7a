// The receive-audio lamp following the conference once a second.
#include "chat_session.h"
#include "conference_link/conference_link.h"
#include "forms/lamp_shape.h"

#include <QTest>
#include <QTimer>

namespace {
const QColor green(0, 255, 0);
const QColor red(255, 0, 0);
} // namespace

class TestAudioLamp : public QObject
{
    Q_OBJECT

    // Feeds an /audio command and waits until the conference reports value.
    static bool setAudio(ChatSession &session, const QString &command, qint16 value)
    {
        session.standin().feed(command);
        QDeadlineTimer deadline(5000);
        while (session.window()->Echo->receivingAudio() != value && !deadline.hasExpired())
            QTest::qWait(10);
        return session.window()->Echo->receivingAudio() == value;
    }

private slots:
    void greenAtStartEvenWhileReceivingThenRedAtTheFirstTick()
    {
        ChatSession session;
        QVERIFY(session.open());
        velmora *w = session.window();
        QVERIFY(setAudio(session, QStringLiteral("/audio on"), -1));
        QCOMPARE(w->Shape1->fillColor(), green);
        QCOMPARE(w->Timer1->interval(), 1000);
        QVERIFY(w->Timer1->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(w->Shape1->fillColor(), red, 3000); // the real timer, not a direct call
    }

    void anyNonZeroStateIsRed()
    {
        ChatSession session;
        QVERIFY(session.open());
        velmora *w = session.window();
        const std::pair<const char *, qint16> cases[] = {{"/audio 1", 1},     {"/audio 0", 0},
                                                         {"/audio -1", -1},   {"/audio off", 0},
                                                         {"/audio 256", 256}, {"/audio -32768", -32768}};
        for (const auto &[command, value] : cases) {
            QVERIFY(setAudio(session, QString::fromLatin1(command), value));
            w->Timer1_Timer();
            QCOMPARE(w->Shape1->fillColor(), value == 0 ? green : red);
        }
        QVERIFY(session.reports.isEmpty());
    }

    void audioBetweenTwoTicksIsMissed()
    {
        ChatSession session;
        QVERIFY(session.open());
        velmora *w = session.window();
        w->Timer1->stop(); // the test plays the ticks
        w->Timer1_Timer();
        QVERIFY(setAudio(session, QStringLiteral("/audio on"), -1));
        QVERIFY(setAudio(session, QStringLiteral("/audio off"), 0));
        w->Timer1_Timer();
        QCOMPARE(w->Shape1->fillColor(), green);
    }

    void failingReadIsReported()
    {
        ChatSession session;
        QVERIFY(session.open());
        velmora *w = session.window();
        w->Timer1->stop();
        session.standin().kill();
        w->Timer1_Timer();
        QCOMPARE(session.reports.size(), 1);
        QCOMPARE(session.reports.at(0).number, 462);
        QCOMPARE(w->Shape1->fillColor(), green);
    }
};

QTEST_MAIN(TestAudioLamp)
#include "test_audio_lamp.moc"
