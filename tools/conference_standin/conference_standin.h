#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QTimer>

// A stand-in for the conference application: serves the conference's D-Bus
// interface (through the adaptor generated from its description), prints
// what the chat window sends and emits what the developer types.
class ConferenceStandin : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_PROPERTY(qint16 ReceivingAudio READ receivingAudio)

public:
    static constexpr const char *EchoCallSign = "PY9ECO";

    explicit ConferenceStandin(bool echo, QObject *parent = nullptr);

    qint16 receivingAudio() const { return m_receivingAudio; }

    // One line typed by the developer: a command or a chat text to emit.
    void handleInputLine(const QString &line);
    void startDemo();

public slots:
    void SendChatText(const QString &text);

signals:
    void ChatTextReceived(const QString &stexto);

private:
    void playNextDemoLine();

    bool m_echo;
    // The error the next send is answered with ("/refuse"), or none.
    QString m_refusalName;
    QString m_refusalText;
    qint16 m_receivingAudio = 0;
    QTimer m_demoTimer;
    QTimer m_demoAudioOff;
    int m_demoStep = 0;
};
