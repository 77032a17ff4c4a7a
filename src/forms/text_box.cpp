#include "forms/text_box.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Marks a paragraph that continues the line before it (a break for the eye only).
constexpr int ContinuesLine = 0x5EC0;

bool continuesLine(const QTextBlock &block)
{
    return block.userState() == ContinuesLine;
}

// The characters the document takes as a paragraph break.
bool isBreak(char16_t c)
{
    return c == u'\r' || c == u'\n' || c == QChar::ParagraphSeparator || c == 0xFDD0 || c == 0xFDD1;
}

// True when the document keeps text exactly as it reads back: every line
// break is CR LF. A lone CR or LF, or a character the document itself takes
// as a paragraph break, becomes a line break there.
bool keepsLineEnds(const QString &text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        else if (isBreak(c))
            return false;
    }
    return true;
}

// Where to break a line that has reached the limit at end: after the last
// space among the last few characters, else at end; never inside a
// surrogate pair.
qsizetype breakBefore(const QString &text, qsizetype start, qsizetype end)
{
    for (qsizetype i = end; i > start && i > end - 80; --i) {
        if (text.at(i - 1).isSpace())
            return i;
    }
    if (end > start + 1 && text.at(end - 1).isHighSurrogate() && text.at(end).isLowSurrogate())
        return end - 1;
    return end;
}

} // namespace

TextBox::TextBox(QWidget *parent) : QPlainTextEdit(parent)
{
    // The box holds a whole session's conversation: an undo history of every
    // arrival would grow without bound.
    setUndoRedoEnabled(false);
    // Tab moves on to the next control, as in every other box of the windows;
    // a tab character would otherwise land in the conversation and its file.
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    connect(document(), &QTextDocument::contentsChange, this, [this] {
        if (!m_changing) {
            m_textCurrent = false;
            m_softBreaksCurrent = false;
        }
    });
}

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
    QString result;
    result.reserve(textLength());
    const QTextBlock first = document()->begin();
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        if (block != first && !continuesLine(block))
            result += QLatin1String("\r\n");
        // The paragraph's raw text: no-break spaces and every other character
        // stay exactly as shown.
        result += block.text();
    }
    return result;
}

void TextBox::setText(const QString &text)
{
    m_changing = true;
    QTextCursor all(document());
    all.beginEditBlock();
    all.select(QTextCursor::Document);
    all.removeSelectedText();
    all.block().setUserState(-1);
    m_text.clear();
    m_textCurrent = true;
    m_softBreaks = 0;
    m_softBreaksCurrent = true;
    insertAtEnd(text);
    all.endEditBlock();
    m_changing = false;
}

void TextBox::appendText(const QString &text)
{
    m_changing = true;
    insertAtEnd(text);
    m_changing = false;
}

void TextBox::insertAtEnd(const QString &text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // The kept text and the count of breaks are brought up to date before the
    // change is told: whoever hears of it may read them back at once.
    if (m_textCurrent && keepsLineEnds(text))
        m_text += text;
    else
        m_textCurrent = false;
    if (!m_softBreaksCurrent)
        softBreaks();

    cursor.beginEditBlock();
    qsizetype lineLength = cursor.block().length() - 1;
    qsizetype start = 0;
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        if (isBreak(text.at(i).unicode())) {
            lineLength = 0;
        } else if (++lineLength > MaxParagraphLength) {
            const qsizetype end = breakBefore(text, start, i);
            cursor.insertText(text.mid(start, end - start));
            cursor.insertBlock();
            cursor.block().setUserState(ContinuesLine);
            ++m_softBreaks;
            start = end;
            lineLength = i - end + 1;
        }
    }
    cursor.insertText(start == 0 ? text : text.mid(start));
    cursor.endEditBlock();
}

qsizetype TextBox::softBreaks() const
{
    if (!m_softBreaksCurrent) {
        m_softBreaks = 0;
        for (QTextBlock block = document()->begin().next(); block.isValid(); block = block.next())
            m_softBreaks += continuesLine(block);
        m_softBreaksCurrent = true;
    }
    return m_softBreaks;
}

qsizetype TextBox::textLength() const
{
    // A line break is one character in the document and two (CR LF) in the
    // text; a break for the eye is one in the document and none in the text.
    const qsizetype breaks = document()->blockCount() - 1;
    return qsizetype(accessibleLength()) + breaks - 2 * softBreaks();
}

qsizetype TextBox::textPosition(int documentPosition) const
{
    const QTextBlock at = document()->findBlock(documentPosition);
    qsizetype soft = 0;
    for (QTextBlock block = document()->begin().next(); block.isValid() && block.position() <= at.position();
         block = block.next())
        soft += continuesLine(block);
    return qsizetype(documentPosition) + at.blockNumber() - 2 * soft;
}

qsizetype TextBox::selStart() const
{
    return textPosition(textCursor().selectionStart());
}

void TextBox::setSelStart(qsizetype position)
{
    QTextCursor cursor(document());
    if (position >= textLength()) {
        cursor.movePosition(QTextCursor::End);
    } else if (position > 0) {
        // The paragraph holding position: the last one whose start, counted
        // in the text, is at or before it.
        const QTextBlock first = document()->begin();
        QTextBlock holding = first;
        qsizetype holdingStart = 0;
        qsizetype start = 0;
        for (QTextBlock block = first; block.isValid(); block = block.next()) {
            if (block != first)
                start += continuesLine(block) ? 0 : 2;
            if (start > position)
                break;
            holding = block;
            holdingStart = start;
            start += block.length() - 1;
        }
        const qsizetype offset = std::min<qsizetype>(position - holdingStart, holding.length() - 1);
        cursor.setPosition(holding.position() + int(offset));
    }
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData *TextBox::createMimeDataFromSelection() const
{
    // What is copied is the text itself, without the breaks for the eye.
    const QTextCursor cursor = textCursor();
    const qsizetype from = textPosition(cursor.selectionStart());
    const qsizetype to = textPosition(cursor.selectionEnd());
    auto *data = new QMimeData;
    data->setText(text().mid(from, to - from));
    return data;
}
