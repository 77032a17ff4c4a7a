// The multi-line text box on its own: its text read back with CR LF, and
// caret positions counted in that text.
#include "forms/text_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

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

    void everyLineBreakReadsBackAsCrLf()
    {
        TextBox box;
        box.appendText(QStringLiteral("a\r\n"));
        box.appendText(QStringLiteral("LF\nsó\r\n"));
        box.appendText(QStringLiteral("CR\r"));
        const QString expected = QStringLiteral("a\r\nLF\r\nsó\r\nCR\r\n");
        QCOMPARE(box.text(), expected);
        QCOMPARE(box.textLength(), expected.size());
        box.appendText(QStringLiteral("fim"));
        QCOMPARE(box.text(), expected + QStringLiteral("fim"));
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
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
        box.setText(QString());
        QCOMPARE(box.textLength(), 0);
    }
};

QTEST_MAIN(TestTextBox)
#include "test_text_box.moc"
