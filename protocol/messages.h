#pragma once

#include "protocol/aulix_remotesyncdll_export.h"
#include "protocol/msgtypes.h"
#include "protocol/wire.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Payload builders of every message, pure functions over values. The client
// uses them to send; servers and tools use them to answer.
namespace Messages {

struct Built {
    qint32 verb = 0;
    QByteArray payload;
};

// mtNotes: verb 0 to everybody (or to oneself), verb 1 with the recipient.
AULIX_REMOTESYNCDLL_EXPORT Built note(qint32 FromID, qint32 ToID, const QString &Message);
AULIX_REMOTESYNCDLL_EXPORT QByteArray whiteBoard(qint32 x1, qint32 y1, qint32 x2, qint32 y2,
    qint32 LineWidth, qint32 Color, const QString &strMark, qint16 FontSize,
    const QString &FontName);
AULIX_REMOTESYNCDLL_EXPORT QByteArray play(qint32 TreeNodeID, qint32 position, bool mediaFile);
AULIX_REMOTESYNCDLL_EXPORT QByteArray twoNumbers(qint32 first, qint32 second);
AULIX_REMOTESYNCDLL_EXPORT QByteArray number(qint32 value);
// One status byte; a value outside 0-255 fails and sends 0.
AULIX_REMOTESYNCDLL_EXPORT QByteArray enable(qint32 status, Wire::Failure &failure);
AULIX_REMOTESYNCDLL_EXPORT QByteArray answer(bool boolYes);
// 22-byte records of the first `UserCount` users; missing users fail and
// leave zero records.
AULIX_REMOTESYNCDLL_EXPORT QByteArray userList(
    qint32 UserCount, const QList<UserInfo> &UserList, Wire::Failure &failure);
// The classroom login payload, or an empty array when the password does not
// fit its 16 bytes or the type its byte.
AULIX_REMOTESYNCDLL_EXPORT QByteArray login(
    qint32 UserType, const QString &PassWord, Wire::Failure &failure);
AULIX_REMOTESYNCDLL_EXPORT QByteArray campusLogin(const QString &strPassword);
AULIX_REMOTESYNCDLL_EXPORT QByteArray setCourse(qint32 CourseID, const QString &CourseTime,
    qint32 MaxUserNumber, const QString &CourseDesc, const QString &CourseName);
AULIX_REMOTESYNCDLL_EXPORT QByteArray uploadComplete(qint32 CourseID, qint32 CampusID,
    const QString &CourseName, qint32 TeacherID, const QString &CourseIP);

// Records that only servers send.
struct CourseRecord {
    qint32 courseID = 0;
    qint32 categoryID = 0;
    QString fileName;
    QString teacher;
    QString serverAddress;
    qint32 serverPort = 0;
    QString classTime;
    QString description;
};

struct CategoryRecord {
    qint32 categoryID = 0;
    QString name;
    QString extra;
    QString text;
    QString webHost;
    QString firstWord;
    QString secondWord;
};

AULIX_REMOTESYNCDLL_EXPORT QByteArray courseRecord(const CourseRecord &course);
AULIX_REMOTESYNCDLL_EXPORT QByteArray categoryRecord(const CategoryRecord &category);

} // namespace Messages
