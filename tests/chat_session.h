#pragma once

#include "chat_window/velmora.h"
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
