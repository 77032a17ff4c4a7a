#pragma once

#include "forms/text_picture.h"

#include <QObject>

class QPlainTextEdit;

// A text box's document kept in step with the text it shows (a TextPicture),
// both ways. An edit of the text is written into the document, no more than
// differs; a picture longer than ShownAtOnce characters is shown a part a
// turn of the event loop after the first (its text is all there at once, and
// showing it is no change of the text). An edit the user makes in the
// document (typing, a cut, a paste Qt makes itself) is taken into the text,
// exactly the characters it touched.
class PictureDocument : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype ShownAtOnce = 65536;

    // Keeps box's document; the box says "textChanged" as the text changes.
    explicit PictureDocument(QPlainTextEdit *box);

    const TextPicture &picture() const { return m_picture; }
    // Replaces the text's characters [from, to) with text.
    void replace(qsizetype from, qsizetype to, const QString &text);
    // Whether all of the picture is in the document; shows the rest now.
    bool allShown() const { return m_unshown.isEmpty(); }
    void showAll() { showMore(true); }

signals:
    // The document is being written by replace: whatever keeps a caret still
    // puts it back now, before the box looks at it.
    void writing();
    // The last part of a long picture is in the document.
    void shownWhole();
    // The text's characters [from, to) want laying out again (an edit in the
    // document left a paragraph too long, or a CR beside an LF): the box
    // replaces them with themselves later, keeping its caret.
    void layOutAgain(qsizetype from, qsizetype to);

private:
    // Puts the next part (or, with all, the rest) of the picture not yet shown into the document.
    void showMore(bool all = false);
    // Brings the text up to date with a change made in the document.
    void documentChanged(int position, int removed, int added);

    QPlainTextEdit *m_box;
    TextPicture m_picture;
    // The end of the picture not yet in the document.
    QString m_unshown;
    bool m_changing = false;
};
