#pragma once

#include <QPlainTextEdit>

#include <utility>

#include <vector>

// A multi-line text box that keeps its text exactly as it came. The text is
// the model; the document on screen is only its picture:
// - every line break of the text (CR LF, a lone CR or LF, and the other
//   characters a document takes as a paragraph break) is shown as a line
//   break and reads back as the characters it was;
// - a very long line is shown as several paragraphs of at most
//   MaxParagraphLength characters, broken after a space where there is one
//   near the limit, else between two characters a reader sees as separate
//   (never inside a letter with its accents, a surrogate pair or a flag):
//   laying out one huge paragraph costs far more than in proportion to its
//   length and would stall the window. These breaks are for the eye only.
// The text, its length, caret positions and what is copied count the text as
// it came. An edit by the user changes exactly the characters it touched,
// wherever the breaks for the eye fall; whatever is pasted or dropped is laid
// out the same way as an arrival, so no text of any length stalls the box.
class TextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxParagraphLength = 1000;
    // A text whose picture is longer is shown this much at a time, a turn of
    // the event loop each, after the first (its text is all there at once).
    static constexpr qsizetype ShownAtOnce = 65536;

    explicit TextBox(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    qsizetype textLength() const { return m_text.size(); }
    // Replaces the text in one change.
    void setText(const QString &text);
    // Adds text at the end in one change; with the focus in the box, the
    // caret stays where it was.
    void appendText(const QString &text);
    // Replaces the characters [from, to) of the text with text, in one change.
    void replaceText(qsizetype from, qsizetype to, const QString &text);

    qsizetype selStart() const;
    // Shows the end of the text, the caret where it is.
    void scrollToEnd();
    // Puts the caret at the end and shows it. Without the focus, the caret
    // goes there when the box takes the focus: a screen reader is not told
    // of every move of a caret nobody is using (a flood of arrivals would
    // drown what it has to say).
    void followEnd();
    // Puts the caret at position (clamped) and scrolls it into view.
    void setSelStart(qsizetype position);


protected:
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;
    void dropEvent(QDropEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    // One paragraph of the document: its length, and how many characters of
    // the text the break after it stands for (0 for a break for the eye).
    struct Paragraph {
        qsizetype length;
        qsizetype breakAfter;
    };
    struct Located {
        size_t index;
        qsizetype documentStart;
        qsizetype textStart;
    };
    struct Layout {
        QString picture;
        std::vector<Paragraph> paragraphs;
    };

    static Layout layOut(const QString &text, qsizetype lastBreak);
    Located paragraphAtDocument(qsizetype position) const;
    Located paragraphAtText(qsizetype position) const;
    qsizetype textPosition(qsizetype documentPosition) const;
    qsizetype documentPosition(qsizetype textPosition) const;
    qsizetype documentLength() const;
    // The document's characters [from, to) as the kept text says they are.
    QString picture(qsizetype from, qsizetype to) const;
    void replaceParagraphs(const Located &first, size_t last, const std::vector<Paragraph> &paragraphs);
    // Brings the kept text up to date with a change the user made in the document.
    void documentChanged(int position, int removed, int added);
    // Lays out [from, to) of the text again, later: the text stays, its picture is mended.
    void tidyLater(qsizetype from, qsizetype to);
    // Puts the next part (or, with all, the rest) of the picture not yet shown into the document.
    void showMore(bool all = false);

    QString m_text;
    // The end of the picture not yet in the document.
    QString m_unshown;
    std::vector<Paragraph> m_paragraphs{{0, 0}};
    // Where the last paragraph starts, so that arrivals at the end cost nothing per line.
    Located m_last{0, 0, 0};
    bool m_changing = false;
    // The caret is owed a move to the end.
    bool m_caretAtEnd = false;
    bool m_scrollingToEnd = false;
    // Where the caret (anchor, position) stays while text is added at the end.
    std::pair<int, int> m_heldCaret{-1, -1};
};
