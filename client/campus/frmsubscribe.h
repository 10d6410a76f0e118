#pragma once

#include "client/campus/coursecatalogue.h"

#include <QDialog>

class FrmClassList;
class QPushButton;
class QTreeWidget;
class SessionState;

namespace Global {
class Prompter;
}

// The booking dialog: the student's booked courses. ReloadList rebuilds the
// rows and the courseware list entries; "重新预约" opens the course-choice
// dialog; "进    入" takes the chosen row as the current course and says so
// (enterPressed): the campus road decides whether the class can be entered
// now, and closes the dialog with bEnter set when it can. The dialog sends
// nothing to the campus server itself.
class FrmSubscribe : public QDialog
{
    Q_OBJECT

public:
    FrmSubscribe(SessionState &session, CourseCatalogue catalogue, Global::Prompter &prompter,
        QWidget *parent = nullptr);

    bool bEnter = false;

    void ReloadList();
    // The enter button: the selected row, else the current one (a lone row
    // looks chosen once it is current).
    void pressEnter();
    // Selects the row of a course; false when it is not listed.
    bool selectCourse(qint32 courseId);
    // The student form: caption "用户预约的课程", "重新预约" shown,
    // "修改信息" hidden. Clears bEnter.
    void prepareStudentView();

    QTreeWidget *courseList() const { return m_list; }
    FrmClassList *classList() const { return m_classList; }

Q_SIGNALS:
    // A reload is rebuilding the list of these booked courses.
    void listReloading(const QList<qint32> &courseIds);
    // The enter button took this course as the current one.
    void enterPressed(qint32 courseId);

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
