#pragma once

#include "protocol/aulix_remotesyncdll_export.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <QVector>

// The fixed-width texts that the list events carry, read back into records:
// the user list (32 characters a user), the course list (381 characters a
// course) and the category list (377 characters a category).
//
// Field rules: a numeric field keeps only the ASCII digits and letters and
// must then read as a number of its type, or the record is refused (and
// named in `refused`); a text field ends at its first NUL and is trimmed of
// blanks.
namespace ListTexts {

inline constexpr int UserRecordWidth = 32;
inline constexpr int CourseRecordWidth = 381;
inline constexpr int CategoryRecordWidth = 377;

struct RosterRecord {
    qint32 uiUserID = 0;
    QString uiUserNick;
    quint8 uiStatus = 0;
    quint8 uiUserType = 0; // 2 = teacher, any other value = student
};

struct AULIX_REMOTESYNCDLL_EXPORT CourseRecord {
    qint32 CourseID = 0;
    qint32 CategoryID = 0;
    QString FileName; // courseware file name, as the server gives it
    QString Teacher;
    QString ServerAddress; // classroom server
    qint32 ServerPort = 0;
    QString ClassTime;
    QString Description;
    bool bChecked = false; // used by the course-choice dialog

    // "Course" followed by the course number: the record carries no name.
    QString CourseName() const;
};

struct AULIX_REMOTESYNCDLL_EXPORT CategoryRecord {
    qint32 CategoryID = 0;
    QString Name;
    QString Text;
    QString WebHost; // host of the category's courseware folder, "host" or "host:port"
    QString FirstWord; // the two access words (digits and letters only)
    QString SecondWord;

    // "campus" followed by the category number.
    QString FolderName() const;
    // "[" + number + "]" + name, the text of the category's combination box row.
    QString ComboText() const;
};

template <typename Record> struct Parsed {
    QVector<Record> records;
    QStringList refused; // one line per refused record: which and why
};

// Count is the record count the event gives; at most as many whole records
// as the text holds are read.
AULIX_REMOTESYNCDLL_EXPORT Parsed<RosterRecord> parseUserList(const QString &text, int count);
AULIX_REMOTESYNCDLL_EXPORT Parsed<CourseRecord> parseCourseList(const QString &text, int count);
AULIX_REMOTESYNCDLL_EXPORT Parsed<CategoryRecord> parseCategoryList(const QString &text, int count);

// The category number of a combination box text ("[7]Maths" → 7), -1 when
// the text has no such number.
AULIX_REMOTESYNCDLL_EXPORT qint32 categoryFromComboText(const QString &text);

} // namespace ListTexts
