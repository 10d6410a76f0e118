#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

// The one owner of the student's session: where the student is on the road
// from not connected to in class, and the one way out of a class.
//
//   Offline --Connect--> Campus --lists in--> Booking --enter--> Entering
//      ^                                                          |
//      |                          first roster, entry done        v
//      +------- Leaving <--- every way out (Disconnect, put out, InClass
//      |           |         refused, entry failed, quit, lost)      |
//      |           v  the connection dropped by itself               |
//      +------ Returning --(road runs again, silently)--> Entering --+
//
// Whatever ends a class, the same teardown runs (ClassUnits::classEnded)
// while the connection may still carry a last word (the private talk's
// end), then the road closes the connection. A class lost without the
// student asking is re-entered by itself: the road runs again with growing
// pauses until the class is back, the time limit passes, or the student
// presses Disconnect.
class StudentSession : public QObject
{
    Q_OBJECT
public:
    enum class Stage { Offline, Campus, Booking, Entering, InClass, Leaving, Returning };
    Q_ENUM(Stage)

    // Every way out of a class.
    enum class Exit { Disconnect, PutOut, LoginRefused, EntryFailed, ConnectionLost, Quit };
    Q_ENUM(Exit)

    // The road to a class, as the session drives it.
    class Road
    {
    public:
        virtual ~Road() = default;
        // Closes the connection and brings the road back to not connected.
        virtual void leaveServer() = 0;
        // Runs the road to the current course again, without dialogs or
        // message boxes; ends in roadEnded() (failed) or classEntered().
        virtual void returnToClass() = 0;
        // Whether the servers answer again, found out cheaply (a
        // connection opened and closed, nothing sent); `answer` is called
        // once, later. The default never finds them.
        virtual void probeServers(std::function<void(bool reachable)> answer) { Q_UNUSED(answer); }
    };

    // The units of a class, told when it begins and when it ends.
    class ClassUnits
    {
    public:
        virtual ~ClassUnits() = default;
        virtual void classBegan() = 0;
        // `connectionUp`: a last message (a private talk's end) can still
        // reach the server.
        virtual void classEnded(Exit how, bool connectionUp) = 0;
    };

    struct Timing {
        // Pauses before the first tries of a return; the last repeats.
        QList<int> returnPausesMs{1000, 2000, 4000, 8000, 15000};
        // Tries go on at least this long after the class was lost.
        int returnLimitMs = 10 * 60 * 1000;
        // How often the time away is reported while returning.
        int tickMs = 1000;
        // During a pause longer than this, the servers are probed every
        // probeEveryMs, and a try starts as soon as they answer: a class
        // whose servers are back does not wait out a long pause.
        int probeAfterMs = 2000;
        int probeEveryMs = 1000;
    };

    StudentSession(Road &road, ClassUnits &units, QObject *parent = nullptr);
    StudentSession(Road &road, ClassUnits &units, Timing timing, QObject *parent = nullptr);
    ~StudentSession() override;

    Stage stage() const { return m_stage; }
    static QString stageName(Stage stage);
    bool inClass() const { return m_stage == Stage::InClass; }
    // Tries of the current return so far (0 when not returning).
    int returnTries() const { return m_tries; }
    // Milliseconds since the class was lost, while returning.
    qint64 awayMs() const;

public Q_SLOTS:
    // The road's progress: the student pressed Connect, the booking dialog
    // is up, the classroom connection is being made.
    void roadStarted();
    void bookingShown();
    void classroomConnecting();
    // Class entry finished: the class runs.
    void classEntered();
    // The road went back to not connected without a class: a failed step,
    // a cancel, or a refused connection.
    void roadEnded();
    // The classroom connection dropped without the student asking.
    void connectionLost();
    // Every other way out of a class.
    void leave(StudentSession::Exit how);
    // Menu Disconnect: leaves the class, or calls off a return.
    void disconnectRequested();

Q_SIGNALS:
    void stageChanged(StudentSession::Stage stage);
    // A class began (after entry) or ended (after the teardown, the
    // connection closed).
    void classBegan();
    void classEnded(StudentSession::Exit how);
    // Returning: the class was lost `awayMs` ago; the next try starts in
    // `nextTryMs` (0 while a try runs).
    void returnProgress(qint64 awayMs, int nextTryMs);
    // The class is back after `awayMs`.
    void returned(qint64 awayMs);
    // No way back within the time limit, or Disconnect called it off
    // (`cancelled`).
    void returnAbandoned(qint64 awayMs, bool cancelled);

private:
    void setStage(Stage stage);
    void tearDown(Exit how, bool connectionUp);
    void scheduleTry();
    void startTry();
    void tick();
    void probe();
    void stopReturn();

    Road &m_road;
    ClassUnits &m_units;
    Timing m_timing;
    Stage m_stage = Stage::Offline;
    bool m_classRunning = false; // between classBegan and classEnded of the units
    bool m_tryRunning = false;
    int m_tries = 0;
    QElapsedTimer m_away;
    QTimer m_tryTimer;
    QTimer m_tickTimer;
    QTimer m_probeTimer;
    quint64 m_probeRound = 0; // answers of an older pause are stale
};
