#pragma once

#include <QStringList>
#include <QWidget>

#include <memory>

#include "forms/animated_picture.h"

class Announcer;
class AppError;
class TextBox;
class WindowCover;
class ConferenceLink;
class LampShape;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// The chat window: the program's start-up window.
class velmora : public QWidget
{
    Q_OBJECT

public:
    // Loads the window (its controls and Form_Load) and shows it centred.
    // Returns null when the load failed and the error report let the process
    // go on, which only a test's reporter does.
    static std::unique_ptr<velmora> start();

    velmora();
    ~velmora() override;

    bool isLoaded() const { return Echo != nullptr; }

    // The controls, named as on the form.
    QPushButton *Command1;
    QLabel *Label9;
    QGroupBox *Frame1;
    QGroupBox *Frame4;
    QPushButton *ler;
    QPushButton *gravar;
    QPushButton *sobre;
    QFrame *Picture1;
    AnimatedPicture *AniGIF1;
    QLabel *Label11;
    QPushButton *Command3;
    TextBox *Text1;
    QGroupBox *Frame2;
    QLineEdit *Text2;
    QPushButton *Command2;
    QPushButton *Command4;
    QPushButton *Command5;
    QLabel *Image1;
    LampShape *Shape1;
    QTimer *Timer1;

    // The conference link, owned by the window for its whole life.
    std::unique_ptr<ConferenceLink> Echo;

    // Handlers, named after their control and event.
    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Text2_KeyPress(int &KeyAscii);
    void Command4_Click();
    void Command5_Click();
    void Echo_ChatTextReceived(const QString &stexto);
    void Text1_Change();
    void Timer1_Timer();
    void Echo_ReceivingAudio(qint16 value);
    void Echo_ReceivingAudioFailed(const AppError &error);
    void gravar_Click();
    void ler_Click();
    void Command3_Click();
    void sobre_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    void updateAnimation();
    static bool ExisteArquivo(const QString &Arquivo);
    // Sends the input; false when the application was busy (the text stays).
    bool sendInput();
    // Says that the application is busy, once the keys and clicks that waited
    // with the call have been taken (shown at once, the message box would take
    // them instead, and what was typed meanwhile would be lost).
    void tellBusy();
    // What the failure model keeps before the program ends through the error
    // report: what was received or typed and not yet saved, put in a recovery
    // file beside chat.txt; returns the sentence for the report.
    QString keepUnsaved();

    // Alt+1 ... Alt+9 tell again the 1st ... 9th most recent received text,
    // Alt+0 the lamp's state.
    void tellAgain(int key);

    // The conversation has changed since it was last saved or loaded.
    bool m_unsaved = false;
    // Tells each arrival to a screen reader, wherever the focus is.
    Announcer *m_announcer = nullptr;
    // The most recent received texts, newest first.
    QStringList m_recent;
    // The recovery file written as the program ends, once there is one.
    QString m_recoveryName;
    // Whether the window is wholly covered (watched from the first show on).
    WindowCover *m_cover = nullptr;
};
