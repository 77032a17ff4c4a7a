// The multi-line text box on its own: its text read back exactly as it came,
// caret positions counted in that text, whatever the breaks for the eye.
#include "forms/text_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <QTextBlock>
#include <QTextBoundaryFinder>

#include <functional>

namespace {

// Every paragraph of the picture within the limit, and no break for the eye
// between two characters that a reader sees as one.
void checkPicture(const TextBox &box)
{
    QCoreApplication::processEvents(); // the picture of an edit is mended in the next turn of the loop
    for (QTextBlock block = box.document()->begin(); block.isValid(); block = block.next()) {
        QVERIFY(block.length() - 1 <= TextBox::MaxParagraphLength);
        const QTextBlock next = block.next();
        if (!next.isValid() || block.text().isEmpty() || next.text().isEmpty())
            continue;
        const QString around = block.text().right(8) + next.text().left(8);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, around);
        finder.setPosition(std::min<qsizetype>(8, block.text().size()));
        QVERIFY2(finder.isAtBoundary(), qPrintable(around));
    }
}

} // namespace

class TestTextBox : public QObject
{
    Q_OBJECT

private slots:
    void caretPositionsCountLineEndsAsTwo()
    {
        TextBox box;
        box.setText(QStringLiteral("ab\r\ncd\r\n\r\nef"));
        for (qsizetype position : {0, 1, 2, 4, 5, 6, 8, 10, 11, 12}) {
            box.setSelStart(position);
            QCOMPARE(box.selStart(), position);
        }
        box.setSelStart(3); // between CR and LF: the end of that line
        QCOMPARE(box.selStart(), 2);
        box.setSelStart(99);
        QCOMPARE(box.selStart(), box.textLength());
        QCOMPARE(box.textLength(), box.text().size());
    }

    void everyLineBreakReadsBackAsItCame()
    {
        // Each is shown as a line break; a CR and an LF arriving apart are one.
        TextBox box;
        box.appendText(QStringLiteral("a\r\n"));
        box.appendText(QStringLiteral("LF\nsó\r\n"));
        box.appendText(QStringLiteral("CR\r"));
        box.appendText(QStringLiteral("\nu") + QChar(0x2029) + QStringLiteral("v") + QChar(0xFDD0) + QStringLiteral("w")
                       + QChar(0xFDD1) + QStringLiteral("x\r"));
        const QString expected = QStringLiteral("a\r\nLF\nsó\r\nCR\r\nu") + QChar(0x2029) + QStringLiteral("v")
                                 + QChar(0xFDD0) + QStringLiteral("w") + QChar(0xFDD1) + QStringLiteral("x\r");
        QCOMPARE(box.text(), expected);
        QCOMPARE(box.textLength(), expected.size());
        QCOMPARE(box.document()->blockCount(), 9);
        box.appendText(QStringLiteral("fim"));
        QCOMPARE(box.text(), expected + QStringLiteral("fim"));

        // Copied with the desktop's line ends.
        box.selectAll();
        box.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("a\nLF\nsó\nCR\nu") + QChar(0x2029)
                                                           + QStringLiteral("v") + QChar(0xFDD0) + QStringLiteral("w")
                                                           + QChar(0xFDD1) + QStringLiteral("x\nfim"));
    }

    void editsAtBreaksForTheEyeChangeOnlyWhatTheyTouch()
    {
        // One line of 1,000 "a" and 1,000 "b" is shown as two paragraphs.
        const QString as(1000, QLatin1Char('a'));
        const QString bs(1000, QLatin1Char('b'));
        const QString original = QStringLiteral("PREV\r\n") + as + bs + QStringLiteral("\r\nPOST\r\n");
        const qsizetype join = 6 + 1000;
        struct Edit {
            const char *name;
            std::function<void(TextBox &)> keys;
            QString expected;
        };
        const Edit edits[] = {
            {"Delete",
             [&](TextBox &box) {
                 box.setSelStart(join);
                 QTest::keyClick(&box, Qt::Key_Delete);
             },
             QString(original).remove(join, 1)},
            {"Backspace",
             [&](TextBox &box) {
                 box.setSelStart(join);
                 QTest::keyClick(&box, Qt::Key_Backspace);
             },
             QString(original).remove(join - 1, 1)},
            {"Right then Backspace",
             [&](TextBox &box) {
                 box.setSelStart(join - 1);
                 QTest::keyClick(&box, Qt::Key_Right);
                 QTest::keyClick(&box, Qt::Key_Right);
                 QTest::keyClick(&box, Qt::Key_Backspace);
             },
             QString(original).remove(join, 1)},
            {"typed over a selection",
             [&](TextBox &box) {
                 box.setSelStart(join - 2);
                 for (int i = 0; i < 4; ++i)
                     QTest::keyClick(&box, Qt::Key_Right, Qt::ShiftModifier);
                 QTest::keyClick(&box, Qt::Key_X);
             },
             QString(original).replace(join - 2, 4, QStringLiteral("x"))},
            {"cut",
             [&](TextBox &box) {
                 box.setSelStart(join - 3);
                 for (int i = 0; i < 5; ++i)
                     QTest::keyClick(&box, Qt::Key_Right, Qt::ShiftModifier);
                 box.cut();
             },
             QString(original).remove(join - 3, 5)},
            {"Enter",
             [&](TextBox &box) {
                 box.setSelStart(join);
                 QTest::keyClick(&box, Qt::Key_Return);
             },
             QString(original).insert(join, QStringLiteral("\r\n"))},
        };
        for (const Edit &edit : edits) {
            TextBox box;
            box.appendText(original);
            QCOMPARE(box.document()->blockCount(), 5);
            edit.keys(box);
            QVERIFY2(box.text() == edit.expected, edit.name);
            QCOMPARE(box.textLength(), edit.expected.size());
            box.selectAll();
            QCOMPARE(box.selStart(), 0);
            checkPicture(box);
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("aaabb"));

        // Backspace where a very long message was broken for the eye.
        TextBox box;
        box.appendText(QString(1500, QLatin1Char('a')) + QStringLiteral("NEXT"));
        box.setSelStart(1500);
        QTest::keyClick(&box, Qt::Key_Backspace);
        QCOMPARE(box.text(), QString(1499, QLatin1Char('a')) + QStringLiteral("NEXT"));

        // A CR and an LF brought together by an edit become one line break on screen too.
        box.setText(QStringLiteral("x\ry\nz"));
        box.setSelStart(2);
        QTest::keyClick(&box, Qt::Key_Delete);
        QCOMPARE(box.text(), QStringLiteral("x\r\nz"));
        QTRY_COMPARE(box.document()->blockCount(), 2);
    }

    void pastedAndTypedTextIsLaidOutAndKeptExactly()
    {
        TextBox box;
        box.appendText(QStringLiteral("antes\r\n"));
        QString pasted(300000, QLatin1Char('p'));
        pasted += QStringLiteral("\nLF só\rCR");
        QGuiApplication::clipboard()->setText(pasted);
        box.paste();
        // The text is all there at once; its picture is shown a part a turn.
        QCOMPARE(box.text(), QStringLiteral("antes\r\n") + pasted);
        QCOMPARE(box.selStart(), box.textLength());
        QVERIFY(box.document()->characterCount() < 200000);
        box.appendText(QStringLiteral("depois"));
        QCOMPARE(box.text(), QStringLiteral("antes\r\n") + pasted + QStringLiteral("depois"));
        QTRY_VERIFY(box.document()->blockCount() > 300);
        QCOMPARE(box.document()->lastBlock().text(), QStringLiteral("CRdepois"));
        checkPicture(box);

        // Dropped text goes the same way.
        struct DropBox : TextBox {
            void drop(QDropEvent *event) { dropEvent(event); }
        } target;
        target.setText(QStringLiteral("ab"));
        QMimeData data;
        data.setText(QString(2500, QLatin1Char('d')));
        QDropEvent drop(QPointF(1, 1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        target.drop(&drop);
        QCOMPARE(target.text(), QString(2500, QLatin1Char('d')) + QStringLiteral("ab"));
        QCOMPARE(target.selStart(), 2500);
        checkPicture(target);

        // Cut and pasted back within the box: the same text to the byte.
        const QString lines = QStringLiteral("um\r\ndois\rtrês\nquatro\r\n") + QString(1500, QLatin1Char('c'));
        box.setText(lines);
        box.selectAll();
        box.cut();
        QCOMPARE(box.text(), QString());
        box.paste();
        QCOMPARE(box.text(), lines);

        // Typing on and on at the end of a line: its picture is broken up later.
        box.setText(QString(1990, QLatin1Char('t')));
        box.setSelStart(box.textLength());
        QTest::keyClicks(&box, QString(20, QLatin1Char('u')));
        QCOMPARE(box.text(), QString(1990, QLatin1Char('t')) + QString(20, QLatin1Char('u')));
        QTRY_COMPARE(box.document()->blockCount(), 3);
        checkPicture(box);
    }

    void breaksForTheEyeNeverSplitWhatAReaderSeesAsOne()
    {
        TextBox box;
        box.appendText(QString(999, QLatin1Char('x')));
        box.appendText(QStringLiteral("😀abc"));
        box.appendText(QStringLiteral("\r\n") + QString(999, QLatin1Char('e')) + QStringLiteral("e\u0301f\r\n"));
        box.appendText(QString(999, QLatin1Char('f')) + QStringLiteral("🇧🇷🇧🇷\r\n"));
        QCOMPARE(box.text(), QString(999, QLatin1Char('x')) + QStringLiteral("😀abc\r\n")
                                 + QString(999, QLatin1Char('e')) + QStringLiteral("e\u0301f\r\n")
                                 + QString(999, QLatin1Char('f')) + QStringLiteral("🇧🇷🇧🇷\r\n"));
        QCOMPARE(box.document()->blockCount(), 7);
        checkPicture(box);
    }

    void longLinesKeepTheirTextThroughEdits()
    {
        // Lines far longer than a paragraph of the box, arriving in pieces,
        // set at once and edited by hand, read back exactly.
        TextBox box;
        const QString line(5 * TextBox::MaxParagraphLength, QLatin1Char('z'));
        box.appendText(QStringLiteral("abc"));
        box.appendText(line.left(2500));
        box.appendText(line.mid(2500) + QStringLiteral("\r\nfim"));
        QString expected = QStringLiteral("abc") + line + QStringLiteral("\r\nfim");
        QCOMPARE(box.text(), expected);
        QCOMPARE(box.textLength(), expected.size());

        // A character typed just before or after a break for the eye (with no
        // space to break at, one every MaxParagraphLength characters) lands in
        // the text where the caret showed it.
        for (qsizetype position : {qsizetype(999), qsizetype(1000), qsizetype(3001), qsizetype(2001)}) {
            box.setSelStart(position);
            QCOMPARE(box.selStart(), position);
            box.insertPlainText(QStringLiteral("#"));
            expected.insert(position, QLatin1Char('#'));
            QCOMPARE(box.text(), expected);
            QCOMPARE(box.textLength(), expected.size());
        }
        for (int i = 0; expected.size() < 9000; ++i)
            expected += QStringLiteral(" %1 ").arg(i) + QString(i % 3 * 200, QLatin1Char('y'));
        box.setText(expected);
        QCOMPARE(box.text(), expected);
        QCOMPARE(box.textLength(), expected.size());
        box.selectAll();
        box.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        box.setText(QString());
        QCOMPARE(box.textLength(), 0);
    }
};

QTEST_MAIN(TestTextBox)
#include "test_text_box.moc"
