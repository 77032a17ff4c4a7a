#include "chat_window/velmora.h"
#include "conference_link/conference_link.h"
#include "forms/msg_box.h"
#include "forms/program.h"
#include "forms/qt_portuguese.h"
#include "runtime/ending_watch.h"
#include "runtime/handler.h"

#ifdef Q_OS_WIN
#include "windows/clipboard.h"
#endif

#include <QApplication>
#include <QIcon>
#include <QSessionManager>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // No display name: the platform would append it to every title bar,
    // and the windows' captions are theirs alone.
    app.setApplicationName(QString::fromLatin1(Program::Name));
    app.setWindowIcon(QIcon(QString::fromLatin1(Program::IconPath)));
    installQtPortuguese();

    // The error report: a message box, then the end.
    Handler::setReporter([](ErrorNumber number, const QString &description) {
        MsgBox::show(Handler::reportText(number, description), QMessageBox::Critical);
        Handler::endProgram();
    });
    Handler::catchEscapes();
    // Endings nobody chose keep what was not saved, as the error report does;
    // so does the session manager's warning that the session is ending.
    EndingWatch endings;
#if QT_CONFIG(sessionmanager)
    QObject::connect(&app, &QGuiApplication::commitDataRequest, [] { Handler::keepUnsavedNow(); });
#endif

    // Loading the window creates the conference link; when that fails the
    // error report ends the process before any window is shown.
    auto window = velmora::start();
    if (!window)
        return 1;
    const int status = app.exec();
#ifdef Q_OS_WIN
    // The link goes (its last calls bounded), then the process ends, its
    // windows with it: neither an application that stopped answering (COM's
    // own clean-up would call on it) nor the windows' teardown (under Wine
    // with no window manager, two seconds for each) is waited for.
    window->Echo.reset();
    keepWindowsClipboard();
    std::fflush(nullptr);
    std::_Exit(status);
#else
    window.reset();
    return status;
#endif
}
