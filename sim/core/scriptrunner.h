#pragma once

#include "sim/core/simlog.h"
#include "sim/core/teachercommand.h"

#include <QElapsedTimer>
#include <QObject>

class QTimer;
class TeacherDesk;

// Plays a teacher script: each command at its time after start().
class ScriptRunner : public QObject
{
    Q_OBJECT

public:
    ScriptRunner(
        TeacherDesk *desk, QList<TimedCommand> commands, SimLog log, QObject *parent = nullptr);
    ~ScriptRunner() override;

    void start();
    bool isRunning() const { return m_running; }
    bool isFinished() const { return m_finished; }

Q_SIGNALS:
    // After the last command, or at an "end" command.
    void finished();

private:
    void runDue();
    void finish();

    TeacherDesk *m_desk; // not owned
    QList<TimedCommand> m_commands;
    SimLog m_log;
    QTimer *m_timer = nullptr;
    QElapsedTimer m_clock;
    qsizetype m_next = 0;
    bool m_running = false;
    bool m_finished = false;
};
