#include "forms/picture_document.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

PictureDocument::PictureDocument(QPlainTextEdit *box) : QObject(box), m_box(box)
{
    connect(box->document(), &QTextDocument::contentsChange, this, &PictureDocument::documentChanged);
}

void PictureDocument::replace(qsizetype from, qsizetype to, const QString &text)
{
    const qsizetype shown = m_picture.pictureLength() - m_unshown.size();
    TextPicture::Change change = m_picture.prepare(from, to, text);
    if (change.edit().to > shown && change.edit().from < shown)
        showMore(true); // a change across the end of what is shown: all of it shown first

    // The text is brought up to date before the document changes: whoever
    // hears of the change may read it back at once.
    TextPicture::Edit edit = m_picture.commit(std::move(change));
    if (edit.from >= shown && !m_unshown.isEmpty()) {
        // All of it beyond what is shown yet: only the part to come changes.
        m_unshown.replace(edit.from - shown, edit.to - edit.from, edit.picture);
        emit m_box->textChanged();
        return;
    }
    if (edit.to == shown && edit.picture.size() > ShownAtOnce) {
        // A long picture reaching the end: the rest is shown in the next turns.
        qsizetype cut = edit.picture.lastIndexOf(TextPicture::Break, ShownAtOnce) + 1;
        if (cut <= 0)
            cut = ShownAtOnce;
        const bool showing = !m_unshown.isEmpty(); // already being shown, a part a turn
        QString rest = std::move(edit.picture);
        edit.picture = rest.left(cut);
        rest.remove(0, cut); // from the front of a string of its own: nothing copied
        m_unshown = showing ? rest + m_unshown : std::move(rest);
        if (!showing)
            QTimer::singleShot(0, this, [this] { showMore(); });
    }

    m_changing = true;
    QTextCursor cursor(m_box->document());
    cursor.beginEditBlock();
    cursor.setPosition(int(edit.from));
    cursor.setPosition(int(edit.to), QTextCursor::KeepAnchor);
    if (edit.picture.isEmpty())
        cursor.removeSelectedText();
    else
        cursor.insertText(edit.picture);
    cursor.endEditBlock();
    m_changing = false;
}

void PictureDocument::showMore(bool all)
{
    if (m_unshown.isEmpty())
        return;
    qsizetype cut = m_unshown.size();
    if (!all && cut > ShownAtOnce) {
        cut = m_unshown.lastIndexOf(TextPicture::Break, ShownAtOnce) + 1;
        if (cut <= 0)
            cut = ShownAtOnce;
    }
    const QString part = m_unshown.left(cut);
    m_unshown.remove(0, cut);
    // The text changed when the picture was made; showing it is no change.
    const bool blocked = m_box->blockSignals(true);
    m_changing = true;
    QTextCursor end(m_box->document());
    end.movePosition(QTextCursor::End);
    end.insertText(part);
    m_changing = false;
    m_box->blockSignals(blocked);
    if (!m_unshown.isEmpty()) {
        if (!all)
            QTimer::singleShot(0, this, [this] { showMore(); });
    } else {
        emit shownWhole();
    }
}

void PictureDocument::documentChanged(int position, int removed, int added)
{
    if (m_changing) {
        emit writing();
        return;
    }
    const qsizetype oldLength = m_picture.pictureLength() - m_unshown.size();
    const qsizetype newLength = m_box->document()->characterCount() - 1;
    qsizetype at = position;
    qsizetype gone = std::min<qsizetype>(removed, oldLength - at);
    qsizetype come = std::min<qsizetype>(added, newLength - at);
    if (at < 0 || gone < 0 || come < 0 || oldLength - gone + come != newLength) {
        at = 0;
        gone = oldLength;
        come = newLength;
    }
    // What really changed: the reported range may be wider than the edit.
    const QString before = m_picture.picture(at, at + gone);
    QTextCursor cursor(m_box->document());
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
    const QStringView typed = QStringView(after).mid(head, after.size() - head - tail);
    for (const auto &[from, to] : m_picture.pictureEdited(at + head, before.size() - head - tail, typed))
        emit layOutAgain(from, to);
}
