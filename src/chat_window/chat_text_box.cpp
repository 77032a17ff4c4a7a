#include "chat_text_box.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
const QString lineEnd = QStringLiteral("\r\n");
}

ChatTextBox::ChatTextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    // The box holds a whole session's conversation: an undo history of every
    // arrival would grow without bound.
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

QString ChatTextBox::text() const
{
    // Taken block by block from the document: no-break spaces and every other
    // character stay exactly as shown.
    QString result;
    result.reserve(textLength());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin())
            result += lineEnd;
        result += block.text();
    }
    return result;
}

void ChatTextBox::setText(const QString &text)
{
    setPlainText(text);
}

void ChatTextBox::appendText(const QString &text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

qsizetype ChatTextBox::textLength() const
{
    const int blocks = document()->blockCount();
    // characterCount() counts each block separator once and the final one too.
    return qsizetype(document()->characterCount() - 1) + (blocks - 1);
}

qsizetype ChatTextBox::selStart() const
{
    const QTextCursor cursor = textCursor();
    const int position = cursor.selectionStart();
    return qsizetype(position) + document()->findBlock(position).blockNumber();
}

void ChatTextBox::setSelStart(qsizetype position)
{
    QTextCursor cursor(document());
    if (position >= textLength()) {
        cursor.movePosition(QTextCursor::End);
    } else if (position > 0) {
        // The block holding position: the last one whose start, counted with
        // CR LF, is at or before it.
        int low = 0;
        int high = document()->blockCount() - 1;
        while (low < high) {
            const int middle = (low + high + 1) / 2;
            const qsizetype start = document()->findBlockByNumber(middle).position() + qsizetype(middle);
            if (start <= position)
                low = middle;
            else
                high = middle - 1;
        }
        const QTextBlock block = document()->findBlockByNumber(low);
        const qsizetype offset = std::min<qsizetype>(position - (block.position() + low), block.length() - 1);
        cursor.setPosition(block.position() + int(offset));
    }
    setTextCursor(cursor);
    ensureCursorVisible();
}
