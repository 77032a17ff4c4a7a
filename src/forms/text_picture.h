#pragma once

#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

// A text kept exactly as it came, and its picture: what a document shows of
// it, paragraph by paragraph (Qt Core alone, so that it can be tested on its
// own).
// - Every line break of the text (CR LF, a lone CR or LF, and the other
//   characters a document takes as a paragraph break) is a paragraph break
//   of the picture, and reads back as the characters it was.
// - A very long line is shown as several paragraphs of at most
//   MaxParagraphLength characters, broken after a space where there is one
//   near the limit, else between two characters a reader sees as separate
//   (never inside a letter with its accents, a surrogate pair or a flag):
//   laying out one huge paragraph costs far more than in proportion to its
//   length. These breaks are for the eye only: the text has none.
// Positions are counted in the text or in the picture, and mapped both ways.
class TextPicture
{
    // One paragraph of the picture: its length, and how many characters of
    // the text the break after it stands for (0 for a break for the eye).
    struct Paragraph {
        qsizetype length;
        qsizetype breakAfter;
    };
    struct Located {
        size_t index;
        qsizetype pictureStart;
        qsizetype textStart;
    };
    struct Layout {
        QString picture;
        std::vector<Paragraph> paragraphs;
    };

public:
    static constexpr qsizetype MaxParagraphLength = 1000;
    // The paragraph break of the picture (what a document's text holds between paragraphs).
    static constexpr QChar Break = QChar::ParagraphSeparator;

    // What changes in the picture: its characters [from, to) become picture.
    struct Edit {
        qsizetype from;
        qsizetype to;
        QString picture;
    };
    // A range [from, to) of the text.
    using Range = std::pair<qsizetype, qsizetype>;

    const QString &text() const { return m_text; }
    qsizetype pictureLength() const;
    // The picture's characters [from, to), the breaks as Break.
    QString picture(qsizetype from, qsizetype to) const;

    // Where a position of the picture is in the text (a break for the eye
    // stands at the text position of the character after it), and back.
    qsizetype textPosition(qsizetype picturePosition) const;
    qsizetype picturePosition(qsizetype textPosition) const;
    // Whether the picture's paragraph index ends with a break for the eye.
    bool brokenForTheEye(qsizetype paragraph) const;
    qsizetype paragraphCount() const { return qsizetype(m_paragraphs.size()); }

    // A replacement of the text worked out, not yet made: what it changes in
    // the picture (in the picture as it is before) is known first.
    class Change
    {
    public:
        const Edit &edit() const { return m_edit; }

    private:
        friend class TextPicture;
        Edit m_edit;
        qsizetype m_from = 0;
        qsizetype m_to = 0;
        QString m_inserted;
        Located m_first{0, 0, 0};
        size_t m_last = 0;
        std::vector<Paragraph> m_paragraphs;
    };

    // Replaces the text's characters [from, to) with text; the paragraphs it
    // touches are laid out again whole, so that their breaks for the eye fall
    // as if the text had come at once. What changes in the picture is no more
    // than differs.
    Change prepare(qsizetype from, qsizetype to, const QString &text) const;
    Edit commit(Change change);
    Edit replace(qsizetype from, qsizetype to, const QString &text) { return commit(prepare(from, to, text)); }

    // The picture's characters [at, at + removed) were replaced by typed (its
    // breaks as Break) in the document: the text follows, changing exactly the
    // characters touched; a break typed is CR LF, as the conversation's own.
    // Returns the ranges of the text to lay out again (replace them with
    // themselves), as the edit may have left a paragraph too long or a CR
    // beside an LF: the picture shows what was typed until then.
    std::vector<Range> pictureEdited(qsizetype at, qsizetype removed, QStringView typed);

private:
    static Layout layOut(const QString &text, qsizetype lastBreak);
    Located paragraphAtPicture(qsizetype position) const;
    Located paragraphAtText(qsizetype position) const;
    void replaceParagraphs(const Located &first, size_t last, const std::vector<Paragraph> &paragraphs);

    QString m_text;
    std::vector<Paragraph> m_paragraphs{{0, 0}};
    // Where the last paragraph starts, so that arrivals at the end cost nothing per line.
    Located m_last{0, 0, 0};
};
