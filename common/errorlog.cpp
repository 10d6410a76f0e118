#include "common/errorlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace Global {

QString ErrorLogPath()
{
    const QString overridden = qEnvironmentVariable("LUMO_ERROR_LOG");
    if (!overridden.isEmpty())
        return overridden;
    QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (stateHome.isEmpty())
        stateHome = QDir::homePath() + u"/.local/state"_s;
    return stateHome + u"/LumoClass/LumoClass.log"_s;
}

QByteArray FormatErrorLogEntry(
    const QString &module, const QString &procedure, const QString &description, int line)
{
    const QString text = module + u"\r\n"_s + procedure + u"\r\n"_s + description + u"\r\n"_s
        + u"Line: "_s + QString::number(line) + u"\r\n"_s + u"\r\n"_s;
    return text.toUtf8();
}

void WriteErrorLog(
    const QString &module, const QString &procedure, const QString &description, int line)
{
    // A log that cannot be written is not reported: the log is where reports go.
    const QString path = ErrorLogPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    file.write(FormatErrorLogEntry(module, procedure, description, line));
}

} // namespace Global
