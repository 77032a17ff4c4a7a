#include "chat_window/velmora.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // No display name: the platform would append it to every title bar,
    // and the windows' captions are theirs alone.
    app.setApplicationName(QStringLiteral("Velmora"));
    app.setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));

    // Loading the window creates the conference link; when that fails the
    // error report ends the process before any window is shown.
    const auto window = velmora::start();
    if (!window)
        return 1;
    return app.exec();
}
