#pragma once

#include <QStringList>
#include <QTimer>
#include <QWidget>

// Tells a screen reader what it is given, as a notification, wherever the
// focus is (in any of the program's windows, or in another program's): an
// invisible child whose accessible role is a notification and whose name is
// the announcement, shown for each one. Texts given within a short moment of
// each other are told together, the newest few and how many came before them,
// so that a flood does not read for minutes. On Windows the announcement is
// also raised as a UI Automation notification, queued after any before it.
class Announcer : public QWidget
{
    Q_OBJECT

public:
    // Texts given within this long of the first are told together.
    static constexpr int GatherMs = 150;
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
    QTimer m_gather;
};
