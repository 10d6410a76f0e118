#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

// Tells when the client program has ended. The client starts the companion
// detached (so it is not the companion's parent) and passes nothing; the
// companion looks for the client among the running processes instead: a
// process whose executable is LumoStudent in the companion's own folder,
// or the process named by LUMO_CLIENT_PID when that is set.
class ClientWatch : public QObject
{
    Q_OBJECT

public:
    explicit ClientWatch(QObject *parent = nullptr);

    void start(int intervalMs = 2000);
    // True while the client runs.
    bool clientRuns() const;

Q_SIGNALS:
    void clientEnded();

private:
    QTimer m_timer;
    qint64 m_pid = 0; // from LUMO_CLIENT_PID, 0 when looking by executable
    QString m_clientPath;
};
