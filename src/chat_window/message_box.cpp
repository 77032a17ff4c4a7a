#include "message_box.h"

namespace MessageBox {
namespace {

void present(const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, QStringLiteral("Velmora"), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

Presenter &currentPresenter()
{
    static Presenter presenter = present;
    return presenter;
}

} // namespace

void show(const QString &text, QMessageBox::Icon icon)
{
    currentPresenter()(text, icon);
}

void setPresenter(Presenter presenter)
{
    currentPresenter() = std::move(presenter);
}

void restoreDefaultPresenter()
{
    currentPresenter() = present;
}

} // namespace MessageBox
