#pragma once

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

// Tells a screen reader what it is given, as a notification, wherever the
// focus is (in any of the program's windows, or in another program's): an
// invisible child whose accessible role is a notification and whose name is
// the announcement, shown for each one. Texts that come close together are
// told together once they pause (a screen reader drops what comes in the
// middle of a flood of events), the newest few and how many came before them,
// so that a flood does not read for minutes. On Windows the announcement is
// also raised as a UI Automation notification, queued after any before it.
class Announcer : public QWidget
{
    Q_OBJECT

public:
    // A text is told once no other has come for this long; texts that came
    // together, once none has come for longer (a screen reader still busy
    // with the flood of their display's events would drop it); at the latest
    // this long after the first of them.
    static constexpr int QuietMs = 150;
    static constexpr int QuietAfterManyMs = 1200;
    static constexpr int LongestWaitMs = 4000;
    // At most this many texts in one announcement.
    static constexpr int MaxTexts = 3;

    explicit Announcer(QWidget *parent);

    void announce(const QString &text);
    // What is being told now (the accessible name).
    const QString &current() const { return m_current; }

private:
    void tell();

    QStringList m_waiting;
    QString m_current;
    QTimer m_quiet;
    QElapsedTimer m_waitingSince;
};
