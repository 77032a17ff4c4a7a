#include "forms/msg_box.h"

#include "forms/program.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QShortcut>

namespace MsgBox {
namespace {

void present(const QString &text, QMessageBox::Icon icon)
{
    QMessageBox box(icon, QString::fromLatin1(Program::Name), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    // Ctrl+C copies the message, on every platform, so that an operator can
    // paste an error report into a mail.
    QShortcut copy(QKeySequence::Copy, &box);
    QObject::connect(&copy, &QShortcut::activated, &box, [text] { QGuiApplication::clipboard()->setText(text); });
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

} // namespace MsgBox
