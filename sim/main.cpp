// lumo-classroom-sim: the local campus, classroom, voice relay and web
// environment. Prints its ports as the first line of standard output, then
// one JSON line per happening; reads teacher commands from standard input.
#include "sim/core/simconsole.h"
#include "sim/core/simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

void printLine(const QJsonObject &object)
{
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}

quint16 portOption(const QCommandLineParser &parser, const QString &name, bool &ok)
{
    if (!parser.isSet(name))
        return 0;
    const uint port = parser.value(name).toUInt(&ok);
    ok = ok && port <= 65535;
    return quint16(port);
}

} // namespace

int main(int argc, char **argv)
{
    // Qt's own UNIX event dispatcher: glib's rebuilds its poll records each
    // time a socket's write notifier is switched, and one note fanned out to
    // N students switches N of them, so the glib loop spends N² on it. Set
    // but empty, the variable brings glib back (for comparison).
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"lumo-classroom-sim"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Local campus, classroom, voice relay and web servers for tests and the demo."_s);
    parser.addHelpOption();
    parser.addOptions({
        {u"config"_s, u"Configuration file (default: the demo configuration)."_s, u"file"_s},
        {u"web-port"_s, u"Port of the web server (default: chosen by the system)."_s, u"port"_s},
        {u"campus-port"_s, u"Port of the campus server."_s, u"port"_s},
        {u"classroom-port"_s, u"TCP and UDP port of the first classroom."_s, u"port"_s},
        {u"script"_s, u"Teacher script for the first classroom instead of its own."_s, u"file"_s},
        {u"script-start"_s, u"When scripts start: ready (first student ready), now, never."_s,
            u"when"_s, u"ready"_s},
        {u"exit-after-script"_s, u"Quit once every script has finished."_s},
        {u"no-console"_s, u"Do not read commands from standard input."_s},
        {u"voice-loss"_s, u"Voice datagrams lost on the way to each listener, in %."_s,
            u"percent"_s, u"0"_s},
        {u"voice-jitter"_s, u"Voice datagrams held back 0 to this many ms, evenly spread."_s,
            u"ms"_s, u"0"_s},
        {u"voice-reorder"_s,
            u"Voice datagrams held back a further 40 ms so later ones overtake, in %."_s,
            u"percent"_s, u"0"_s},
        {u"voice-seed"_s, u"Seed of the voice impairments: the same seed, the same run."_s,
            u"number"_s, u"1"_s},
    });
    parser.process(app);

    QString configPath = parser.value(u"config"_s);
    if (configPath.isEmpty())
        configPath = QCoreApplication::applicationDirPath() + u"/demo/demo.json"_s;
    SimConfig config;
    QString error;
    if (!LoadSimConfig(configPath, config, error)) {
        std::fprintf(stderr, "lumo-classroom-sim: %s\n", qPrintable(error));
        return 2;
    }

    bool ok = true;
    Simulator::Options options;
    options.webPort = portOption(parser, u"web-port"_s, ok);
    options.campusPort = portOption(parser, u"campus-port"_s, ok);
    options.classroomPort = portOption(parser, u"classroom-port"_s, ok);
    if (parser.isSet(u"script"_s))
        options.scriptOverride = QFileInfo(parser.value(u"script"_s)).absoluteFilePath();
    const QString when = parser.value(u"script-start"_s);
    options.scriptStart = when == u"now"_s ? Simulator::ScriptStart::Now
        : when == u"never"_s               ? Simulator::ScriptStart::Never
                                           : Simulator::ScriptStart::FirstReady;
    const auto bounded = [&](const QString &name, int limit) {
        bool number = false;
        const int value = parser.value(name).toInt(&number);
        if (!number || value < 0 || value > limit)
            ok = false;
        return value;
    };
    options.voiceImpairment.lossPercent = bounded(u"voice-loss"_s, 100);
    options.voiceImpairment.jitterMs = bounded(u"voice-jitter"_s, 10000);
    options.voiceImpairment.reorderPercent = bounded(u"voice-reorder"_s, 100);
    options.voiceImpairment.seed = parser.value(u"voice-seed"_s).toUInt();
    if (!ok || (when != u"now"_s && when != u"never"_s && when != u"ready"_s)) {
        std::fprintf(stderr, "lumo-classroom-sim: bad port, --script-start or --voice-* value\n");
        return 2;
    }

    // Ports come first so a reader can start clients at once; log lines
    // follow only after them.
    bool started = false;
    QList<QJsonObject> early;
    Simulator simulator(config, options, [&](const QJsonObject &entry) {
        if (started)
            printLine(entry);
        else
            early.append(entry);
    });
    if (!simulator.start(error)) {
        std::fprintf(stderr, "lumo-classroom-sim: %s\n", qPrintable(error));
        return 1;
    }
    printLine(simulator.ports());
    started = true;
    for (const QJsonObject &entry : std::as_const(early))
        printLine(entry);

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(qintptr(signalPipe[1]), QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
            printLine({{u"sim"_s, u"stopping"_s}});
            QCoreApplication::quit();
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    SimConsole console(&simulator, printLine);
    QObject::connect(&console, &SimConsole::quitRequested, &app, &QCoreApplication::quit);
    if (!parser.isSet(u"no-console"_s))
        console.listen(STDIN_FILENO);
    if (parser.isSet(u"exit-after-script"_s)) {
        QObject::connect(&simulator, &Simulator::scriptsFinished, &app, [] {
            // A moment for the last frames to leave the sockets.
            QTimer::singleShot(500, QCoreApplication::instance(), &QCoreApplication::quit);
        });
    }
    return app.exec();
}
