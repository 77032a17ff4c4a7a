// The multi-line text box on its own: its text read back with CR LF, and
// caret positions counted in that text.
#include "forms/text_box.h"

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
};

QTEST_MAIN(TestTextBox)
#include "test_text_box.moc"
