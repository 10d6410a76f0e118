#include "common/settingsstore.h"

#include "common/apppaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <memory>

using namespace Qt::StringLiterals;

namespace Global {

namespace {

std::unique_ptr<QSettings> openStore(const QString &appName)
{
    const QString app = appName.trimmed();
    const QString dir = qEnvironmentVariable("LUMO_CONFIG_DIR");
    if (!dir.isEmpty())
        return std::make_unique<QSettings>(dir + u'/' + app + u".conf"_s, QSettings::IniFormat);
    return std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::UserScope, u"LumoClass"_s, app);
}

std::unique_ptr<QSettings> openMachineStore()
{
    const QString file = qEnvironmentVariable("LUMO_MACHINE_SETTINGS");
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::SystemScope, u"LumoClass"_s, u"LumoClass"_s);
}

QString storedKey(const QString &section, const QString &key)
{
    return EscapeSettingsKey(section) + u'/' + EscapeSettingsKey(key);
}

} // namespace

QString EscapeSettingsKey(const QString &key)
{
    QString out;
    out.reserve(key.size());
    for (const QChar c : key) {
        switch (c.unicode()) {
        case u'%': out += u"%25"_s; break;
        case u'/': out += u"%2F"_s; break;
        case u'\\': out += u"%5C"_s; break;
        default: out += c;
        }
    }
    return out;
}

QString UnescapeSettingsKey(const QString &stored)
{
    QString out;
    out.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] == u'%' && i + 2 < stored.size()) {
            const QStringView code = QStringView(stored).mid(i + 1, 2);
            if (code.compare(u"25", Qt::CaseInsensitive) == 0) {
                out += u'%';
                i += 2;
                continue;
            }
            if (code.compare(u"2F", Qt::CaseInsensitive) == 0) {
                out += u'/';
                i += 2;
                continue;
            }
            if (code.compare(u"5C", Qt::CaseInsensitive) == 0) {
                out += u'\\';
                i += 2;
                continue;
            }
        }
        out += stored[i];
    }
    return out;
}

QString GetSetting(
    const QString &appName, const QString &section, const QString &key, const QString &defaultValue)
{
    const auto store = openStore(appName);
    const QVariant value = store->value(storedKey(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

void SaveSetting(
    const QString &appName, const QString &section, const QString &key, const QString &value)
{
    const auto store = openStore(appName);
    store->setValue(storedKey(section, key), value);
}

void DeleteSetting(const QString &appName, const QString &section, const QString &key)
{
    const auto store = openStore(appName);
    if (key.isEmpty())
        store->remove(EscapeSettingsKey(section));
    else
        store->remove(storedKey(section, key));
}

QList<QPair<QString, QString>> GetAllSettings(const QString &appName, const QString &section)
{
    const auto store = openStore(appName);
    store->beginGroup(EscapeSettingsKey(section));
    QList<QPair<QString, QString>> entries;
    const QStringList keys = store->childKeys();
    entries.reserve(keys.size());
    for (const QString &stored : keys)
        entries.append({UnescapeSettingsKey(stored), store->value(stored).toString()});
    store->endGroup();
    return entries;
}

ServerSettings LoadServerSettings(const QString &appName)
{
    const QString app = appName.trimmed();
    return {GetSetting(app, u"Options"_s, u"CampusServerIP"_s, DefaultCampusServerIP),
        GetSetting(app, u"Options"_s, u"CampusServerPort"_s, DefaultCampusServerPort),
        GetSetting(app, u"Options"_s, u"gChatPort"_s, DefaultChatPort)};
}

void SaveServerSettings(const QString &appName, const ServerSettings &settings)
{
    const QString app = appName.trimmed();
    SaveSetting(app, u"Options"_s, u"CampusServerIP"_s, settings.CampusServerIP);
    SaveSetting(app, u"Options"_s, u"CampusServerPort"_s, settings.CampusServerPort);
    SaveSetting(app, u"Options"_s, u"gChatPort"_s, settings.gChatPort);
}

void SaveCoursePath(const QString &path, const QString &appName)
{
    SaveSetting(appName.trimmed(), u"Http"_s, u"SavePath"_s, WithTrailingSeparator(path));
}

QString CourseListKey(const QString &webHost, const QString &campusFolder, const QString &fileName)
{
    return u"http://"_s + webHost + u"/CampusDir/"_s + campusFolder + u'/' + fileName;
}

void SaveCourseListEntry(const QString &webHost, const QString &campusFolder,
    const QString &fileName, const QString &value, const QString &appName)
{
    SaveSetting(
        appName.trimmed(), u"List"_s, CourseListKey(webHost, campusFolder, fileName), value);
}

int GetCourseState(const QString &listKey, const QString &currentFileName, const QString &appName)
{
    if (currentFileName.isEmpty())
        return 0;
    // Only a plain file name can name a file of the course folder.
    if (!currentFileName.contains(u'/') && currentFileName != u".."_s
        && QFileInfo(CourseFolder() + currentFileName).isFile())
        return 2;
    return GetSetting(appName.trimmed(), u"List"_s, listKey).isEmpty() ? 0 : 1;
}

void SetShowFlag(const QString &appName)
{
    SaveSetting(appName.trimmed(), u"Http"_s, u"IsShow"_s, u"True"_s);
}

QString ReadFirstRun()
{
    return openMachineStore()->value(u"FirstRun"_s).toString();
}

void WriteFirstRun(const QString &value)
{
    openMachineStore()->setValue(u"FirstRun"_s, value);
}

} // namespace Global
