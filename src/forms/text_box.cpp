#include "forms/text_box.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>

namespace {

constexpr QChar Separator = QChar::ParagraphSeparator;

// How many characters the line break starting at i takes (CR LF is one break
// of two), or 0 where none starts. These are the characters a document takes
// as a paragraph break.
qsizetype breakLength(const QString &text, qsizetype i)
{
    const char16_t c = text.at(i).unicode();
    if (c == u'\r')
        return i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n') ? 2 : 1;
    return c == u'\n' || c == QChar::ParagraphSeparator || c == 0xFDD0 || c == 0xFDD1 ? 1 : 0;
}

// The nearest place at or before position (and after floor) between two
// characters a reader sees as separate, or -1 when there is none near.
qsizetype graphemeBoundaryAtOrBefore(const QString &text, qsizetype position, qsizetype floor)
{
    const qsizetype from = std::max(floor, position - 64);
    const qsizetype to = std::min(text.size(), position + 16);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, to - from);
    finder.setPosition(position - from);
    if (finder.isAtBoundary())
        return position;
    const qsizetype previous = finder.toPreviousBoundary();
    return previous > 0 ? from + previous : -1;
}

// Where to break a line whose paragraph from start reaches the limit at end:
// after the last space among the last few characters, else at the last
// boundary between two graphemes; at end when a single grapheme is longer.
qsizetype breakBefore(const QString &text, qsizetype start, qsizetype end)
{
    for (qsizetype i = end; i > start + 1 && i > end - 80; --i) {
        if (text.at(i - 1).isSpace() && graphemeBoundaryAtOrBefore(text, i, start) == i)
            return i;
    }
    const qsizetype boundary = graphemeBoundaryAtOrBefore(text, end, start);
    return boundary > start ? boundary : end;
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
    connect(document(), &QTextDocument::contentsChange, this, &TextBox::documentChanged);
    // A selection made (by the program; the operator's needs the focus) is where the caret is.
    connect(this, &QPlainTextEdit::selectionChanged, this, [this] {
        if (textCursor().hasSelection())
            m_caretAtEnd = false;
    });
}

TextBox::Layout TextBox::layOut(const QString &text, qsizetype lastBreak)
{
    Layout layout;
    layout.picture.reserve(text.size() + text.size() / MaxParagraphLength + 1);
    const auto addLine = [&](qsizetype start, qsizetype end, qsizetype breakAfter) {
        while (end - start > MaxParagraphLength) {
            const qsizetype at = breakBefore(text, start, start + MaxParagraphLength);
            layout.picture += QStringView(text).mid(start, at - start);
            layout.picture += Separator;
            layout.paragraphs.push_back({at - start, 0});
            start = at;
        }
        layout.picture += QStringView(text).mid(start, end - start);
        layout.paragraphs.push_back({end - start, breakAfter});
    };
    qsizetype lineStart = 0;
    for (qsizetype i = 0, n = text.size(); i < n;) {
        const qsizetype length = breakLength(text, i);
        if (length == 0) {
            ++i;
            continue;
        }
        addLine(lineStart, i, length);
        layout.picture += Separator;
        i += length;
        lineStart = i;
    }
    addLine(lineStart, text.size(), lastBreak);
    return layout;
}

TextBox::Located TextBox::paragraphAtDocument(qsizetype position) const
{
    if (position >= m_last.documentStart)
        return m_last;
    Located at{0, 0, 0};
    while (at.documentStart + m_paragraphs[at.index].length < position) {
        const Paragraph &p = m_paragraphs[at.index];
        at.documentStart += p.length + 1;
        at.textStart += p.length + p.breakAfter;
        ++at.index;
    }
    return at;
}

TextBox::Located TextBox::paragraphAtText(qsizetype position) const
{
    // A position inside a CR LF belongs to the paragraph before it; one at a
    // break for the eye, to the paragraph before it too.
    if (position > m_last.textStart
        || (position == m_last.textStart && (m_last.index == 0 || m_paragraphs[m_last.index - 1].breakAfter > 0)))
        return m_last;
    Located at{0, 0, 0};
    while (at.index < m_last.index) {
        const Paragraph &p = m_paragraphs[at.index];
        if (position <= at.textStart + p.length + std::max<qsizetype>(0, p.breakAfter - 1))
            break;
        at.documentStart += p.length + 1;
        at.textStart += p.length + p.breakAfter;
        ++at.index;
    }
    return at;
}

qsizetype TextBox::textPosition(qsizetype documentPosition) const
{
    const Located at = paragraphAtDocument(documentPosition);
    return at.textStart + std::min(documentPosition - at.documentStart, m_paragraphs[at.index].length);
}

qsizetype TextBox::documentPosition(qsizetype textPosition) const
{
    const Located at = paragraphAtText(textPosition);
    return at.documentStart + std::min(textPosition - at.textStart, m_paragraphs[at.index].length);
}

qsizetype TextBox::documentLength() const
{
    return m_last.documentStart + m_paragraphs.back().length;
}

QString TextBox::picture(qsizetype from, qsizetype to) const
{
    QString result;
    result.reserve(to - from);
    Located at = paragraphAtDocument(from);
    qsizetype position = from;
    while (position < to) {
        const Paragraph &p = m_paragraphs[at.index];
        const qsizetype end = std::min(to, at.documentStart + p.length);
        result += QStringView(m_text).mid(at.textStart + position - at.documentStart, end - position);
        position = end;
        if (position < to) {
            result += Separator;
            ++position;
            at.documentStart += p.length + 1;
            at.textStart += p.length + p.breakAfter;
            ++at.index;
        }
    }
    return result;
}

void TextBox::replaceParagraphs(const Located &first, size_t last, const std::vector<Paragraph> &paragraphs)
{
    const bool wasLast = last + 1 == m_paragraphs.size();
    qsizetype oldDocument = 0;
    qsizetype oldText = 0;
    for (size_t i = first.index; i <= last; ++i) {
        oldDocument += m_paragraphs[i].length + 1;
        oldText += m_paragraphs[i].length + m_paragraphs[i].breakAfter;
    }
    m_paragraphs.erase(m_paragraphs.begin() + qsizetype(first.index), m_paragraphs.begin() + qsizetype(last) + 1);
    m_paragraphs.insert(m_paragraphs.begin() + qsizetype(first.index), paragraphs.begin(), paragraphs.end());
    if (wasLast) {
        m_last = first;
        for (size_t i = first.index; i + 1 < m_paragraphs.size(); ++i) {
            m_last.documentStart += m_paragraphs[i].length + 1;
            m_last.textStart += m_paragraphs[i].length + m_paragraphs[i].breakAfter;
        }
        m_last.index = m_paragraphs.size() - 1;
    } else {
        for (const Paragraph &p : paragraphs) {
            m_last.documentStart += p.length + 1;
            m_last.textStart += p.length + p.breakAfter;
        }
        m_last.documentStart -= oldDocument;
        m_last.textStart -= oldText;
        m_last.index = m_last.index + paragraphs.size() - (last - first.index + 1);
    }
}

void TextBox::setText(const QString &text)
{
    replaceText(0, m_text.size(), text);
}

void TextBox::appendText(const QString &text)
{
    // With the focus in the box, the caret stays where it was, even at the
    // end: a screen reader would follow it onto the empty line after the text.
    if (!hasFocus()) {
        replaceText(m_text.size(), m_text.size(), text);
        return;
    }
    // (Put back before the box looks at its selection: an anchor moved by the
    // insertion would be a selection made and told.)
    QTextCursor caret = textCursor();
    m_heldCaret = {caret.anchor(), caret.position()};
    caret.setKeepPositionOnInsert(true);
    setTextCursor(caret);
    replaceText(m_text.size(), m_text.size(), text);
    m_heldCaret = {-1, -1};
    caret = textCursor();
    caret.setKeepPositionOnInsert(false);
    setTextCursor(caret);
}

void TextBox::replaceText(qsizetype from, qsizetype to, const QString &text)
{
    from = std::clamp<qsizetype>(from, 0, m_text.size());
    to = std::clamp<qsizetype>(to, from, m_text.size());
    // A CR and an LF that come to stand together are one line break: the
    // neighbours of the change are laid out with it.
    QString inserted = text;
    if (from > 0 && m_text.at(from - 1) == QLatin1Char('\r')) {
        --from;
        inserted.prepend(QLatin1Char('\r'));
    }
    if (to < m_text.size() && m_text.at(to) == QLatin1Char('\n')) {
        ++to;
        inserted.append(QLatin1Char('\n'));
    }

    // The paragraphs touched are laid out again whole, so that their breaks
    // for the eye fall as if the text had come at once.
    const Located first = paragraphAtText(from);
    const Located last = paragraphAtText(to);
    const Paragraph &lastParagraph = m_paragraphs[last.index];
    const qsizetype prefix = from - first.textStart;
    const qsizetype suffix = last.textStart + lastParagraph.length - to;
    QString touched = inserted;
    if (prefix > 0 || suffix > 0) {
        touched.clear();
        touched.reserve(prefix + inserted.size() + suffix);
        touched += QStringView(m_text).mid(first.textStart, prefix);
        touched += inserted;
        touched += QStringView(m_text).mid(to, suffix);
    }
    Layout layout = layOut(touched, lastParagraph.breakAfter);

    // Only what differs is written into the document: the untouched start of
    // the first paragraph and end of the last stay as they are.
    const qsizetype keepFront = layout.paragraphs.front().length >= prefix ? prefix : 0;
    const qsizetype keepBack = layout.paragraphs.back().length >= suffix && layout.picture.size() - keepFront >= suffix
                                   ? suffix
                                   : 0;
    const qsizetype documentFrom = first.documentStart + keepFront;
    const qsizetype documentTo = last.documentStart + lastParagraph.length - keepBack;
    const qsizetype shown = documentLength() - m_unshown.size();
    if (documentTo > shown && documentFrom < shown)
        showMore(true); // a change across the end of what is shown: all of it shown first

    // The kept text is brought up to date before the document changes: whoever
    // hears of the change may read it back at once.
    if (from == 0 && to == m_text.size())
        m_text = inserted; // shared, not copied
    else if (from == m_text.size())
        m_text += inserted; // grows geometrically, where a replacement would copy the whole text
    else
        m_text.replace(from, to - from, inserted);
    replaceParagraphs(first, last.index, layout.paragraphs);

    QString replacement = keepFront == 0 && keepBack == 0
                              ? std::move(layout.picture)
                              : layout.picture.mid(keepFront, layout.picture.size() - keepFront - keepBack);
    if (documentFrom >= shown && !m_unshown.isEmpty()) {
        // All of it beyond what is shown yet: only the part to come changes.
        m_unshown.replace(documentFrom - shown, documentTo - documentFrom, replacement);
        emit textChanged();
        return;
    }
    if (documentTo == shown && replacement.size() > ShownAtOnce) {
        // A long picture reaching the end: the rest is shown in the next turns.
        qsizetype cut = replacement.lastIndexOf(Separator, ShownAtOnce) + 1;
        if (cut <= 0)
            cut = ShownAtOnce;
        const bool showing = !m_unshown.isEmpty(); // already being shown, a part a turn
        QString rest = std::move(replacement);
        replacement = rest.left(cut);
        rest.remove(0, cut); // from the front of a string of its own: nothing copied
        m_unshown = showing ? rest + m_unshown : std::move(rest);
        if (!showing)
            QTimer::singleShot(0, this, [this] { showMore(); });
    }

    m_changing = true;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.setPosition(int(documentFrom));
    cursor.setPosition(int(documentTo), QTextCursor::KeepAnchor);
    if (replacement.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(replacement);
    cursor.endEditBlock();
    m_changing = false;
}

void TextBox::showMore(bool all)
{
    if (m_unshown.isEmpty())
        return;
    qsizetype cut = m_unshown.size();
    if (!all && cut > ShownAtOnce) {
        cut = m_unshown.lastIndexOf(Separator, ShownAtOnce) + 1;
        if (cut <= 0)
            cut = ShownAtOnce;
    }
    const QString part = m_unshown.left(cut);
    m_unshown.remove(0, cut);
    // The text changed when the picture was made; showing it is no change.
    const bool blocked = blockSignals(true);
    m_changing = true;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(part);
    m_changing = false;
    blockSignals(blocked);
    if (!m_unshown.isEmpty()) {
        if (!all)
            QTimer::singleShot(0, this, [this] { showMore(); });
    } else if (m_caretAtEnd) {
        followEnd();
    }
}

void TextBox::documentChanged(int position, int removed, int added)
{
    if (m_changing) {
        if (m_heldCaret.first >= 0) {
            QTextCursor held(document());
            held.setPosition(m_heldCaret.first);
            held.setPosition(m_heldCaret.second, QTextCursor::KeepAnchor);
            held.setKeepPositionOnInsert(true);
            setTextCursor(held);
        }
        return;
    }
    const qsizetype oldLength = documentLength() - m_unshown.size();
    const qsizetype newLength = document()->characterCount() - 1;
    qsizetype at = position;
    qsizetype gone = std::min<qsizetype>(removed, oldLength - at);
    qsizetype come = std::min<qsizetype>(added, newLength - at);
    if (at < 0 || gone < 0 || come < 0 || oldLength - gone + come != newLength) {
        at = 0;
        gone = oldLength;
        come = newLength;
    }
    // What really changed: the reported range may be wider than the edit.
    const QString before = picture(at, at + gone);
    QTextCursor cursor(document());
    cursor.setPosition(int(at));
    cursor.setPosition(int(at + come), QTextCursor::KeepAnchor);
    const QString after = cursor.selectedText();
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before.at(head) == after.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
           && before.at(before.size() - 1 - tail) == after.at(after.size() - 1 - tail))
        ++tail;
    if (head == before.size() && head == after.size())
        return; // only the formatting changed
    at += head;
    gone = before.size() - head - tail;
    const QStringView typed = QStringView(after).mid(head, after.size() - head - tail);

    // The characters of the text the removed part of the picture stood for;
    // a line break the user makes is CR LF, as the conversation's own.
    const Located first = paragraphAtDocument(at);
    const Located last = paragraphAtDocument(at + gone);
    const Paragraph &lastParagraph = m_paragraphs[last.index];
    const qsizetype from = first.textStart + (at - first.documentStart);
    const qsizetype to = last.textStart + (at + gone - last.documentStart);
    QString inserted;
    inserted.reserve(typed.size());
    std::vector<Paragraph> paragraphs;
    qsizetype length = at - first.documentStart;
    for (const QChar c : typed) {
        if (c == Separator) {
            inserted += QLatin1String("\r\n");
            paragraphs.push_back({length, 2});
            length = 0;
        } else {
            inserted += c;
            ++length;
        }
    }
    paragraphs.push_back({length + last.documentStart + lastParagraph.length - (at + gone), lastParagraph.breakAfter});

    m_text.replace(from, to - from, inserted);
    replaceParagraphs(first, last.index, paragraphs);

    // Mended later, text unchanged: a CR and an LF that now stand together, and
    // a paragraph grown long by typing.
    if (inserted.isEmpty() && from > 0 && from < m_text.size() && m_text.at(from - 1) == QLatin1Char('\r')
        && m_text.at(from) == QLatin1Char('\n'))
        tidyLater(from - 1, from + 1);
    qsizetype start = first.textStart;
    for (const Paragraph &p : paragraphs) {
        if (p.length > MaxParagraphLength)
            tidyLater(start, start + p.length);
        start += p.length + p.breakAfter;
    }
}

void TextBox::tidyLater(qsizetype from, qsizetype to)
{
    QTimer::singleShot(0, this, [this, from, to] {
        const qsizetype start = std::min(from, m_text.size());
        const qsizetype end = std::clamp(to, start, m_text.size());
        const QTextCursor was = textCursor();
        const qsizetype anchor = textPosition(was.anchor());
        const qsizetype caret = textPosition(was.position());
        replaceText(start, end, m_text.mid(start, end - start));
        QTextCursor cursor(document());
        cursor.setPosition(int(documentPosition(anchor)));
        cursor.setPosition(int(documentPosition(caret)), QTextCursor::KeepAnchor);
        setTextCursor(cursor);
    });
}

qsizetype TextBox::selStart() const
{
    return m_caretAtEnd ? m_text.size() : textPosition(textCursor().selectionStart());
}

void TextBox::followEnd()
{
    if (hasFocus() && m_unshown.isEmpty()) {
        setSelStart(m_text.size());
    } else {
        m_caretAtEnd = true;
        scrollToEnd();
    }
}

void TextBox::focusInEvent(QFocusEvent *event)
{
    if (m_caretAtEnd)
        setSelStart(m_text.size());
    QPlainTextEdit::focusInEvent(event);
}

void TextBox::setSelStart(qsizetype position)
{
    if (!m_unshown.isEmpty()) {
        if (position >= m_text.size()) {
            m_caretAtEnd = true; // at the end once all of it is shown
            return;
        }
        showMore(true);
    }
    m_caretAtEnd = false;
    QTextCursor cursor(document());
    if (position >= m_text.size())
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
    // What is copied is the text itself, without the breaks for the eye, its
    // line ends as the desktop's own: LF (the clipboard makes them CR LF on Windows).
    const QTextCursor cursor = textCursor();
    const qsizetype from = textPosition(cursor.selectionStart());
    QString copied = m_text.mid(from, textPosition(cursor.selectionEnd()) - from);
    copied.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    copied.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    auto *data = new QMimeData;
    data->setText(copied);
    return data;
}

void TextBox::insertFromMimeData(const QMimeData *source)
{
    // Pasted text is laid out as an arrival is, and kept as it came.
    if (!source || !source->hasText())
        return;
    const QString pasted = source->text();
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
    const QString dropped = event->mimeData()->text();
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
        && m_paragraphs[size_t(block) - 1].breakAfter == 0) {
        cursor.movePosition(QTextCursor::PreviousCharacter);
        setTextCursor(cursor);
    } else if (!cursor.hasSelection() && event->key() == Qt::Key_Delete && atBlockEnd
               && size_t(block) + 1 < m_paragraphs.size() && m_paragraphs[size_t(block)].breakAfter == 0) {
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
