#include "client/campus/campusroad.h"
#include "client/classroom/live/classentry.h"
#include "client/classroom/live/liveclass.h"
#include "client/session/sessionstate.h"
#include "client/session/studentsession.h"
#include "client/shell/form1.h"
#include "client/shell/frmoptions.h"
#include "client/shell/runreporter.h"
#include "client/shell/scriptcommands.h"
#include "client/shell/shellstyle.h"
#include "client/shell/startoptions.h"
#include "client/shell/statuspanels.h"
#include "client/shell/wiring.h"
#include "common/desktop/chinesefonts.h"
#include "common/desktop/messageboxprompter.h"
#include "common/desktop/translations.h"
#include "common/settingsstore.h"
#include "protocol/clsremotesync.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QMetaEnum>

#include <cctype>
#include <cstdio>
#include <memory>

#include <unistd.h>

namespace {

// A D-Bus address value: bytes outside the optionally-escaped set are
// written as %XX.
QByteArray DBusAddressValue(const QByteArray &raw)
{
    QByteArray out;
    for (const char c : raw) {
        if (std::isalnum(static_cast<unsigned char>(c)) || QByteArrayView("-_/.*").contains(c))
            out += c;
        else
            out += '%'
                + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
    }
    return out;
}

// With --data the libraries' own files follow the program's into the
// folder: Qt's and the GL driver's shader caches and the media framework's
// plugin registry (all under XDG_CACHE_HOME; the GL driver would otherwise
// take the home folder from the password database, whatever HOME says).
// Must run before the first library reads its environment, so before the
// application object exists. The session's runtime folder is left alone:
// the sound server and the display are found through it.
void KeepLibraryFilesIn(const QString &base)
{
    qputenv("XDG_CACHE_HOME", QFile::encodeName(base + QStringLiteral("/cache")));
    // The sound library writes a cookie when it finds none. A user's own
    // cookie may be what their sound server asks for: it is kept and read.
    const QString config = qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME")
        ? QDir::homePath() + QStringLiteral("/.config")
        : qEnvironmentVariable("XDG_CONFIG_HOME");
    if (qEnvironmentVariableIsEmpty("PULSE_COOKIE")
        && !QFile::exists(config + QStringLiteral("/pulse/cookie"))
        && !QFile::exists(QDir::homePath() + QStringLiteral("/.pulse-cookie")))
        qputenv("PULSE_COOKIE", QFile::encodeName(base + QStringLiteral("/pulse-cookie")));
    // Without a session bus, D-Bus would start one for this run: a daemon
    // that outlives the program and a file under the real home folder. An
    // address where nothing listens leaves the run without a bus instead
    // (it needs none: accessibility tools come with a session and its bus).
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS",
            "unix:path="
                + DBusAddressValue(QFile::encodeName(base + QStringLiteral("/no-session-bus"))));
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const StartOptions options = ParseStartOptions(arguments);
    if (options.showHelp || !options.error.isEmpty()) {
        if (!options.error.isEmpty())
            std::fprintf(stderr, "LumoStudent: %s\n", qPrintable(options.error));
        std::fputs(qPrintable(StartOptionsHelp()), options.showHelp ? stdout : stderr);
        return options.showHelp ? 0 : 2;
    }
    // Before anything reads a setting or writes to the log.
    if (!options.dataDir.isEmpty() && !UseDataFolder(options.dataDir)) {
        std::fprintf(stderr, "LumoStudent: cannot use %s\n", qPrintable(options.dataDir));
        return 2;
    }
    if (!options.dataDir.isEmpty())
        KeepLibraryFilesIn(QDir(options.dataDir).absolutePath());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("LumoStudent"));
    QApplication::setApplicationVersion(QStringLiteral(LUMO_VERSION));
    // The desktop pairs the windows with the installed menu entry (and its
    // icon) by this name.
    QApplication::setDesktopFileName(QStringLiteral("org.lumoclass.LumoStudent"));
    // Chinese text in Simplified-Chinese glyph forms whatever the locale;
    // the interface in the environment's language when it is translated.
    Global::InstallChineseFonts();
    Global::InstallTranslators();
    ShellStyle::Install();

    // Scripted runs print their events and save their pictures; an
    // unattended run answers every message box itself.
    const bool report = options.autoAnswer || options.commands || !options.screenshotDir.isEmpty();
    RunReporter reporter(report ? stdout : nullptr, options.screenshotDir);
    Global::MessageBoxPrompter boxes;
    ReportingPrompter prompter(options.autoAnswer ? nullptr : &boxes, &reporter);
    Form1 form(prompter);
    boxes.setParentWidget(&form);
    QObject::connect(form.StatusBar(), &StatusPanels::panelChanged, &reporter,
        [&reporter](int panel, const QString &text) {
            // Panel 1 is the connection, panel 2 the floor: both are
            // stages worth a picture of the lesson.
            if (panel == 1)
                reporter.stage(QStringLiteral("status"), text);
            else if (panel == 2)
                reporter.stage(QStringLiteral("floor"), text);
            else
                reporter.event(QStringLiteral("status"),
                    {{QStringLiteral("panel"), panel}, {QStringLiteral("text"), text}});
        });
    QObject::connect(&form, &Form1::loaded, &reporter,
        [&reporter] { reporter.stage(QStringLiteral("loaded")); });

    if (!options.campusHost.isEmpty() || !options.webHost.isEmpty()) {
        SessionState &session = form.session();
        session.Options = Global::LoadServerSettings(Global::StudentAppName);
        session.WebHost = Global::LoadWebHost(Global::StudentAppName);
        if (!options.campusHost.isEmpty()) {
            session.Options.CampusServerIP = options.campusHost;
            session.Options.CampusServerPort = options.campusPort;
        }
        if (!options.webHost.isEmpty())
            session.WebHost = options.webHost;
        session.bSettingsLoaded = true;
    }

    if (!options.localAddress.isEmpty())
        form.RemoteSync().setBindAddress(options.localAddress);
    const WiredUnits units = WireUnits(form, options);
    // Each step of class entry; the class entered is a stage of its own.
    QObject::connect(&units.live->entry(), &ClassLive::ClassEntry::stateChanged, &reporter,
        [&reporter](ClassLive::ClassEntry::State state) {
            const char *name
                = QMetaEnum::fromType<ClassLive::ClassEntry::State>().valueToKey(int(state));
            reporter.event(
                QStringLiteral("entry"), {{QStringLiteral("state"), QString::fromLatin1(name)}});
            if (state == ClassLive::ClassEntry::State::InClass)
                reporter.stage(QStringLiteral("in class"));
        });
    QObject::connect(units.road, &CampusRoad::classroomConnected, &reporter,
        [&reporter] { reporter.event(QStringLiteral("classroom-login"), {}); });
    // Where the session stands, and how a lost class comes back.
    QObject::connect(units.session, &StudentSession::stageChanged, &reporter,
        [&reporter](StudentSession::Stage stage) {
            reporter.event(QStringLiteral("session"),
                {{QStringLiteral("stage"), StudentSession::stageName(stage)}});
        });
    QObject::connect(units.session, &StudentSession::returned, &reporter, [&reporter](qint64 away) {
        reporter.event(QStringLiteral("returned"), {{QStringLiteral("awayMs"), away}});
    });
    ScriptCommands commands(form, reporter);
    if (options.commands)
        commands.listen(STDIN_FILENO);
    form.Load();
    return app.exec();
}
