#pragma once

#include "common/lumoglobal_export.h"

#include <QList>
#include <QPair>
#include <QString>

namespace Global {

// The student client's application name in the settings store.
inline const QString StudentAppName = QStringLiteral("DAZoraZuru");
// The teacher side's, chosen by the shared dialogs when the program kind is 0.
inline const QString TeacherAppName = QStringLiteral("DIDadozereveVidi");

// (application, section, key) -> text, on QSettings. The store of an
// application is $LUMO_CONFIG_DIR/<application>.conf when that variable is
// set, else the per-user QSettings file of organisation "LumoClass".
// Keys may be any text, URLs included: they pass through EscapeSettingsKey.
LUMOGLOBAL_EXPORT QString GetSetting(const QString &appName, const QString &section,
    const QString &key, const QString &defaultValue = {});
LUMOGLOBAL_EXPORT void SaveSetting(
    const QString &appName, const QString &section, const QString &key, const QString &value);
// Removes one key, or the whole section when `key` is empty.
LUMOGLOBAL_EXPORT void DeleteSetting(
    const QString &appName, const QString &section, const QString &key = {});
// Every (key, value) of a section, keys as they were saved.
LUMOGLOBAL_EXPORT QList<QPair<QString, QString>> GetAllSettings(
    const QString &appName, const QString &section);

// QSettings makes every "/" of a key a group separator and folds "//" into
// one, which would mangle the "List" keys (URLs). Every key goes through this
// pair, so the client and the companion program agree on the stored form.
LUMOGLOBAL_EXPORT QString EscapeSettingsKey(const QString &key);
LUMOGLOBAL_EXPORT QString UnescapeSettingsKey(const QString &stored);

// The three "Options" values held for the whole run.
struct ServerSettings {
    QString CampusServerIP;
    QString CampusServerPort;
    QString gChatPort;
};

inline const QString DefaultCampusServerIP = QStringLiteral("127.0.0.1");
inline const QString DefaultCampusServerPort = QStringLiteral("2000");
inline const QString DefaultChatPort = QStringLiteral("2001");

LUMOGLOBAL_EXPORT ServerSettings LoadServerSettings(const QString &appName);
LUMOGLOBAL_EXPORT void SaveServerSettings(const QString &appName, const ServerSettings &settings);

// Writes "Http"/"SavePath" with a trailing separator added when missing.
LUMOGLOBAL_EXPORT void SaveCoursePath(const QString &path, const QString &appName);

// "http://" + host + "/CampusDir/" + campus folder + "/" + file name.
LUMOGLOBAL_EXPORT QString CourseListKey(
    const QString &webHost, const QString &campusFolder, const QString &fileName);
LUMOGLOBAL_EXPORT void SaveCourseListEntry(const QString &webHost, const QString &campusFolder,
    const QString &fileName, const QString &value, const QString &appName);

// 0: no current courseware file name; 2: the file lies in the course folder;
// 1: the "List" key holds a value; else 0.
LUMOGLOBAL_EXPORT int GetCourseState(
    const QString &listKey, const QString &currentFileName, const QString &appName);

// "Http"/"IsShow" = "True".
LUMOGLOBAL_EXPORT void SetShowFlag(const QString &appName);

// The machine-wide first-run value ("True" or "False"): $LUMO_MACHINE_SETTINGS
// names its file when set, else the system-wide QSettings of "LumoClass".
LUMOGLOBAL_EXPORT QString ReadFirstRun();
LUMOGLOBAL_EXPORT void WriteFirstRun(const QString &value);

} // namespace Global
