#pragma once

#include "chat_window/velmora.h"
#include "conference_link/conference_link.h"
#include "standin_process.h"

#include <QList>
#include <QStringList>

#include <memory>

// A chat window on a fresh stand-in conference, with the error report and
// the message boxes captured instead of shown.
class ChatSession
{
public:
    struct Report {
        int number;
        QString description;
    };

    ChatSession();
    ~ChatSession();

    // Starts the stand-in and shows an active chat window on it.
    bool open(const QStringList &standinArguments = {});

    velmora *window() const { return m_window.get(); }
    StandinProcess &standin() { return *m_standin; }

    QList<Report> reports;
    QStringList messages;

private:
    std::unique_ptr<StandinProcess> m_standin;
    std::unique_ptr<velmora> m_window;
};

// Types text as a keyboard would, one character at a time, accents included.
void typeText(QWidget *widget, const QString &text);

// The link's answer to one question about the receive-audio state: the value,
// or the number of the error it failed with (and whether that was busy).
struct AudioAnswer {
    qint16 value = 0;
    int error = 0;
    bool busy = false;
    bool answered = false;
};
// Asks, and waits (bounded) for the answer.
AudioAnswer askAudio(ConferenceLink &link);
// Waits (bounded) until the conference reports value, asked on a link of the
// test's own, so that the window's lamp hears nothing of it.
bool waitForConferenceAudio(qint16 value);
// One tick of the window's lamp timer, and its answer waited for.
AudioAnswer tick(velmora *window);
