#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusVirtualObject>
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

    // Serves the interface (its adaptor made by the caller) on bus.
    ConferenceStandin(const QDBusConnection &bus, bool echo, QObject *parent = nullptr);
    // Publishes the object; false when it cannot.
    bool publish();

    qint16 receivingAudio() const { return m_receivingAudio; }

    // One line typed by the developer: a command or a chat text to emit.
    void handleInputLine(const QString &line);
    void startDemo();

public slots:
    void SendChatText(const QString &text);

signals:
    void ChatTextReceived(const QString &stexto);

private:
    // From "/audio texto" on, a conference that breaks the contract: the
    // receive-audio state is answered as a string. Its object is then served
    // by hand, its chat texts sent as signals by hand too.
    class AudioAsText : public QDBusVirtualObject
    {
    public:
        explicit AudioAsText(ConferenceStandin &standin) : m_standin(standin) {}
        QString introspect(const QString &) const override { return QString(); }
        bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

    private:
        ConferenceStandin &m_standin;
    };

    void playNextDemoLine();
    void chat(const QString &text);
    void sent(const QString &text);

    QDBusConnection m_bus;
    bool m_echo;
    AudioAsText m_audioAsText{*this};
    bool m_breakingContract = false;
    // The error the next send is answered with ("/refuse"), or none.
    QString m_refusalName;
    QString m_refusalText;
    qint16 m_receivingAudio = 0;
    QTimer m_demoTimer;
    QTimer m_demoAudioOff;
    int m_demoStep = 0;
};
