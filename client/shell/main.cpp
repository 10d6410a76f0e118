#include "client/session/sessionstate.h"
#include "client/shell/form1.h"
#include "client/shell/frmoptions.h"
#include "client/shell/startoptions.h"
#include "client/shell/wiring.h"
#include "common/desktop/messageboxprompter.h"
#include "common/settingsstore.h"

#include <QApplication>

#include <cstdio>
#include <memory>

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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("LumoStudent"));
    QApplication::setApplicationVersion(QStringLiteral(LUMO_VERSION));

    Global::MessageBoxPrompter prompter;
    Form1 form(prompter);
    prompter.setParentWidget(&form);

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

    WireUnits(form, options);
    form.Load();
    return app.exec();
}
