#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

// A stand-in for the conference application: serves org.velmora.Conference1
// on the session bus, prints what the chat window sends and emits what the
// developer types.
class ConferenceStandin : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velmora.Conference1")
    Q_PROPERTY(qint16 ReceivingAudio READ receivingAudio)

public:
    static constexpr const char *EchoCallSign = "PY9ECO";

    explicit ConferenceStandin(bool echo, QObject *parent = nullptr);

    qint16 receivingAudio() const { return m_receivingAudio; }
    void setReceivingAudio(qint16 value) { m_receivingAudio = value; }

    // One line typed by the developer: a command or a chat text to emit.
    void handleInputLine(const QString &line);
    void startDemo();

public slots:
    Q_SCRIPTABLE void SendChatText(const QString &text);

signals:
    Q_SCRIPTABLE void ChatTextReceived(const QString &stexto);

private:
    void playNextDemoLine();

    bool m_echo;
    qint16 m_receivingAudio = 0;
    QTimer m_demoTimer;
    QTimer m_demoAudioOff;
    int m_demoStep = 0;
};
