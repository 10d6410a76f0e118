#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// One program of the build started for an end-to-end test, its standard
// output kept as JSON lines.
class ProgramRun
{
public:
    ProgramRun(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());
    ~ProgramRun();

    bool started() const { return m_started; }
    // Waits (running the event loop) until a line satisfies `match`.
    bool waitFor(const std::function<bool(const QJsonObject &)> &match, int timeoutMs = 15000);
    // A line whose "event" is `event` and whose text fields contain `text`.
    bool waitForEvent(const QString &event, const QString &text, int timeoutMs = 15000);
    bool hasEvent(const QString &event, const QString &text) const;
    QList<QJsonObject> lines() const { return m_lines; }
    QString transcript() const;
    QByteArray standardOutput() const { return m_stdout; }
    QByteArray standardError() const { return m_stderr; }
    QProcess &process() { return m_process; }
    // One line to the program's standard input.
    void send(const QString &line);
    // Lines seen so far; a later waitFor() from this index sees only what
    // came after.
    qsizetype lineCount() const { return m_lines.size(); }
    // Waits for a line after the first `from` lines.
    bool waitFrom(qsizetype from, const std::function<bool(const QJsonObject &)> &match,
        int timeoutMs = 15000);

    // The folder of the programs under test (beside the test program).
    static QString binFolder();

private:
    void readLines();

    QProcess m_process;
    QByteArray m_pending;
    QByteArray m_stdout;
    QByteArray m_stderr;
    QList<QJsonObject> m_lines;
    bool m_started = false;
};

// A UDP port free on every one of `addresses` (the first one's ephemeral
// port, tried again when another address has it): the talk port two
// students on their own loopback addresses share. 0 when none was found.
quint16 PortFreeOnAll(const QStringList &addresses);

// The local servers with a configuration written for the test; their ports
// from the first line.
class SimRun
{
public:
    // `configJson` may name "courseFolder" relative to `folder`. With
    // `console` the servers read teacher commands from standard input
    // (ProgramRun::send on program()). With `samePortsAs`, the servers
    // listen where that run's did (a restart).
    // `extra` goes on the command line as well.
    SimRun(const QString &folder, const QByteArray &configJson, bool console = false,
        const SimRun *samePortsAs = nullptr, const QStringList &extra = {});
    bool ready() const { return m_web > 0 && m_campus > 0; }
    int web() const { return m_web; }
    int campus() const { return m_campus; }
    int classroom() const { return m_classroom; }
    ProgramRun &program() { return *m_run; }

    // The demo configuration with a course folder and changes applied.
    static QByteArray DemoConfig(
        const QString &courseFolder, const std::function<void(QJsonObject &)> &change = {});

private:
    std::unique_ptr<ProgramRun> m_run;
    int m_web = 0;
    int m_campus = 0;
    int m_classroom = 0;
};

// The simulator with its console on standard input: the teacher's commands,
// a classmate who forges notes, the voice relay's counters.
class ConsoleSim : public SimRun
{
public:
    ConsoleSim(const QString &folder, const QByteArray &configJson,
        const ConsoleSim *samePortsAs = nullptr, const QStringList &extra = {});

    void command(const QString &line);
    // Log line `what` about `id` (any "UserID" when 0).
    bool waitFor(const QString &what, qint32 id, int timeoutMs);
    bool hasNote(qint32 from, qint32 to, const QString &text);
    // Voice datagrams the relay has received from `id` so far; -1 when the
    // console did not answer.
    qint64 relayReceived(qint32 id);
    // The relay's counters as the console prints them; empty when it did
    // not answer.
    QJsonObject relayCounters();
};
