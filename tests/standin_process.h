#pragma once

#include <QProcess>
#include <QStringList>

// The stand-in conference application, started for a test on the test's
// private session bus.
class StandinProcess
{
public:
    explicit StandinProcess(const QStringList &arguments = {});
    ~StandinProcess();

    // Starts it and waits (bounded) until it owns the conference's bus name.
    bool start();
    void feed(const QString &line);
    // Every line it printed so far: the texts the window sent.
    QStringList sentLines();
    // Waits (bounded) until it has printed at least count lines.
    bool waitForSentLines(int count);
    void kill();
    QProcess &process() { return m_process; }

private:
    QStringList m_arguments;
    QProcess m_process;
    QByteArray m_output;
};

// Polls until the conference's bus name has an owner, or has none.
bool waitForConferenceOwner(bool owned, int timeoutMs = 5000);
