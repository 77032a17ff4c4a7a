// The chat window exchanging text with the stand-in conference.
#include "chat_session.h"
#include "forms/text_box.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestChatExchange : public QObject
{
    Q_OBJECT

    std::unique_ptr<ChatSession> m_session;

    velmora *openWindow() { return m_session->open() ? m_session->window() : nullptr; }

private slots:
    void init() { m_session = std::make_unique<ChatSession>(); }

    void cleanup() { m_session.reset(); }

    void startupWithoutApplicationReportsAndShowsNoWindow()
    {
        QVERIFY(waitForConferenceOwner(false));
        QVERIFY(velmora::start() == nullptr);
        QCOMPARE(m_session->reports.size(), 1);
        QCOMPARE(m_session->reports.at(0).number, 429);
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY(!widget->isVisible());
    }

    void startsEmptyWithTheFocusInTheInput()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        QVERIFY(w->Text2->text().isEmpty());
        QTRY_VERIFY(w->Text2->hasFocus());
        QVERIFY(w->Text1->text().isEmpty());
    }

    void enterSendsClearsAndKeepsTheFocus()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        typeText(w->Text2, QStringLiteral("ação, pé, côr"));
        QTest::keyClick(w->Text2, Qt::Key_Return);
        QTest::keyClick(w->Text2, Qt::Key_Enter); // an empty input is sent as an empty text
        QVERIFY(m_session->standin().waitForSentLines(2));
        QCOMPARE(m_session->standin().sentLines(), QStringList({QStringLiteral("ação, pé, côr"), QString()}));
        QVERIFY(w->Text2->text().isEmpty());
        QVERIFY(w->Text2->hasFocus());
        QVERIFY(m_session->reports.isEmpty());
    }

    void buttonSendsClearsAndLeavesTheFocusOnItself()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        typeText(w->Text2, QStringLiteral("  com espaços  "));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QVERIFY(m_session->standin().waitForSentLines(1));
        QCOMPARE(m_session->standin().sentLines().first(), QStringLiteral("  com espaços  "));
        QVERIFY(w->Text2->text().isEmpty());
        QVERIFY(w->Command2->hasFocus());

        typeText(w->Text2, QStringLiteral("rascunho"));
        QTest::mouseClick(w->Command4, Qt::LeftButton);
        QVERIFY(w->Text2->text().isEmpty());
        QCOMPARE(m_session->standin().sentLines().size(), 1); // clearing never sends
    }

    void arrivalsAppendWithLineEndsAndFollowTheEnd()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        m_session->standin().feed(QStringLiteral("a"));
        m_session->standin().feed(QStringLiteral("b"));
        QTRY_COMPARE(w->Text1->text(), QStringLiteral("a\r\nb\r\n"));
        QCOMPARE(w->Text1->selStart(), 6);

        w->Echo_ChatTextReceived(QString());
        QCOMPARE(w->Text1->text(), QStringLiteral("a\r\nb\r\n\r\n"));
        QCOMPARE(w->Text1->selStart(), 8);

        QTest::mouseClick(w->Command5, Qt::LeftButton);
        QVERIFY(w->Text1->text().isEmpty());
        QCOMPARE(w->Text1->selStart(), 0);
        w->Echo_ChatTextReceived(QStringLiteral("depois"));
        QCOMPARE(w->Text1->text(), QStringLiteral("depois\r\n"));
        QCOMPARE(m_session->standin().sentLines().size(), 0); // the window never sends what it receives
    }

    void typingInTheMiddleJumpsToTheEnd()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        w->Echo_ChatTextReceived(QStringLiteral("abc"));
        w->Text1->setFocus();
        w->Text1->setSelStart(1);
        QCOMPARE(w->Text1->selStart(), 1);
        QTest::keyClick(w->Text1, Qt::Key_X);
        QCOMPARE(w->Text1->text(), QStringLiteral("axbc\r\n"));
        QCOMPARE(w->Text1->selStart(), 6);
        QTest::keyClick(w->Text1, Qt::Key_Y);
        QCOMPARE(w->Text1->text(), QStringLiteral("axbc\r\ny"));
        w->Echo_ChatTextReceived(QStringLiteral("d"));
        QCOMPARE(w->Text1->text(), QStringLiteral("axbc\r\nyd\r\n"));
    }

    void vanishedApplicationBeforeSendIsReported()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        m_session->standin().kill();
        typeText(w->Text2, QStringLiteral("alguém?"));
        QTest::keyClick(w->Text2, Qt::Key_Return);
        QCOMPARE(m_session->reports.size(), 1);
        QCOMPARE(m_session->reports.at(0).number, 462);
        QVERIFY(m_session->reports.at(0).description.contains(QStringLiteral("não está mais disponível")));
    }

    void burstOfTenThousandArrivesInOrder()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        constexpr int count = 10000;
        QByteArray lines;
        for (int i = 0; i < count; ++i)
            lines += "linha " + QByteArray::number(i) + '\n';
        m_session->standin().process().write(lines);
        QTRY_COMPARE_WITH_TIMEOUT(w->Text1->document()->blockCount(), count + 1, 30000);
        const QStringList received = w->Text1->text().split(QStringLiteral("\r\n"));
        QCOMPARE(received.size(), count + 1);
        for (int i = 0; i < count; ++i)
            QCOMPARE(received.at(i), QStringLiteral("linha %1").arg(i));
        QCOMPARE(w->Text1->selStart(), w->Text1->textLength());
    }

    void hostileTextsAreShownLiterally()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        const QString hostile[] = {
            QString(QChar(0)) + QStringLiteral("nul") + QChar(0),
            QStringLiteral("\x01\x07\x1b[31mcontrole\t\x7f"),
            QStringLiteral("<b>negrito</b> <a href=\"http://example.org\">link</a> &amp;"),
            QStringLiteral("sem par ") + QChar(0xD800) + QStringLiteral(" e ") + QChar(0xDC00),
            QStringLiteral("espaço\u00A0rígido"),
            QString(1 << 20, QLatin1Char('x')),
        };
        QString expected;
        for (const QString &text : hostile) {
            w->Echo_ChatTextReceived(text);
            expected += text + QStringLiteral("\r\n");
        }
        QCOMPARE(w->Text1->text(), expected);
        QCOMPARE(w->Text1->selStart(), expected.size());
        QVERIFY(m_session->reports.isEmpty());
    }
};

QTEST_MAIN(TestChatExchange)
#include "test_chat_exchange.moc"
