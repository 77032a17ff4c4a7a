#pragma once

#include <QPlainTextEdit>

// A multi-line text box. Its text reads back with CR LF at every line break,
// as the conversation is kept and saved, and the caret position is counted
// in that text (CR LF being two characters). Appending is incremental: one
// arrival costs in proportion to the arrival, not to the conversation.
class TextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TextBox(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    // Adds text at the end in one change; CR LF, CR or LF start a new line.
    void appendText(const QString &text);

    // Length of text(), without building it.
    qsizetype textLength() const;
    qsizetype selStart() const;
    // Puts the caret at position (clamped) and scrolls it into view.
    void setSelStart(qsizetype position);

private:
    QString documentText() const;

    // The text as it reads back, kept up to date by appendText and rebuilt
    // from the document after any other change, so that saving a long
    // conversation does not walk the whole document.
    mutable QString m_text;
    mutable bool m_textCurrent = true;
    bool m_appending = false;
};
