#include "forms/text_picture.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

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

TextPicture::Layout TextPicture::layOut(const QString &text, qsizetype lastBreak)
{
    Layout layout;
    layout.picture.reserve(text.size() + text.size() / MaxParagraphLength + 1);
    const auto addLine = [&](qsizetype start, qsizetype end, qsizetype breakAfter) {
        while (end - start > MaxParagraphLength) {
            const qsizetype at = breakBefore(text, start, start + MaxParagraphLength);
            layout.picture += QStringView(text).mid(start, at - start);
            layout.picture += Break;
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
        layout.picture += Break;
        i += length;
        lineStart = i;
    }
    addLine(lineStart, text.size(), lastBreak);
    return layout;
}

TextPicture::Located TextPicture::paragraphAtPicture(qsizetype position) const
{
    if (position >= m_last.pictureStart)
        return m_last;
    Located at{0, 0, 0};
    while (at.pictureStart + m_paragraphs[at.index].length < position) {
        const Paragraph &p = m_paragraphs[at.index];
        at.pictureStart += p.length + 1;
        at.textStart += p.length + p.breakAfter;
        ++at.index;
    }
    return at;
}

TextPicture::Located TextPicture::paragraphAtText(qsizetype position) const
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
        at.pictureStart += p.length + 1;
        at.textStart += p.length + p.breakAfter;
        ++at.index;
    }
    return at;
}

qsizetype TextPicture::textPosition(qsizetype picturePosition) const
{
    const Located at = paragraphAtPicture(picturePosition);
    return at.textStart + std::min(picturePosition - at.pictureStart, m_paragraphs[at.index].length);
}

qsizetype TextPicture::picturePosition(qsizetype textPosition) const
{
    const Located at = paragraphAtText(textPosition);
    return at.pictureStart + std::min(textPosition - at.textStart, m_paragraphs[at.index].length);
}

qsizetype TextPicture::pictureLength() const
{
    return m_last.pictureStart + m_paragraphs.back().length;
}

QString TextPicture::picture(qsizetype from, qsizetype to) const
{
    QString result;
    result.reserve(to - from);
    Located at = paragraphAtPicture(from);
    qsizetype position = from;
    while (position < to) {
        const Paragraph &p = m_paragraphs[at.index];
        const qsizetype end = std::min(to, at.pictureStart + p.length);
        result += QStringView(m_text).mid(at.textStart + position - at.pictureStart, end - position);
        position = end;
        if (position < to) {
            result += Break;
            ++position;
            at.pictureStart += p.length + 1;
            at.textStart += p.length + p.breakAfter;
            ++at.index;
        }
    }
    return result;
}

void TextPicture::replaceParagraphs(const Located &first, size_t last, const std::vector<Paragraph> &paragraphs)
{
    const bool wasLast = last + 1 == m_paragraphs.size();
    qsizetype oldPicture = 0;
    qsizetype oldText = 0;
    for (size_t i = first.index; i <= last; ++i) {
        oldPicture += m_paragraphs[i].length + 1;
        oldText += m_paragraphs[i].length + m_paragraphs[i].breakAfter;
    }
    m_paragraphs.erase(m_paragraphs.begin() + qsizetype(first.index), m_paragraphs.begin() + qsizetype(last) + 1);
    m_paragraphs.insert(m_paragraphs.begin() + qsizetype(first.index), paragraphs.begin(), paragraphs.end());
    if (wasLast) {
        m_last = first;
        for (size_t i = first.index; i + 1 < m_paragraphs.size(); ++i) {
            m_last.pictureStart += m_paragraphs[i].length + 1;
            m_last.textStart += m_paragraphs[i].length + m_paragraphs[i].breakAfter;
        }
        m_last.index = m_paragraphs.size() - 1;
    } else {
        for (const Paragraph &p : paragraphs) {
            m_last.pictureStart += p.length + 1;
            m_last.textStart += p.length + p.breakAfter;
        }
        m_last.pictureStart -= oldPicture;
        m_last.textStart -= oldText;
        m_last.index = m_last.index + paragraphs.size() - (last - first.index + 1);
    }
}

bool TextPicture::brokenForTheEye(qsizetype paragraph) const
{
    return paragraph >= 0 && paragraph + 1 < paragraphCount() && m_paragraphs[size_t(paragraph)].breakAfter == 0;
}

TextPicture::Change TextPicture::prepare(qsizetype from, qsizetype to, const QString &text) const
{
    from = std::clamp<qsizetype>(from, 0, m_text.size());
    to = std::clamp<qsizetype>(to, from, m_text.size());
    Change change;
    // A CR and an LF that come to stand together are one line break: the
    // neighbours of the change are laid out with it.
    change.m_inserted = text;
    if (from > 0 && m_text.at(from - 1) == QLatin1Char('\r')) {
        --from;
        change.m_inserted.prepend(QLatin1Char('\r'));
    }
    if (to < m_text.size() && m_text.at(to) == QLatin1Char('\n')) {
        ++to;
        change.m_inserted.append(QLatin1Char('\n'));
    }
    change.m_from = from;
    change.m_to = to;

    // The paragraphs touched are laid out again whole.
    const Located first = paragraphAtText(from);
    const Located last = paragraphAtText(to);
    const Paragraph &lastParagraph = m_paragraphs[last.index];
    const qsizetype prefix = from - first.textStart;
    const qsizetype suffix = last.textStart + lastParagraph.length - to;
    QString touched = change.m_inserted;
    if (prefix > 0 || suffix > 0) {
        touched.clear();
        touched.reserve(prefix + change.m_inserted.size() + suffix);
        touched += QStringView(m_text).mid(first.textStart, prefix);
        touched += change.m_inserted;
        touched += QStringView(m_text).mid(to, suffix);
    }
    Layout layout = layOut(touched, lastParagraph.breakAfter);

    // Only what differs changes: the untouched start of the first paragraph
    // and end of the last stay as they are.
    const qsizetype keepFront = layout.paragraphs.front().length >= prefix ? prefix : 0;
    const qsizetype keepBack = layout.paragraphs.back().length >= suffix && layout.picture.size() - keepFront >= suffix
                                   ? suffix
                                   : 0;
    change.m_edit.from = first.pictureStart + keepFront;
    change.m_edit.to = last.pictureStart + lastParagraph.length - keepBack;
    change.m_edit.picture = keepFront == 0 && keepBack == 0
                                ? std::move(layout.picture)
                                : layout.picture.mid(keepFront, layout.picture.size() - keepFront - keepBack);
    change.m_first = first;
    change.m_last = last.index;
    change.m_paragraphs = std::move(layout.paragraphs);
    return change;
}

TextPicture::Edit TextPicture::commit(Change change)
{
    if (change.m_from == 0 && change.m_to == m_text.size())
        m_text = change.m_inserted; // shared, not copied
    else if (change.m_from == m_text.size())
        m_text += change.m_inserted; // grows geometrically, where a replacement would copy the whole text
    else
        m_text.replace(change.m_from, change.m_to - change.m_from, change.m_inserted);
    replaceParagraphs(change.m_first, change.m_last, change.m_paragraphs);
    return std::move(change.m_edit);
}

std::vector<TextPicture::Range> TextPicture::pictureEdited(qsizetype at, qsizetype removed, QStringView typed)
{
    // The characters of the text the removed part of the picture stood for.
    const Located first = paragraphAtPicture(at);
    const Located last = paragraphAtPicture(at + removed);
    const Paragraph lastParagraph = m_paragraphs[last.index];
    const qsizetype from = first.textStart + (at - first.pictureStart);
    const qsizetype to = last.textStart + (at + removed - last.pictureStart);
    QString inserted;
    inserted.reserve(typed.size());
    std::vector<Paragraph> paragraphs;
    qsizetype length = at - first.pictureStart;
    for (const QChar c : typed) {
        if (c == Break) {
            inserted += QLatin1String("\r\n");
            paragraphs.push_back({length, 2});
            length = 0;
        } else {
            inserted += c;
            ++length;
        }
    }
    paragraphs.push_back(
        {length + last.pictureStart + lastParagraph.length - (at + removed), lastParagraph.breakAfter});

    m_text.replace(from, to - from, inserted);
    replaceParagraphs(first, last.index, paragraphs);

    // To lay out again, text unchanged: a CR and an LF that now stand
    // together, and a paragraph grown long.
    std::vector<Range> again;
    if (inserted.isEmpty() && from > 0 && from < m_text.size() && m_text.at(from - 1) == QLatin1Char('\r')
        && m_text.at(from) == QLatin1Char('\n'))
        again.push_back({from - 1, from + 1});
    qsizetype start = first.textStart;
    for (const Paragraph &p : paragraphs) {
        if (p.length > MaxParagraphLength)
            again.push_back({start, start + p.length});
        start += p.length + p.breakAfter;
    }
    return again;
}
