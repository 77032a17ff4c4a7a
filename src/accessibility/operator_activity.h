#pragma once

#include <QObject>

// What the operator does at the keyboard in any of the program's windows (the
// Help and About windows and the message boxes too, where a window's own
// shortcuts would be blocked by their modality): the one application-wide
// watch on the keys, for all who need to know.
class OperatorActivity : public QObject
{
    Q_OBJECT

public:
    explicit OperatorActivity(QObject *parent);
    ~OperatorActivity() override;

signals:
    // A key that types: not a modifier alone, nor one that moves through the
    // conversation to read it. sent: it was Enter, which sent what was typed.
    void typed(bool sent);
    // Alt+0 … Alt+9, taken here (no window sees it): tell again what it keeps.
    void historyKey(int digit);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
