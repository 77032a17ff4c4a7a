#pragma once

#include "forms/picture_document.h"
#include "forms/text_picture.h"

#include <QPlainTextEdit>

#include <utility>

// A multi-line text box that keeps its text exactly as it came. The text is
// the model; the document on screen is only its picture (TextPicture says
// how, PictureDocument keeps the two in step): every line break of the text
// reads back as the characters it was, and a very long line is shown as
// several paragraphs, breaks for the eye only, so that no text of any length
// stalls the box. The text, its length, caret positions and what is copied
// count the text as it came. An edit by the user changes exactly the
// characters it touched, wherever the breaks for the eye fall; whatever is
// pasted or dropped is laid out the same way as an arrival. The box itself is
// the caret, the clipboard, drops, keys and what a screen reader hears.
class TextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    // What the box copies for Velmora's own boxes: its text exactly (UTF-16,
    // the line ends as they are), beside the plain text for other programs.
    static constexpr const char *ExactTextMime = "application/x-velmora-exact-text";
    static constexpr qsizetype MaxParagraphLength = TextPicture::MaxParagraphLength;
    // A text whose picture is longer is shown this much at a time, a turn of
    // the event loop each, after the first (its text is all there at once).
    static constexpr qsizetype ShownAtOnce = PictureDocument::ShownAtOnce;

    explicit TextBox(QWidget *parent = nullptr);

    QString text() const { return m_document->picture().text(); }
    qsizetype textLength() const { return m_document->picture().text().size(); }
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
    qsizetype textPosition(qsizetype documentPosition) const
    {
        return m_document->picture().textPosition(documentPosition);
    }
    qsizetype documentPosition(qsizetype textPosition) const
    {
        return m_document->picture().picturePosition(textPosition);
    }
    // What source holds: Velmora's exact copy where there is one, else its plain text.
    static QString textOf(const QMimeData *source);
    // Lays out [from, to) of the text again, later: the text stays, its picture is mended.
    void layOutLater(qsizetype from, qsizetype to);

    PictureDocument *m_document;
    // The caret is owed a move to the end.
    bool m_caretAtEnd = false;
    bool m_scrollingToEnd = false;
    // Where the caret (anchor, position) stays while text is added at the end.
    std::pair<int, int> m_heldCaret{-1, -1};
};
