#include "sim/core/simconfig.h"

#include "protocol/wire.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

using namespace Qt::StringLiterals;

const SimUser *SimConfig::userById(qint32 id) const
{
    for (const SimUser &user : users) {
        if (user.id == id)
            return &user;
    }
    return nullptr;
}

const SimUser *SimConfig::userByCode(const QString &code) const
{
    for (const SimUser &user : users) {
        if (user.code == code)
            return &user;
    }
    return nullptr;
}

const SimClassroom *SimConfig::classroom(const QString &name) const
{
    for (const SimClassroom &room : classrooms) {
        if (room.name == name)
            return &room;
    }
    return nullptr;
}

QString SimConfig::resolve(const QString &path) const
{
    if (path.isEmpty())
        return {};
    return QDir::cleanPath(QDir(baseFolder).absoluteFilePath(path));
}

namespace {

qint32 positiveId(const QJsonValue &value)
{
    const qint64 id = value.toInteger(0);
    return (id > 0 && id <= 0x7fffffff) ? qint32(id) : 0;
}

bool readUsers(const QJsonArray &array, SimConfig &config, QString &error)
{
    QSet<qint32> ids;
    QSet<QString> codes;
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        SimUser user;
        user.id = positiveId(object.value(u"id"_s));
        user.code = object.value(u"code"_s).toString().trimmed();
        user.password = object.value(u"password"_s).toString();
        user.nick = object.value(u"nick"_s).toString(user.code);
        const qint64 type = object.value(u"type"_s).toInteger(1);
        user.scripted = object.value(u"scripted"_s).toBool(false);
        if (user.id == 0) {
            error = u"user \"%1\": \"id\" must be a number from 1 to 2147483647"_s.arg(user.code);
            return false;
        }
        if (type != 1 && type != 2) {
            error = u"user %1: \"type\" must be 1 (student) or 2 (teacher)"_s.arg(user.id);
            return false;
        }
        user.type = quint8(type);
        if (ids.contains(user.id) || (!user.code.isEmpty() && codes.contains(user.code))) {
            error = u"user %1 (\"%2\") is listed twice"_s.arg(user.id).arg(user.code);
            return false;
        }
        // The classroom login carries at most 16 password bytes and the
        // roster 16 name bytes; longer values could never match or show.
        if (Wire::nonZeroUtf16Bytes(user.password).size() > 16) {
            error = u"user %1: the password is longer than the login's 16 bytes"_s.arg(user.id);
            return false;
        }
        if (Wire::narrowBytes(user.nick).size() > 16) {
            error = u"user %1: the nick is longer than the roster's 16 bytes"_s.arg(user.id);
            return false;
        }
        ids.insert(user.id);
        if (!user.code.isEmpty())
            codes.insert(user.code);
        config.users.append(user);
    }
    return true;
}

bool readCategories(const QJsonArray &array, SimConfig &config, QString &error)
{
    QSet<qint32> ids;
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        SimCategory category;
        category.id = positiveId(object.value(u"id"_s));
        category.name = object.value(u"name"_s).toString();
        category.text = object.value(u"text"_s).toString();
        category.webHost = object.value(u"webHost"_s).toString();
        category.firstWord = object.value(u"firstWord"_s).toString();
        category.secondWord = object.value(u"secondWord"_s).toString();
        if (category.id == 0 || ids.contains(category.id)) {
            error = u"category \"%1\": \"id\" is missing or used twice"_s.arg(category.name);
            return false;
        }
        ids.insert(category.id);
        config.categories.append(category);
    }
    return true;
}

bool readClassrooms(const QJsonArray &array, SimConfig &config, QString &error)
{
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        SimClassroom room;
        room.name = object.value(u"name"_s).toString();
        room.teacher = positiveId(object.value(u"teacher"_s));
        for (const QJsonValue &member : object.value(u"members"_s).toArray())
            room.members.append(positiveId(member));
        room.script = object.value(u"script"_s).toString();
        room.floor = object.value(u"floor"_s).toString(room.floor);
        const qint64 status = object.value(u"initialStatus"_s).toInteger(room.initialStatus);
        room.bundleEvery
            = int(qBound(qint64(0), object.value(u"bundleEvery"_s).toInteger(0), qint64(1000)));
        if (room.name.isEmpty() || config.classroom(room.name)) {
            error = u"a classroom has no name or its name is used twice"_s;
            return false;
        }
        if (room.floor != u"auto"_s && room.floor != u"teacher"_s) {
            error = u"classroom %1: \"floor\" must be \"auto\" or \"teacher\""_s.arg(room.name);
            return false;
        }
        if (status < 0 || status > 255) {
            error = u"classroom %1: \"initialStatus\" must be a byte"_s.arg(room.name);
            return false;
        }
        room.initialStatus = quint8(status);
        QList<qint32> played = room.members;
        if (room.teacher != 0)
            played.prepend(room.teacher);
        for (const qint32 id : played) {
            const SimUser *user = config.userById(id);
            if (!user || !user->scripted) {
                error = u"classroom %1: member %2 is not a scripted user"_s.arg(room.name).arg(id);
                return false;
            }
        }
        if (room.teacher != 0 && config.userById(room.teacher)->type != 2) {
            error = u"classroom %1: the teacher %2 is not of type 2"_s.arg(room.name).arg(
                room.teacher);
            return false;
        }
        config.classrooms.append(room);
    }
    return true;
}

bool readCourses(const QJsonArray &array, SimConfig &config, QString &error)
{
    QSet<qint32> ids;
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        SimCourse course;
        course.id = positiveId(object.value(u"id"_s));
        course.category = positiveId(object.value(u"category"_s));
        course.file = object.value(u"file"_s).toString();
        course.teacher = object.value(u"teacher"_s).toString();
        course.classTime = object.value(u"classTime"_s).toString();
        course.description = object.value(u"description"_s).toString();
        course.classroom = object.value(u"classroom"_s).toString();
        for (const QJsonValue &code : object.value(u"booked"_s).toArray())
            course.booked.append(code.toString());
        if (course.id == 0 || ids.contains(course.id)) {
            error = u"a course has no \"id\" or its id is used twice"_s;
            return false;
        }
        ids.insert(course.id);
        bool knownCategory = false;
        for (const SimCategory &category : config.categories)
            knownCategory = knownCategory || category.id == course.category;
        if (!knownCategory) {
            error = u"course %1: category %2 is not listed"_s.arg(course.id).arg(course.category);
            return false;
        }
        if (course.classroom.isEmpty() && !config.classrooms.isEmpty())
            course.classroom = config.classrooms.first().name;
        if (!config.classroom(course.classroom)) {
            error = u"course %1: classroom \"%2\" is not listed"_s.arg(course.id).arg(
                course.classroom);
            return false;
        }
        // The file name travels in the course record and becomes part of a
        // URL and a local path: a folder part would escape the folders.
        if (course.file.isEmpty() || course.file.contains(u'/') || course.file.contains(u'\\')
            || course.file.startsWith(u'.')) {
            error = u"course %1: \"file\" must be a plain file name"_s.arg(course.id);
            return false;
        }
        for (const QString &code : std::as_const(course.booked)) {
            if (!config.userByCode(code)) {
                error = u"course %1: booked by unknown student \"%2\""_s.arg(course.id).arg(code);
                return false;
            }
        }
        config.courses.append(course);
    }
    return true;
}

} // namespace

bool ParseSimConfig(
    const QByteArray &json, const QString &baseFolder, SimConfig &config, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        error = parseError.error != QJsonParseError::NoError
            ? u"not valid JSON: %1 at offset %2"_s.arg(parseError.errorString())
                  .arg(parseError.offset)
            : u"the configuration must be a JSON object"_s;
        return false;
    }
    const QJsonObject root = document.object();
    SimConfig read;
    read.baseFolder = baseFolder;
    read.campusAddress = root.value(u"campusAddress"_s).toString(read.campusAddress);
    read.courseFolder = read.resolve(root.value(u"courseFolder"_s).toString(u"courses"_s));
    read.pagesFolder = read.resolve(root.value(u"pagesFolder"_s).toString(u"pages"_s));
    if (!readUsers(root.value(u"users"_s).toArray(), read, error)
        || !readCategories(root.value(u"categories"_s).toArray(), read, error)
        || !readClassrooms(root.value(u"classrooms"_s).toArray(), read, error)
        || !readCourses(root.value(u"courses"_s).toArray(), read, error))
        return false;
    if (read.classrooms.isEmpty()) {
        error = u"at least one classroom is needed"_s;
        return false;
    }
    config = read;
    return true;
}

bool LoadSimConfig(const QString &path, SimConfig &config, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"cannot read %1: %2"_s.arg(path, file.errorString());
        return false;
    }
    return ParseSimConfig(file.readAll(), QFileInfo(path).absolutePath(), config, error);
}
