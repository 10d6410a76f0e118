#include "client/shell/startoptions.h"

#include <QDir>
#include <QHostAddress>

namespace {

// The command line speaks English whatever the interface's language, as
// the options themselves do.
QString message(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

bool SplitHostPort(const QString &text, QString &host, QString &port)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0 || colon == text.size() - 1)
        return false;
    const QString portText = text.mid(colon + 1);
    bool ok = false;
    const int number = portText.toInt(&ok);
    if (!ok || number < 1 || number > 65535 || portText.startsWith(u'+'))
        return false;
    host = text.left(colon);
    port = QString::number(number);
    return true;
}

QString StartOptionsHelp()
{
    return message("Usage: LumoStudent [options]\n"
                   "  --campus HOST:PORT   this run uses this campus server\n"
                   "  --web HOST:PORT      this run uses this web host (account pages, help)\n"
                   "  --user CODE          student code; with --password logs in at start\n"
                   "  --password WORD      password for --user\n"
                   "  --enter COURSE       enters the booked course of this number once the\n"
                   "                       booking dialog is up\n"
                   "  --data DIR           settings, courseware and log under DIR\n"
                   "  --screenshots DIR    saves a picture of the windows at each stage\n"
                   "  --login-dialog       opens the login dialog at start, filled with\n"
                   "                       --user and --password, and waits for OK\n"
                   "  --auto               answers every message box with its default button\n"
                   "                       (unattended runs); events are printed as JSON lines\n"
                   "  --local-address IP   connections to the servers go out from this local\n"
                   "                       address (the address a private talk announces)\n"
                   "  --commands           reads commands from standard input, one a line:\n"
                   "                       picture NAME, notes, users, say [to=ID] WORDS,\n"
                   "                       mic (the microphone button), hand (the raise-hand\n"
                   "                       button), answer yes|no|ok (the answer bar),\n"
                   "                       disconnect (the toolbar's DisConnect button),\n"
                   "                       talk ID (asks ID for a private talk), endtalk [ID]\n"
                   "                       (ends the private talk), controls (which class\n"
                   "                       controls can be used); buttons are clicked with\n"
                   "                       the mouse at their place, menu entries chosen in\n"
                   "                       the user list's right-click menu\n"
                   "  --help               shows this text\n");
}

StartOptions ParseStartOptions(const QStringList &arguments)
{
    StartOptions options;
    auto valueOf = [&](qsizetype &i, QString &into) {
        if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QLatin1String("--"))) {
            options.error = message("%1 needs a value").arg(arguments.at(i));
            return false;
        }
        into = arguments.at(++i);
        return true;
    };
    for (qsizetype i = 1; i < arguments.size() && options.error.isEmpty(); ++i) {
        const QString &arg = arguments.at(i);
        QString value;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.showHelp = true;
        } else if (arg == QLatin1String("--auto")) {
            options.autoAnswer = true;
        } else if (arg == QLatin1String("--commands")) {
            options.commands = true;
        } else if (arg == QLatin1String("--login-dialog")) {
            options.loginDialogOnly = true;
        } else if (arg == QLatin1String("--campus")) {
            if (valueOf(i, value) && !SplitHostPort(value, options.campusHost, options.campusPort))
                options.error = message("--campus wants HOST:PORT, not \"%1\"").arg(value);
        } else if (arg == QLatin1String("--web")) {
            QString host, port;
            if (valueOf(i, value)) {
                if (SplitHostPort(value, host, port))
                    options.webHost = host + u':' + port;
                else
                    options.error = message("--web wants HOST:PORT, not \"%1\"").arg(value);
            }
        } else if (arg == QLatin1String("--user")) {
            valueOf(i, options.user);
        } else if (arg == QLatin1String("--password")) {
            valueOf(i, options.password);
        } else if (arg == QLatin1String("--enter")) {
            valueOf(i, options.enterCourse);
        } else if (arg == QLatin1String("--data")) {
            valueOf(i, options.dataDir);
        } else if (arg == QLatin1String("--screenshots")) {
            valueOf(i, options.screenshotDir);
        } else if (arg == QLatin1String("--local-address")) {
            if (valueOf(i, value)) {
                if (QHostAddress(value).isNull())
                    options.error
                        = message("--local-address wants an IP address, not \"%1\"").arg(value);
                else
                    options.localAddress = value;
            }
        } else {
            options.error = message("unknown option \"%1\"").arg(arg);
        }
    }
    if (options.error.isEmpty() && !options.loginDialogOnly
        && options.password.isEmpty() != options.user.isEmpty())
        options.error = message("--user and --password go together");
    return options;
}

bool UseDataFolder(const QString &dir)
{
    QDir root(dir);
    if (!root.mkpath(QStringLiteral(".")))
        return false;
    const QString base = root.absolutePath();
    qputenv("LUMO_DATA_DIR", base.toLocal8Bit());
    qputenv("LUMO_CONFIG_DIR", (base + QStringLiteral("/config")).toLocal8Bit());
    qputenv("LUMO_ERROR_LOG", (base + QStringLiteral("/LumoClass.log")).toLocal8Bit());
    qputenv("LUMO_MACHINE_SETTINGS", (base + QStringLiteral("/machine.conf")).toLocal8Bit());
    return true;
}
