#include "protocol/messages.h"

namespace Messages {

Built note(qint32 FromID, qint32 ToID, const QString &Message)
{
    if (ToID == 0 || ToID == FromID)
        return {0, Wire::wideBytes(Message)};
    QByteArray payload;
    payload.reserve(4 + Message.size() * 2);
    Wire::appendInt32(payload, ToID);
    payload.append(Wire::wideBytes(Message));
    return {1, payload};
}

QByteArray whiteBoard(qint32 x1, qint32 y1, qint32 x2, qint32 y2, qint32 LineWidth, qint32 Color,
    const QString &strMark, qint16 FontSize, const QString &FontName)
{
    const QByteArray mark = Wire::wideBytes(strMark);
    const QByteArray font = Wire::wideBytes(FontName);
    QByteArray payload;
    payload.reserve(32 + mark.size() + font.size());
    for (const qint32 value : {x1, y1, x2, y2, LineWidth, Color, qint32(mark.size())})
        Wire::appendInt32(payload, value);
    payload.append(mark);
    Wire::appendInt16(payload, FontSize);
    Wire::appendInt16(payload, qint32(font.size()));
    payload.append(font);
    return payload;
}

QByteArray play(qint32 TreeNodeID, qint32 position, bool mediaFile)
{
    QByteArray payload;
    Wire::appendInt32(payload, TreeNodeID);
    Wire::appendInt32(payload, position);
    payload.append(char(mediaFile ? 1 : 0));
    return payload;
}

QByteArray twoNumbers(qint32 first, qint32 second)
{
    QByteArray payload;
    Wire::appendInt32(payload, first);
    Wire::appendInt32(payload, second);
    return payload;
}

QByteArray number(qint32 value)
{
    QByteArray payload;
    Wire::appendInt32(payload, value);
    return payload;
}

QByteArray enable(qint32 status, Wire::Failure &failure)
{
    if (status < 0 || status > 255) {
        failure = Wire::makeFailure(Wire::Overflow);
        return QByteArray(1, '\0');
    }
    return QByteArray(1, char(status));
}

QByteArray answer(bool boolYes)
{
    return number(boolYes ? 1 : 0);
}

QByteArray userList(qint32 UserCount, const QList<UserInfo> &UserList, Wire::Failure &failure)
{
    if (UserCount <= 0)
        return {};
    QByteArray payload(qsizetype(UserCount) * UserRecordSize, '\0');
    for (qint32 i = 0; i < UserCount; ++i) {
        if (i >= UserList.size()) {
            failure = Wire::makeFailure(Wire::IndexOutOfRange);
            continue;
        }
        const UserInfo &user = UserList[i];
        char *record = payload.data() + qsizetype(i) * UserRecordSize;
        Wire::putInt32(record, user.uiUserID);
        const QByteArray nick = Wire::fixedWidth(Wire::StripZeroBytes(user.uiUserNick), 16);
        std::copy(nick.cbegin(), nick.cend(), record + 4);
        record[20] = char(user.uiStatus);
        record[21] = char(user.uiUserType);
    }
    return payload;
}

QByteArray login(qint32 UserType, const QString &PassWord, Wire::Failure &failure)
{
    const QByteArray password = Wire::nonZeroUtf16Bytes(PassWord);
    if (password.size() > 16) {
        failure = Wire::makeFailure(Wire::IndexOutOfRange);
        return {};
    }
    if (UserType < 0 || UserType > 255) {
        failure = Wire::makeFailure(Wire::Overflow);
        return {};
    }
    QByteArray payload(18, '\0');
    payload[0] = char(UserType);
    std::copy(password.cbegin(), password.cend(), payload.begin() + 2);
    return payload;
}

QByteArray campusLogin(const QString &strPassword)
{
    QByteArray payload(strPassword.size() * 2, '\0');
    const QByteArray stripped = Wire::StripZeroBytes(strPassword);
    std::copy(stripped.cbegin(), stripped.cend(), payload.begin());
    return payload;
}

QByteArray setCourse(qint32 CourseID, const QString &CourseTime, qint32 MaxUserNumber,
    const QString &CourseDesc, const QString &CourseName)
{
    QByteArray payload;
    payload.reserve(328);
    Wire::appendInt32(payload, CourseID);
    payload.append(Wire::fixedWidth(Wire::StripZeroBytes(CourseTime), 20));
    Wire::appendInt32(payload, MaxUserNumber);
    payload.append(Wire::fixedWidth(Wire::narrowBytes(CourseDesc), 200));
    payload.append(Wire::fixedWidth(Wire::narrowBytes(CourseName), 100));
    return payload;
}

QByteArray uploadComplete(qint32 CourseID, qint32 CampusID, const QString &CourseName,
    qint32 TeacherID, const QString &CourseIP)
{
    QByteArray payload;
    payload.reserve(127);
    Wire::appendInt32(payload, CourseID);
    Wire::appendInt32(payload, CampusID);
    payload.append(Wire::fixedWidth(Wire::StripZeroBytes(CourseName), 100));
    Wire::appendInt32(payload, TeacherID);
    payload.append(Wire::fixedWidth(Wire::StripZeroBytes(CourseIP), 15));
    return payload;
}

QByteArray courseRecord(const CourseRecord &course)
{
    QByteArray record;
    record.reserve(CourseRecordSize);
    Wire::appendInt32(record, course.courseID);
    Wire::appendInt32(record, course.categoryID);
    record.append(Wire::fixedWidth(Wire::narrowBytes(course.fileName), 100));
    record.append(Wire::fixedWidth(Wire::narrowBytes(course.teacher), 16));
    record.append(Wire::fixedWidth(Wire::narrowBytes(course.serverAddress), 15));
    Wire::appendInt32(record, course.serverPort);
    record.append(Wire::fixedWidth(Wire::narrowBytes(course.classTime), 20));
    record.append(Wire::fixedWidth(Wire::narrowBytes(course.description), 200));
    return record;
}

QByteArray categoryRecord(const CategoryRecord &category)
{
    QByteArray record;
    record.reserve(CategoryRecordSize);
    Wire::appendInt32(record, category.categoryID);
    record.append(Wire::fixedWidth(Wire::narrowBytes(category.name), 20));
    record.append(Wire::fixedWidth(Wire::narrowBytes(category.extra), 100));
    record.append(Wire::fixedWidth(Wire::narrowBytes(category.text), 200));
    record.append(Wire::fixedWidth(Wire::narrowBytes(category.webHost), 15));
    record.append(Wire::fixedWidth(Wire::narrowBytes(category.firstWord), 16));
    record.append(Wire::fixedWidth(Wire::narrowBytes(category.secondWord), 16));
    return record;
}

} // namespace Messages
