#include "forms/text_box.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

TextBox::TextBox(QWidget *parent) : QPlainTextEdit(parent), m_document(new PictureDocument(this))
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
    // While text is added at the end with the focus in the box, the caret is
    // put back as the document changes, before the box looks at its selection:
    // an anchor moved by the insertion would be a selection made and told.
    connect(m_document, &PictureDocument::writing, this, [this] {
        if (m_heldCaret.first < 0)
            return;
        QTextCursor held(document());
        held.setPosition(m_heldCaret.first);
        held.setPosition(m_heldCaret.second, QTextCursor::KeepAnchor);
        held.setKeepPositionOnInsert(true);
        setTextCursor(held);
    });
    connect(m_document, &PictureDocument::shownWhole, this, [this] {
        if (m_caretAtEnd)
            followEnd();
    });
    connect(m_document, &PictureDocument::layOutAgain, this, &TextBox::layOutLater);
    // A selection made (by the program; the operator's needs the focus) is where the caret is.
    connect(this, &QPlainTextEdit::selectionChanged, this, [this] {
        if (textCursor().hasSelection())
            m_caretAtEnd = false;
    });
}

void TextBox::setText(const QString &text)
{
    replaceText(0, textLength(), text);
}

void TextBox::appendText(const QString &text)
{
    // With the focus in the box, the caret stays where it was, even at the
    // end: a screen reader would follow it onto the empty line after the text.
    if (!hasFocus()) {
        replaceText(textLength(), textLength(), text);
        return;
    }
    QTextCursor caret = textCursor();
    m_heldCaret = {caret.anchor(), caret.position()};
    caret.setKeepPositionOnInsert(true);
    setTextCursor(caret);
    replaceText(textLength(), textLength(), text);
    m_heldCaret = {-1, -1};
    caret = textCursor();
    caret.setKeepPositionOnInsert(false);
    setTextCursor(caret);
}

void TextBox::replaceText(qsizetype from, qsizetype to, const QString &text)
{
    m_document->replace(from, to, text);
}

void TextBox::layOutLater(qsizetype from, qsizetype to)
{
    QTimer::singleShot(0, this, [this, from, to] {
        const qsizetype start = std::min(from, textLength());
        const qsizetype end = std::clamp(to, start, textLength());
        const QTextCursor was = textCursor();
        const qsizetype anchor = textPosition(was.anchor());
        const qsizetype caret = textPosition(was.position());
        replaceText(start, end, text().mid(start, end - start));
        QTextCursor cursor(document());
        cursor.setPosition(int(documentPosition(anchor)));
        cursor.setPosition(int(documentPosition(caret)), QTextCursor::KeepAnchor);
        setTextCursor(cursor);
    });
}

qsizetype TextBox::selStart() const
{
    return m_caretAtEnd ? textLength() : textPosition(textCursor().selectionStart());
}

void TextBox::followEnd()
{
    if (hasFocus() && m_document->allShown()) {
        setSelStart(textLength());
    } else {
        m_caretAtEnd = true;
        scrollToEnd();
    }
}

void TextBox::focusInEvent(QFocusEvent *event)
{
    if (m_caretAtEnd)
        setSelStart(textLength());
    QPlainTextEdit::focusInEvent(event);
}

void TextBox::setSelStart(qsizetype position)
{
    if (!m_document->allShown()) {
        if (position >= textLength()) {
            m_caretAtEnd = true; // at the end once all of it is shown
            return;
        }
        m_document->showAll();
    }
    m_caretAtEnd = false;
    QTextCursor cursor(document());
    if (position >= textLength())
        cursor.movePosition(QTextCursor::End);
    else if (position > 0)
        cursor.setPosition(int(documentPosition(position)));
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TextBox::scrollToEnd()
{
    // Once a turn of the event loop, however many texts came in it: the eye
    // sees the same, and a screen reader hears of one scroll, not of each.
    if (m_scrollingToEnd)
        return;
    m_scrollingToEnd = true;
    QTimer::singleShot(0, this, [this] {
        m_scrollingToEnd = false;
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    });
}

QMimeData *TextBox::createMimeDataFromSelection() const
{
    // What is copied is the text itself, without the breaks for the eye: for
    // other programs with the desktop's own line ends, LF (the clipboard makes
    // them CR LF on Windows); for Velmora's own boxes, exactly as it is.
    const QTextCursor cursor = textCursor();
    const qsizetype from = textPosition(cursor.selectionStart());
    const QString exact = text().mid(from, textPosition(cursor.selectionEnd()) - from);
    QString copied = exact;
    copied.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    copied.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    auto *data = new QMimeData;
    data->setText(copied);
    data->setData(QString::fromLatin1(ExactTextMime),
                  QByteArray(reinterpret_cast<const char *>(exact.utf16()), exact.size() * qsizetype(sizeof(char16_t))));
    return data;
}

QString TextBox::textOf(const QMimeData *source)
{
    const QString exactType = QString::fromLatin1(ExactTextMime);
    if (source->hasFormat(exactType)) {
        const QByteArray exact = source->data(exactType);
        return QString(reinterpret_cast<const QChar *>(exact.constData()), exact.size() / qsizetype(sizeof(char16_t)));
    }
    return source->text();
}

void TextBox::insertFromMimeData(const QMimeData *source)
{
    // Pasted text is laid out as an arrival is, and kept as it came.
    if (!source || !(source->hasText() || source->hasFormat(QString::fromLatin1(ExactTextMime))))
        return;
    const QString pasted = textOf(source);
    const QTextCursor cursor = textCursor();
    const qsizetype from = textPosition(cursor.selectionStart());
    replaceText(from, textPosition(cursor.selectionEnd()), pasted);
    setSelStart(from + pasted.size());
}

void TextBox::dropEvent(QDropEvent *event)
{
    // Handled here rather than by the box, which would move text inside one
    // change that the kept text could not follow.
    if (isReadOnly() || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    const QString dropped = textOf(event->mimeData());
    qsizetype at = textPosition(cursorForPosition(event->position().toPoint()).position());
    const QTextCursor selection = textCursor();
    if ((event->source() == this || event->source() == viewport()) && event->dropAction() == Qt::MoveAction
        && selection.hasSelection()) {
        const qsizetype from = textPosition(selection.selectionStart());
        const qsizetype to = textPosition(selection.selectionEnd());
        if (at >= from && at <= to) {
            event->acceptProposedAction();
            return;
        }
        replaceText(from, to, QString());
        if (at > to)
            at -= to - from;
    }
    replaceText(at, at, dropped);
    setSelStart(at + dropped.size());
    event->acceptProposedAction();
    QDragLeaveEvent leave; // takes away the box's drop marker
    QPlainTextEdit::dragLeaveEvent(&leave);
}

void TextBox::keyPressEvent(QKeyEvent *event)
{
    QTextCursor cursor = textCursor();
    const int block = cursor.blockNumber();
    const bool atBlockStart = cursor.positionInBlock() == 0;
    const bool atBlockEnd = cursor.atBlockEnd();
    // Delete and Backspace at a break for the eye take the neighbouring
    // character of the text, never the break.
    if (!cursor.hasSelection() && event->key() == Qt::Key_Backspace && atBlockStart && block > 0
        && m_document->picture().brokenForTheEye(block - 1)) {
        cursor.movePosition(QTextCursor::PreviousCharacter);
        setTextCursor(cursor);
    } else if (!cursor.hasSelection() && event->key() == Qt::Key_Delete && atBlockEnd
               && m_document->picture().brokenForTheEye(block)) {
        cursor.movePosition(QTextCursor::NextCharacter);
        setTextCursor(cursor);
    }
    if (event->key() != Qt::Key_Left && event->key() != Qt::Key_Right) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    // One step of the caret moves through one character of the text: across a
    // break for the eye it takes one more.
    const int documentBefore = cursor.position();
    const qsizetype before = textPosition(documentBefore);
    QPlainTextEdit::keyPressEvent(event);
    const int documentAfter = textCursor().position();
    if (documentAfter != documentBefore && textPosition(documentAfter) == before)
        QPlainTextEdit::keyPressEvent(event);
}
