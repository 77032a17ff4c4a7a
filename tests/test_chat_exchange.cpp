// The chat window exchanging text with the stand-in conference.
#include "chat_session.h"
#include "current_folder.h"
#include "forms/lamp_shape.h"
#include "forms/qt_portuguese.h"
#include "forms/text_box.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class TestChatExchange : public QObject
{
    Q_OBJECT

    // Each case runs in a folder of its own, where any file the window writes lands.
    std::unique_ptr<CurrentFolder> m_folder;
    std::unique_ptr<ChatSession> m_session;

    velmora *openWindow() { return m_session->open() ? m_session->window() : nullptr; }

private slots:
    void init()
    {
        m_folder = std::make_unique<CurrentFolder>();
        QVERIFY(m_folder->isReady());
        m_session = std::make_unique<ChatSession>();
    }

    void cleanup()
    {
        m_session.reset();
        m_folder.reset();
    }

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

        // A NUL, which the bus cannot carry, never cuts the text short.
        w->Text2->setText(QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
        QTest::keyClick(w->Text2, Qt::Key_Return);
        QVERIFY(m_session->standin().waitForSentLines(3));
        QCOMPARE(m_session->standin().sentLines().at(2), QStringLiteral("a\uFFFDb"));
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

        // Enter on the focused button presses it, as the space bar does.
        w->Text2->setText(QStringLiteral("pelo Enter"));
        QTest::keyClick(w->Command2, Qt::Key_Return);
        QVERIFY(m_session->standin().waitForSentLines(2));
        QCOMPARE(m_session->standin().sentLines().at(1), QStringLiteral("pelo Enter"));
        QVERIFY(w->Text2->text().isEmpty());
        QVERIFY(w->Command2->hasFocus());

        typeText(w->Text2, QStringLiteral("rascunho"));
        QTest::mouseClick(w->Command4, Qt::LeftButton);
        QVERIFY(w->Text2->text().isEmpty());
        QCOMPARE(m_session->standin().sentLines().size(), 2); // clearing never sends
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
        // Nothing received or typed is lost with the program: it is put in a
        // file first, never over chat.txt.
        velmora *w = openWindow();
        QVERIFY(w);
        w->Echo_ChatTextReceived(QStringLiteral("não gravado"));
        m_session->standin().kill();
        typeText(w->Text2, QStringLiteral("alguém?"));
        QTest::keyClick(w->Text2, Qt::Key_Return);
        QCOMPARE(m_session->reports.size(), 1);
        QCOMPARE(m_session->reports.at(0).number, 462);
        const QString description = m_session->reports.at(0).description;
        QVERIFY(description.contains(QStringLiteral("não está mais disponível")));
        QVERIFY2(description.endsWith(
                     QStringLiteral("\n\nO que ainda não estava gravado foi guardado em \"chat-recuperado.txt\".")),
                 qPrintable(description));
        QFile recovered(QStringLiteral("chat-recuperado.txt"));
        QVERIFY(recovered.open(QIODevice::ReadOnly));
        QCOMPARE(recovered.readAll(), QByteArray("n\xE3o gravado\r\nTexto digitado e n\xE3o enviado: algu\xE9m?\r\n"));
        QVERIFY(!QFile::exists(QStringLiteral("chat.txt")));
    }

    void busyApplicationKeepsTheTextAndTheWindowGoing()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        w->Timer1->stop(); // the test plays the ticks
        m_session->standin().feed(QStringLiteral("/audio on"));
        QVERIFY(waitForConferenceAudio(-1));
        QCOMPARE(tick(w).value, qint16(-1));
        QCOMPARE(w->Shape1->fillColor(), QColor(255, 0, 0));

        // Answering nothing for a while: the lamp keeps its state, the typed
        // text stays in the input with a word about it, the program goes on.
        m_session->standin().feed(QStringLiteral("/stall 12"));
        QTest::qWait(300);
        QVERIFY(tick(w).busy);
        QCOMPARE(w->Shape1->fillColor(), QColor(255, 0, 0));
        typeText(w->Text2, QStringLiteral("guardado"));
        QTest::keyClick(w->Text2, Qt::Key_Return);
        QTRY_COMPARE(
            m_session->messages,
            QStringList{QStringLiteral("O aplicativo de conferência está ocupado e não respondeu a tempo. O texto "
                                       "pode não ter sido enviado: ele continua na caixa \"Envia texto\"; tente "
                                       "de novo.")});
        QCOMPARE(w->Text2->text(), QStringLiteral("guardado"));
        QVERIFY(w->Text2->hasFocus());
        QVERIFY(m_session->reports.isEmpty());

        // Afterwards (the late answer first), the text is sent again.
        QVERIFY(m_session->standin().waitForSentLines(1));
        QTest::keyClick(w->Text2, Qt::Key_Return);
        QVERIFY(m_session->standin().waitForSentLines(2));
        QCOMPARE(m_session->standin().sentLines(), QStringList(2, QStringLiteral("guardado")));
        QVERIFY(w->Text2->text().isEmpty());
        QVERIFY(m_session->reports.isEmpty());
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

    void longTextsAreSentAndShownWhole()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        // Typed or pasted, an input longer than a line edit's usual limit (32,767)
        // is sent whole. (Kept under the 64 KiB the stand-in's output pipe holds
        // while this thread waits for the call to return.)
        QString typed;
        for (int i = 0; typed.size() < 40000; ++i)
            typed += QStringLiteral("palavra%1 ").arg(i);
        QApplication::clipboard()->setText(typed);
        w->Text2->paste();
        QTest::keyClick(w->Text2, Qt::Key_Return);
        QVERIFY(m_session->standin().waitForSentLines(1));
        QCOMPARE(m_session->standin().sentLines().at(0), typed);

        // A megabyte in one text, with no space to break it at and a
        // character outside the basic plane across every place the box might
        // cut it, is shown whole with the next text after it; the caret, the
        // positions and what is copied count only the text (copied with the
        // desktop's line ends).
        QString huge;
        while (huge.size() < 1000000)
            huge += QStringLiteral("x📻");
        w->Echo_ChatTextReceived(huge);
        w->Echo_ChatTextReceived(QStringLiteral("depois"));
        const QString expected = huge + QStringLiteral("\r\ndepois\r\n");
        QCOMPARE(w->Text1->textLength(), expected.size());
        QCOMPARE(w->Text1->text(), expected);
        QCOMPARE(w->Text1->selStart(), expected.size());
        for (qsizetype position :
             {qsizetype(999), qsizetype(1000), qsizetype(1001), qsizetype(500000), huge.size() + 2}) {
            w->Text1->setSelStart(position);
            QCOMPARE(w->Text1->selStart(), position);
        }
        w->Text1->selectAll();
        w->Text1->copy();
        QCOMPARE(QApplication::clipboard()->text(), huge + QStringLiteral("\ndepois\n"));
        QVERIFY2(m_session->reports.isEmpty(), qPrintable(m_session->reports.value(0).description));
    }

    void tabMovesOnFromTheTextBoxes()
    {
        velmora *w = openWindow();
        QVERIFY(w);
        w->Echo_ChatTextReceived(QStringLiteral("sem tabulação"));
        w->Text1->setFocus();
        QTest::keyClick(w->Text1, Qt::Key_Tab);
        QVERIFY(w->Text2->hasFocus());
        QTest::keyClick(w->Text2, Qt::Key_Tab);
        QVERIFY(w->Command2->hasFocus());
        QTest::keyClick(w->Command2, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(w->Text2->hasFocus());
        QTest::keyClick(w->Text2, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(w->Text1->hasFocus());
        QTest::keyClick(w->Text1, Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(w->Command3->hasFocus());
        QCOMPARE(w->Text1->text(), QStringLiteral("sem tabulação\r\n"));
        QVERIFY(w->Text2->text().isEmpty());
    }

    void qtsOwnWordsArePortuguese()
    {
        // The context menus of both boxes, as every word Qt draws, in Portuguese.
        QVERIFY(installQtPortuguese());
        velmora *w = openWindow();
        QVERIFY(w);
        const QStringList portuguese = {QStringLiteral("Desfazer"),       QStringLiteral("Refazer"),
                                        QStringLiteral("Recortar"),       QStringLiteral("Copiar"),
                                        QStringLiteral("Colar"),          QStringLiteral("Excluir"),
                                        QStringLiteral("Selecionar tudo")};
        for (QMenu *menu : {w->Text1->createStandardContextMenu(), w->Text2->createStandardContextMenu()}) {
            QStringList entries;
            for (const QAction *action : menu->actions()) {
                if (!action->isSeparator())
                    entries << action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
            }
            delete menu;
            QCOMPARE(entries, portuguese);
        }
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
        // A text that begins with U+FEFF keeps it, through the bus too.
        m_session->standin().feed(QStringLiteral("\uFEFFcom a marca"));
        QTRY_COMPARE(w->Text1->text(), expected + QStringLiteral("\uFEFFcom a marca\r\n"));
        QVERIFY(m_session->reports.isEmpty());
    }
};

QTEST_MAIN(TestChatExchange)
#include "test_chat_exchange.moc"
