// velmora-wine-bridge: the conference application in a Wine prefix, served
// on the session bus as the conference Velmora talks to.
//   velmora-wine-bridge [--prefix DIR] [-- COMMAND ARGS...]
// With a command, runs it once the bridge serves (or has failed, so that the
// command, Velmora, shows its own report) and ends with it, returning its
// exit status.
#include "conference_adaptor.h"
#include "wine_bridge.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <memory>

namespace {

// conference-bridge.exe: VELMORA_CONFERENCE_BRIDGE, else beside an installed
// program (../lib/velmora), else beside this one (the build tree).
QString bridgeExe()
{
    const QString chosen = qEnvironmentVariable("VELMORA_CONFERENCE_BRIDGE");
    if (!chosen.isEmpty())
        return chosen;
    const QDir here(QCoreApplication::applicationDirPath());
    const QString installed = here.absoluteFilePath(QStringLiteral("../lib/velmora/conference-bridge.exe"));
    return QFileInfo::exists(installed) ? QDir::cleanPath(installed)
                                        : here.absoluteFilePath(QStringLiteral("conference-bridge.exe"));
}

void say(const QString &text)
{
    std::fprintf(stderr, "velmora-wine-bridge: %s\n", qPrintable(text));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("velmora-wine-bridge"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Serve o aplicativo de conferência que roda no Wine como a conferência do Velmora no barramento de sessão. "
        "Depois de --, o comando a executar quando a ponte estiver pronta (por exemplo velmora); a ponte termina "
        "com ele e devolve o seu código de saída."));
    parser.addHelpOption();
    const QCommandLineOption prefix(QStringLiteral("prefix"),
                                    QStringLiteral("O prefixo do Wine (por omissão WINEPREFIX, ou o do Wine)."),
                                    QStringLiteral("DIR"));
    parser.addOption(prefix);
    parser.addPositionalArgument(QStringLiteral("comando"), QStringLiteral("O comando e os seus argumentos."),
                                 QStringLiteral("[-- comando argumentos...]"));
    parser.process(app);
    const QStringList command = parser.positionalArguments();

    const QString exe = bridgeExe();
    if (!QFileInfo::exists(exe)) {
        say(QStringLiteral("%1 não foi encontrado").arg(exe));
        return 1;
    }
    auto bridge = std::make_unique<WineBridge>(QStringLiteral("wine"), exe, parser.value(prefix));
    new ConferenceAdaptor(bridge.get()); // owned by the bridge

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.setInputChannelMode(QProcess::ForwardedInputChannel);
    const auto runCommand = [&] {
        if (command.isEmpty() || child.state() != QProcess::NotRunning)
            return;
        QObject::connect(&child, &QProcess::finished, &app, [&](int status, QProcess::ExitStatus how) {
            bridge.reset(); // gives up the name and ends the Windows side
            app.exit(how == QProcess::NormalExit ? status : 1);
        });
        QObject::connect(&child, &QProcess::errorOccurred, &app, [&](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart) {
                say(QStringLiteral("não foi possível executar %1").arg(command.first()));
                bridge.reset();
                app.exit(127);
            }
        });
        child.start(command.first(), command.mid(1));
    };
    QObject::connect(bridge.get(), &WineBridge::serving, &app, [&] {
        if (command.isEmpty())
            say(QStringLiteral("pronta: a conferência do Wine atende no barramento de sessão"));
        runCommand();
    });
    QObject::connect(bridge.get(), &WineBridge::failed, &app, [&](const QString &why) {
        say(why);
        if (command.isEmpty())
            app.exit(1);
        else
            runCommand();
    });
    QObject::connect(bridge.get(), &WineBridge::ended, &app, [&](const QString &why) {
        say(why);
        if (command.isEmpty() || child.state() == QProcess::NotRunning)
            app.exit(1);
    });
    bridge->start();
    const int status = app.exec();
    if (child.state() != QProcess::NotRunning) {
        child.terminate();
        child.waitForFinished(5000);
    }
    return status;
}
