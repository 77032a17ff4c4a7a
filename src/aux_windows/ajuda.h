#pragma once

#include "aux_windows/aux_window.h"

class QLabel;
class QPushButton;
class TextBox;

// The Help window: a fixed help text under a large title, and "Retornar".
class Ajuda : public AuxWindow
{
    Q_OBJECT

public:
    // The window's single instance, created on first use.
    static Ajuda &instance();

    // The help text, six lines each ended by CR LF, with the double and trailing
    // spaces it was typed with: it is shown exactly, never reflowed.
    static QString helpText();

    // The controls of the current load (null while unloaded).
    QPushButton *Command1 = nullptr;
    TextBox *Text1 = nullptr;
    QLabel *Label1 = nullptr;

    void Command1_Click();

protected:
    void Form_Load(QWidget *form) override;

private:
    friend class AuxWindow; // makes the single instance
    Ajuda();
};
