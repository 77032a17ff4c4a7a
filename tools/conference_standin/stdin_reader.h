#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

// Reads standard input without blocking the event loop and hands out whole
// UTF-8 lines. At the end of input it simply stops reading.
class StdinReader : public QObject
{
    Q_OBJECT

public:
    explicit StdinReader(QObject *parent = nullptr);

signals:
    void lineRead(const QString &line);

private:
    void readAvailable();

    QSocketNotifier m_notifier;
    QByteArray m_pending;
};
