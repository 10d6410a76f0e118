#pragma once

#include "sim/core/teachercommand.h"

class ClassroomServer;

// Carries out teacher and classmate commands in one classroom: the script
// and the console share it.
class TeacherDesk
{
public:
    explicit TeacherDesk(ClassroomServer *classroom);

    // `{web}` in a command line stands for the simulator's web address.
    void setWebAddress(const QString &address) { m_webAddress = address; }

    // Parses and carries out one line. False with a reason when the line is
    // not a command or cannot be carried out now.
    bool run(const QString &line, QString &error);
    bool execute(const TeacherCommand &command, QString &error);

    QString expand(const QString &line) const;

private:
    ClassroomServer *m_classroom; // not owned
    QString m_webAddress;
};
