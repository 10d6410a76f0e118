#include "sim/core/scriptrunner.h"

#include "sim/core/teacherdesk.h"

#include <QTimer>

using namespace Qt::StringLiterals;

ScriptRunner::ScriptRunner(
    TeacherDesk *desk, QList<TimedCommand> commands, SimLog log, QObject *parent)
    : QObject(parent)
    , m_desk(desk)
    , m_commands(std::move(commands))
    , m_log(std::move(log))
    , m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &ScriptRunner::runDue);
}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::start()
{
    if (m_running || m_finished)
        return;
    m_running = true;
    m_clock.start();
    m_log({{u"sim"_s, u"script-started"_s}, {u"commands"_s, int(m_commands.size())}});
    runDue();
}

void ScriptRunner::runDue()
{
    // Times count from start(), not from the previous command, so a slow
    // command does not shift the rest of the lesson.
    while (m_next < m_commands.size() && m_commands[m_next].atMs <= m_clock.elapsed()) {
        const TimedCommand &timed = m_commands[m_next++];
        if (timed.command.kind == TeacherCommand::Kind::End) {
            finish();
            return;
        }
        QString error;
        if (!m_desk->execute(timed.command, error))
            m_log({{u"sim"_s, u"script-error"_s}, {u"line"_s, timed.line}, {u"error"_s, error}});
    }
    if (m_next >= m_commands.size()) {
        finish();
        return;
    }
    m_timer->start(int(qMax<qint64>(0, m_commands[m_next].atMs - m_clock.elapsed())));
}

void ScriptRunner::finish()
{
    m_timer->stop();
    m_running = false;
    if (m_finished)
        return;
    m_finished = true;
    m_log({{u"sim"_s, u"script-finished"_s}});
    Q_EMIT finished();
}
