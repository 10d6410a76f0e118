#pragma once

#include "client/shell/campus/coursecatalogue.h"

#include <QDialog>

class clsRemoteSync;

class FrmClassList;
class QPushButton;
class QTreeWidget;
class SessionState;

namespace Global {
class Prompter;
}

// The booking dialog: the student's booked courses. ReloadList rebuilds the
// rows and the courseware list entries; "重新预约" opens the course-choice
// dialog; "进    入" takes the selected row as the current course, marks its
// entry as begun, tells the campus server and closes with bEnter set.
class FrmSubscribe : public QDialog
{
    Q_OBJECT

public:
    FrmSubscribe(SessionState &session, CourseCatalogue catalogue, Global::Prompter &prompter,
        QWidget *parent = nullptr);

    clsRemoteSync *RemoteSync = nullptr;
    bool bEnter = false;

    void ReloadList();
    // The enter button.
    void pressEnter();
    // Selects the row of a course; false when it is not listed.
    bool selectCourse(qint32 courseId);
    // The student form: caption "用户预约的课程", "重新预约" shown,
    // "修改信息" hidden. Clears bEnter.
    void prepareStudentView();

    QTreeWidget *courseList() const { return m_list; }
    FrmClassList *classList() const { return m_classList; }

Q_SIGNALS:
    // The enter button took a course; the dialog is closing.
    void enterChosen();

private:
    SessionState &m_session;
    CourseCatalogue m_catalogue;
    Global::Prompter &m_prompter;
    QTreeWidget *m_list;
    FrmClassList *m_classList;
    QPushButton *m_rebook;
    QPushButton *m_enter;
    QPushButton *m_edit; // teacher side only
    QPushButton *m_upload; // teacher side only
};
