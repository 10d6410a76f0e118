#include "common/apppaths.h"

#include <QCoreApplication>
#include <QDir>

using namespace Qt::StringLiterals;

namespace Global {

QString ApplicationFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString DataFolder()
{
    const QString overridden = qEnvironmentVariable("LUMO_DATA_DIR");
    if (!overridden.isEmpty())
        return QDir::cleanPath(overridden);
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        dataHome = QDir::homePath() + u"/.local/share"_s;
    return QDir::cleanPath(dataHome + u"/LumoClass"_s);
}

QString WithTrailingSeparator(const QString &path)
{
    if (path.endsWith(u'/'))
        return path;
    return path + u'/';
}

QString CourseFolder()
{
    return WithTrailingSeparator(DataFolder() + u"/Course"_s);
}

QString TempFolder()
{
    return WithTrailingSeparator(DataFolder() + u"/temp"_s);
}

} // namespace Global
