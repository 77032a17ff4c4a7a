#pragma once

#include "runtime/call_limit.h"

#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <deque>

// The conference application under Wine, served on the session bus: runs
// conference-bridge.exe in a Wine prefix, and once the application's object
// exists there, owns the conference's name and relays the calls and events
// of its D-Bus interface (through the adaptor generated from its
// description) over the bridge protocol, in order and every text exactly.
class WineBridge : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_PROPERTY(qint16 ReceivingAudio READ receivingAudio)

public:
    // Every call is answered within this, busy when the application has not
    // answered by then (the caller gives up at its call limit).
    static constexpr int AnswerLimitMs = BridgeAnswerLimitMs;
    // Wine's start, a new prefix's set-up included, and the object's creation.
    static constexpr int StartLimitMs = 180000;

    // wine: the Wine program; exe: conference-bridge.exe; prefix: the Wine
    // prefix, or empty for WINEPREFIX or Wine's default.
    WineBridge(QString wine, QString exe, QString prefix, QObject *parent = nullptr);
    ~WineBridge() override;

    void start();

    // The state last read from the application; reading it asks for a fresh
    // one (a property cannot be answered later, as a call can).
    qint16 receivingAudio();

public slots:
    void SendChatText(const QString &text);

signals:
    void ChatTextReceived(const QString &stexto);
    // The name is owned: the conference can be used.
    void serving();
    // The bridge cannot serve (why, in Portuguese); it owns no name.
    void failed(const QString &why);
    // The application or the Wine side has gone; the name is given up.
    void ended(const QString &why);

private:
    struct Request {
        quint64 serial;
        QDBusMessage call; // a D-Bus call to answer, or none (the audio state asked for)
        bool answered = false;
    };

    void ask(const QByteArray &line, const QDBusMessage &call);
    void readOutput();
    void handleLine(const QByteArray &line);
    void handleAnswer(const QByteArray &word, const QByteArray &rest);
    void answerBusy(quint64 serial);
    void startServing();
    void fail(const QString &why);
    void end(const QString &why);

    QString m_wine;
    QString m_exe;
    QString m_prefix;
    QProcess m_process;
    QByteArray m_output;
    QTimer m_startLimit;
    std::deque<Request> m_requests;
    quint64 m_nextSerial = 0;
    bool m_started = false; // "ready" came
    bool m_serving = false;
    bool m_over = false;
    bool m_audioAsked = false;
    qint16 m_audio = 0;
};
