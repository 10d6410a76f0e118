#include "companion/clientwatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <csignal>

using namespace Qt::StringLiterals;

ClientWatch::ClientWatch(QObject *parent)
    : QObject(parent)
    , m_pid(qEnvironmentVariableIntValue("LUMO_CLIENT_PID"))
    , m_clientPath(QCoreApplication::applicationDirPath() + u"/LumoStudent"_s)
{
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!clientRuns()) {
            m_timer.stop();
            Q_EMIT clientEnded();
        }
    });
}

void ClientWatch::start(int intervalMs)
{
    m_timer.start(intervalMs);
}

bool ClientWatch::clientRuns() const
{
    if (m_pid > 0)
        return ::kill(pid_t(m_pid), 0) == 0 || errno == EPERM;
    const QString wanted = QFileInfo(m_clientPath).canonicalFilePath();
    if (wanted.isEmpty())
        return false;
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool numeric = false;
        entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        const QString exe = QFileInfo(u"/proc/"_s + entry + u"/exe"_s).symLinkTarget();
        if (exe == wanted)
            return true;
    }
    return false;
}
