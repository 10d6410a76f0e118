#pragma once

#include "protocol/clsremotesync.h"
#include "protocol/eventjson.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>

#include <cstdio>
#include <memory>

struct CliOptions {
    QString host;
    QString port;
    qint32 id = 0;
    bool hasId = false;
    QString password;
    bool campus = false;
};

// One connection driven from standard input, reported on standard output.
// Commands that arrive before the connection is up wait for it; the session
// ends once input has ended and the connection is closed.
class CliSession : public QObject
{
    Q_OBJECT

public:
    explicit CliSession(const CliOptions &options, QObject *parent = nullptr);
    void start();

Q_SIGNALS:
    void finished(int exitCode);

private:
    void onInputReady();
    void handleLine(const QByteArray &line);
    void runCommand(const QByteArray &line);
    void printError(const QString &message, const QByteArray &line);
    void finishIfDone();

    CliOptions m_options;
    clsRemoteSync m_sync;
    std::unique_ptr<RemoteSyncEventJson> m_events;
    std::unique_ptr<QSocketNotifier> m_input;
    QByteArray m_partialLine;
    QList<QByteArray> m_waiting; // commands read before the connection was up
    bool m_connected = false;
    bool m_everConnected = false;
    bool m_inputEnded = false;
    bool m_finished = false;
};
