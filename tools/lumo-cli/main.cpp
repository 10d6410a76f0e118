// lumo-cli: talks to a campus or classroom server from the command line.
#include "tools/lumo-cli/clisession.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"lumo-cli"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Connects to a campus or classroom server. Each event is printed as one JSON line; "
        "each line read is one JSON command, for example "
        "{\"call\":\"SendNoteMessage\",\"FromID\":7,\"ToID\":0,\"Message\":\"hi\"} or "
        "{\"set\":\"bEnabled\",\"value\":false}. Ends when input has ended and the "
        "connection is closed."_s);
    parser.addHelpOption();
    const QCommandLineOption host(u"host"_s, u"Server address."_s, u"H"_s);
    const QCommandLineOption port(u"port"_s, u"Server port."_s, u"P"_s);
    const QCommandLineOption id(u"id"_s, u"The user number (MyID)."_s, u"N"_s);
    const QCommandLineOption password(u"password"_s, u"The password."_s, u"W"_s);
    const QCommandLineOption campus(u"campus"_s, u"Log in to a campus server."_s);
    parser.addOptions({host, port, id, password, campus});
    parser.process(app);

    CliOptions options;
    options.host = parser.value(host);
    options.port = parser.value(port);
    if (options.host.isEmpty() || options.port.isEmpty()) {
        std::fputs("lumo-cli: --host and --port are required\n", stderr);
        return 2;
    }
    if (parser.isSet(id)) {
        bool ok = false;
        options.id = parser.value(id).toInt(&ok);
        if (!ok || options.id < 0) {
            std::fputs("lumo-cli: --id takes a user number\n", stderr);
            return 2;
        }
        options.hasId = true;
    }
    options.password = parser.value(password);
    options.campus = parser.isSet(campus);

    CliSession session(options);
    QObject::connect(&session, &CliSession::finished, &app, &QCoreApplication::exit);
    session.start();
    return app.exec();
}
