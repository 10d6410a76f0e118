// castagent: the client's companion downloader. Started by the client from
// the program folder with no arguments; fetches the courseware files listed
// in the client's settings into the courseware folder, one instance at a
// time, and ends when the client ends.
#include "common/apppaths.h"
#include "common/settingsstore.h"
#include "companion/agent.h"
#include "companion/clientwatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QLockFile>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"castagent"_s);

    QDir().mkpath(Global::DataFolder());
    QLockFile lock(Global::DataFolder() + u"/castagent.lock"_s);
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return 0; // another companion is at work

    const int passMs = qEnvironmentVariableIsSet("LUMO_CASTAGENT_PASS_MS")
        ? qEnvironmentVariableIntValue("LUMO_CASTAGENT_PASS_MS")
        : 10000;
    Agent agent(Global::StudentAppName);
    ClientWatch watch;
    QObject::connect(&watch, &ClientWatch::clientEnded, &app, &QCoreApplication::quit);
    if (!watch.clientRuns())
        return 0;
    watch.start(qEnvironmentVariableIsSet("LUMO_CASTAGENT_WATCH_MS")
            ? qEnvironmentVariableIntValue("LUMO_CASTAGENT_WATCH_MS")
            : 2000);
    agent.start(passMs);
    return app.exec();
}
