#include "forms/text_box.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

TextBox::TextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    // The box holds a whole session's conversation: an undo history of every
    // arrival would grow without bound.
    setUndoRedoEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    connect(document(), &QTextDocument::contentsChange, this, [this] {
        if (!m_appending)
            m_textCurrent = false;
    });
}

namespace {

// True when the document keeps text exactly as it reads back: every line
// break is CR LF. A lone CR or LF, or a character the document itself takes
// as a paragraph break, becomes a line break there.
bool keepsLineEnds(const QString &text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == QLatin1Char('\n')) {
            ++i;
        } else if (c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator || c == 0xFDD0 || c == 0xFDD1) {
            return false;
        }
    }
    return true;
}

} // namespace

QString TextBox::text() const
{
    if (!m_textCurrent) {
        m_text = documentText();
        m_textCurrent = true;
    }
    return m_text;
}

QString TextBox::documentText() const
{
    // Taken from the document's raw text, where every line break is a
    // paragraph separator: no-break spaces and every other character stay
    // exactly as shown (plain-text export would turn some into spaces).
    const QString raw = document()->toRawText();
    QString result(textLength(), Qt::Uninitialized);
    QChar *out = result.data();
    for (const QChar c : raw) {
        if (c == QChar::ParagraphSeparator) {
            *out++ = QLatin1Char('\r');
            *out++ = QLatin1Char('\n');
        } else {
            *out++ = c;
        }
    }
    result.truncate(out - result.constData());
    return result;
}

void TextBox::setText(const QString &text)
{
    setPlainText(text);
}

void TextBox::appendText(const QString &text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // The kept text is brought up to date first: whoever hears of the change
    // may read it back at once.
    if (m_textCurrent && keepsLineEnds(text))
        m_text += text;
    else
        m_textCurrent = false;
    m_appending = true;
    cursor.insertText(text);
    m_appending = false;
}

qsizetype TextBox::textLength() const
{
    const int blocks = document()->blockCount();
    // characterCount() counts each block separator once and the final one too.
    return qsizetype(document()->characterCount() - 1) + (blocks - 1);
}

qsizetype TextBox::selStart() const
{
    const QTextCursor cursor = textCursor();
    const int position = cursor.selectionStart();
    return qsizetype(position) + document()->findBlock(position).blockNumber();
}

void TextBox::setSelStart(qsizetype position)
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
