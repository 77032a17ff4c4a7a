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
        return waitForConferenceAudio(value);
    }

private slots:
    void greenAtStartEvenWhileReceivingThenRedAtTheFirstTick()
    {
        ChatSession session;
        QVERIFY(session.open());
        velmora *w = session.window();
        QCOMPARE(w->Timer1->interval(), 1000);
        QVERIFY(w->Timer1->isActive());
        w->Timer1->stop(); // held while the stand-in turns to receiving
        QVERIFY(setAudio(session, QStringLiteral("/audio on"), -1));
        QCOMPARE(w->Shape1->fillColor(), green);
        w->Timer1->start();
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
            QVERIFY(tick(w).answered);
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
        QVERIFY(tick(w).answered);
        QVERIFY(setAudio(session, QStringLiteral("/audio on"), -1));
        QVERIFY(setAudio(session, QStringLiteral("/audio off"), 0));
        QVERIFY(tick(w).answered);
        QCOMPARE(w->Shape1->fillColor(), green);
    }

    void failingReadIsReported()
    {
        ChatSession session;
        QVERIFY(session.open());
        velmora *w = session.window();
        w->Timer1->stop();
        session.standin().kill();
        QCOMPARE(tick(w).error, 462);
        QCOMPARE(session.reports.size(), 1);
        QCOMPARE(session.reports.at(0).number, 462);
        QCOMPARE(w->Shape1->fillColor(), green);
    }
};

QTEST_MAIN(TestAudioLamp)
#include "test_audio_lamp.moc"
