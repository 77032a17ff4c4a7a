#pragma once

#include <QCoreApplication>
#include <QDialog>

#include <utility>

// A window shown modally from the chat window. It exists once; each showing
// loads it, building its controls afresh, and it is unloaded by its
// "Retornar" button or its title bar. While it is open the chat window takes
// no input, but its timer and conference events go on.
class AuxWindow : public QDialog
{
    Q_OBJECT

public:
    // Loads the window, shows it centred and modal with no owner, and returns
    // once it has been unloaded.
    void showModal();
    void Unload();
    bool isLoaded() const { return m_form != nullptr; }

protected:
    AuxWindow();
    // The window's single instance (its default instance), made on first use
    // and gone with the application.
    template <typename Window>
    static Window &single()
    {
        static Window *window = nullptr;
        if (!window) {
            window = new Window;
            qAddPostRoutine([] { delete std::exchange(window, nullptr); });
        }
        return *window;
    }

    // Builds the controls into form, a fresh widget filling the window.
    virtual void Form_Load(QWidget *form) = 0;

private:
    QWidget *m_form = nullptr;
};
