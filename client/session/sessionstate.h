#pragma once

#include "common/settingsstore.h"
#include "protocol/listtexts.h"

#include <QObject>
#include <QString>
#include <QVector>

// What the program knows about the student's session, shared by the units
// that handle its parts (campus road, class entry, roster, floor ...). Each
// unit changes only the fields of its own job; the others read. Where the
// session stands (campus, booking, in class, returning ...) is the
// StudentSession's. Created and owned by the main window for the whole run.
class SessionState : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Login data, held for the whole run.
    QString UserName; // the student code as typed, trimmed
    QString Password;
    QString UserID; // the user's number as text, looked up on the web
    qint32 MyID = 0;

    // True when the next successful connection is to the campus server.
    bool bCampusPhase = true;

    // The campus lists; each reply replaces its array.
    QVector<ListTexts::CourseRecord> BookedCourses;
    QVector<ListTexts::CourseRecord> AllCourses;
    QVector<ListTexts::CategoryRecord> Categories;

    // The course chosen in the booking dialog.
    ListTexts::CourseRecord CurrentCourse;
    int CurrentCategoryIndex = -1;
    QString CurrentCoursewareFile;

    // Class state.
    bool bInClass = false;

    // --- main window (Form1): run-wide settings and window flags ---
    // The three "Options" values, loaded at start (or set by the command
    // line), edited by the options dialog, written back at the end.
    Global::ServerSettings Options;
    // The web host of the account pages, the help page and the links
    // ("host" or "host:port").
    QString WebHost;
    bool bSettingsLoaded = false;
    // The student's own whiteboard permission (the roster and the teacher's
    // switches set it); mouse input reaches the drawing layer only while set.
    bool bWhiteBoardPermitted = true;
    // --- end main window ---
};
