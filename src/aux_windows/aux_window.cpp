#include "aux_windows/aux_window.h"

#include "forms/form_style.h"

#include <QVBoxLayout>

AuxWindow::AuxWindow() : QDialog(nullptr)
{
    setWindowModality(Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setFont(FormStyle::defaultFont());
}

void AuxWindow::showModal()
{
    if (m_form)
        return;
    m_form = new QWidget(this);
    layout()->addWidget(m_form);
    Form_Load(m_form);
    FormStyle::centreOnScreen(this);
    exec();
    // Unloaded: the controls go with it and are built again at the next load.
    delete m_form;
    m_form = nullptr;
}

void AuxWindow::Unload()
{
    done(QDialog::Accepted);
}
