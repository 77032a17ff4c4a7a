#pragma once

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class OperatorActivity;
class QLabel;
class WindowsScreenReaders;

// Tells a screen reader what it is given, wherever the focus is (in any of
// the program's windows, or in another program's), in speech and in braille:
// an invisible child whose accessible role is a notification. With Qt 6.8
// and later it sends an announcement; before, a label inside it holds the
// text and it is shown for each one (a screen reader tells a notification as
// it appears, and puts its labels on the braille line). On Windows the
// announcement goes through the screen reader's own interface (NVDA's or
// JAWS's), heard whatever window is in front, and where none takes it, as a
// UI Automation notification.
//
// Arrivals that come close together are told together once they pause (a
// screen reader drops what comes in the middle of a flood of events): the
// newest few, each cut short, and how many came before them, so that a flood
// does not read for minutes. While the operator types in any of the
// program's windows an arrival waits for a pause in the typing, however long
// it has waited (a short one after Enter): a screen reader stops speaking at
// every key, and the text would be cut off. Moving through the conversation
// to read it is not typing.
class Announcer : public QWidget
{
    Q_OBJECT

public:
    // A text is told once no other has come for this long; texts that came
    // together, once none has come for longer (a screen reader still busy
    // with the flood of their display's events would drop it); at the latest
    // this long after the first of them, unless the operator is typing.
    static constexpr int QuietMs = 150;
    static constexpr int QuietAfterManyMs = 1200;
    static constexpr int LongestWaitMs = 4000;
    // The operator has paused typing once no key has come for this long.
    static constexpr int TypingPauseMs = 1000;
    // At most this many texts in one announcement, each cut at this length
    // (a text told alone is told whole).
    static constexpr int MaxTexts = 3;
    static constexpr int MaxSummarisedLength = 300;

    // Told of the operator's typing by activity.
    Announcer(QWidget *parent, OperatorActivity *activity);
    ~Announcer() override;

    // An arrival: told with the others that come with it, when the operator
    // is not typing.
    void announce(const QString &text);
    // Asked for by the operator: told at once, on its own.
    void announceNow(const QString &text);
    // How a text is spoken: a blank one as such, in words.
    static QString spoken(const QString &text);

private:
    void typed(bool sent);
    // How long an arrival must still wait for the operator's typing to pause.
    int pauseLeftMs() const;
    void schedule();
    void tellWaiting();
    void tell(const QString &text);
    // Through the platform's accessibility events.
    void tellOnPlatform(const QString &text);

    QStringList m_waiting;
    QTimer m_quiet;
    QElapsedTimer m_waitingSince;
    // Since the operator's last key in any of the program's windows (invalid
    // when not typing: never, or Enter sent what was typed).
    QElapsedTimer m_lastKey;
    // The last key was Enter, which sent what was typed.
    bool m_sent = false;
    QLabel *m_label = nullptr;
#ifdef Q_OS_WIN
    WindowsScreenReaders *m_screenReaders = nullptr;
#endif
};
