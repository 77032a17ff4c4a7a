#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// Message boxes with one OK button and the application's title, "Velmora".
// (Named after the classic call, not after Win32's MessageBox macro, which
// would rename it wherever <windows.h> is seen.)
namespace MsgBox {

using Presenter = std::function<void(const QString &text, QMessageBox::Icon icon)>;

// Shows the box and returns when the user has pressed OK.
void show(const QString &text, QMessageBox::Icon icon = QMessageBox::NoIcon);

// Tests swap the presenter to see the boxes without anybody pressing OK.
void setPresenter(Presenter presenter);
void restoreDefaultPresenter();

} // namespace MsgBox
