#pragma once

#include "sim/core/simlog.h"

#include <QObject>

class Simulator;

// The interactive console: one command a line on a file descriptor
// (standard input), the teacher's commands plus a few of its own.
class SimConsole : public QObject
{
    Q_OBJECT

public:
    SimConsole(Simulator *simulator, SimLog log, QObject *parent = nullptr);
    ~SimConsole() override;

    // Starts reading `fd`; without a call the console only takes lines
    // given to handleLine().
    void listen(int fd);
    void handleLine(const QString &line);

Q_SIGNALS:
    void quitRequested();

private:
    Simulator *m_simulator; // not owned
    SimLog m_log;
};
