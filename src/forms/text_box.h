#pragma once

#include <QPlainTextEdit>

// A multi-line text box. Its text reads back with CR LF at every line break,
// as the conversation is kept and saved, and the caret position is counted
// in that text (CR LF being two characters). Appending is incremental: one
// arrival costs in proportion to the arrival, not to the conversation.
//
// A very long line is shown as several paragraphs of at most
// MaxParagraphLength characters, broken after a space where there is one near
// the limit, else anywhere: laying out one huge paragraph costs far more than
// in proportion to its length, and would stall the window. These breaks are
// for the eye only: the text, its length, the caret positions and what is
// copied never contain them.
class TextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxParagraphLength = 1000;

    explicit TextBox(QWidget *parent = nullptr);

    QString text() const;
    // Replaces the text in one change.
    void setText(const QString &text);
    // Adds text at the end in one change; CR LF, CR or LF start a new line.
    void appendText(const QString &text);

    // Length of text(), without building it.
    qsizetype textLength() const;
    qsizetype selStart() const;
    // Puts the caret at position (clamped) and scrolls it into view.
    void setSelStart(qsizetype position);

    // The length as accessible text counts it: every break, one character.
    int accessibleLength() const { return document()->characterCount() - 1; }

protected:
    QMimeData *createMimeDataFromSelection() const override;

private:
    void insertAtEnd(const QString &text);
    QString documentText() const;
    qsizetype softBreaks() const;
    // The position in text() of a position in the document.
    qsizetype textPosition(int documentPosition) const;

    // The text as it reads back, kept up to date by appendText and rebuilt
    // from the document after any other change, so that saving a long
    // conversation does not walk the whole document.
    mutable QString m_text;
    mutable bool m_textCurrent = true;
    // How many paragraphs continue the line before them; counted again after
    // any change other than our own.
    mutable qsizetype m_softBreaks = 0;
    mutable bool m_softBreaksCurrent = true;
    bool m_changing = false;
};
