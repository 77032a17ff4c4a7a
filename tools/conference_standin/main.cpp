// conference-standin: a stand-in conference application on the session bus.
#include "conference_adaptor.h"
#include "conference_link/conference_bus.h"
#include "conference_standin.h"
#include "stdin_reader.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("conference-standin"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Stand-in conference application. Prints every sent text; every line read from standard input is emitted "
        "as ChatTextReceived. Commands: /audio on, /audio off, /audio N, /audio texto (from then on the audio "
        "state is answered as a string, against the contract), /stall SECONDS (answers nothing for that long), "
        "/refuse busy|gone|TEXT (answers the next send with that error), /quit."));
    parser.addHelpOption();
    const QCommandLineOption echo(QStringLiteral("echo"), QStringLiteral("Relay every sent text back to the chat."));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Play a small scripted conversation, over and over."));
    parser.addOptions({echo, demo});
    parser.process(app);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "conference-standin: não há barramento de sessão D-Bus (%s)\n",
                     qPrintable(bus.lastError().message()));
        return 2;
    }

    ConferenceStandin standin(bus, parser.isSet(echo));
    new ConferenceAdaptor(&standin); // owned by standin
    if (!standin.publish()) {
        std::fprintf(stderr, "conference-standin: não foi possível publicar o objeto: %s\n",
                     qPrintable(bus.lastError().message()));
        return 2;
    }
    const auto reply = bus.interface()->registerService(QString::fromLatin1(ConferenceBus::Service),
                                                        QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        std::fprintf(stderr,
                     "conference-standin: o nome %s já tem dono no barramento de sessão; outra conferência está em "
                     "execução\n",
                     ConferenceBus::Service);
        return 3;
    }

    StdinReader input;
    QObject::connect(&input, &StdinReader::lineRead, &standin, &ConferenceStandin::handleInputLine);
    if (parser.isSet(demo))
        standin.startDemo();
    return app.exec();
}
