#pragma once

#include "aux_windows/aux_window.h"

#include <QUrl>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

// The About window: title, version, credits, a free-software note, the
// animated tower, and the author's web address.
class sobre_velmora : public AuxWindow
{
    Q_OBJECT

public:
    static sobre_velmora &instance();

    // The author's web address.
    static QUrl address();

    // Hands an address to the desktop; what it answers is not looked at.
    using UrlOpener = std::function<void(const QUrl &, QWidget *window)>;
    static void setUrlOpener(UrlOpener opener);
    static void restoreDefaultUrlOpener();

    QLabel *AniGIF2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label4 = nullptr;
    QFrame *Line1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label3 = nullptr;
    QFrame *Line2 = nullptr;
    QLabel *Label6 = nullptr;
    QFrame *Line3 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *ret = nullptr;

    void Command1_Click();
    void ret_Click();

protected:
    void Form_Load(QWidget *form) override;

private:
    friend class AuxWindow; // makes the single instance
    sobre_velmora();
};
