#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class clsRemoteSync;
class Manage;
class NotesManage;
class SessionState;
class UserList;
class VolumeControl;

namespace Global {
class Prompter;
}

namespace ClassLive {

class ClassEventGate;
class ClassVoice;
class ClassWindow;
class CoursewareFetch;
class RelaySetup;
struct ClassLiveState;

// Entering the class after the first full roster of a connection:
//
//   AwaitFirstRoster -> Pausing (0.5 s) -> [FetchingCourseware] ->
//   LoadingCourseware -> AwaitRelays (key answer, or local after 1.5 s) ->
//   InClass (listening, names shown, deferred play, client ready)
//
// Every wait has a time limit and ends with a lost connection. Reception
// stays on throughout: the gate holds the class events meanwhile and hands
// them on, in arrival order, once the class is entered.
class ClassEntry : public QObject
{
    Q_OBJECT
public:
    enum class State {
        AwaitFirstRoster,
        Pausing,
        FetchingCourseware,
        LoadingCourseware,
        AwaitRelays,
        InClass,
    };
    Q_ENUM(State)

    struct Limits {
        int pauseMs = 500;
        int relayWaitMs = 1500;
        int fetchMs = 10 * 60 * 1000; // the download shows its own progress
        int loadMs = 2 * 60 * 1000;
    };

    struct Deps {
        clsRemoteSync &remote;
        ClassEventGate &gate;
        SessionState &session;
        ClassLiveState &live;
        Global::Prompter &prompter;
        ClassWindow &window;
        UserList &users;
        NotesManage &notes;
        Manage &course;
        VolumeControl &volume;
        RelaySetup &relays;
        ClassVoice &voice;
        CoursewareFetch &fetch;
        // Where the current course's courseware file lies.
        std::function<QString()> coursewarePath;
    };

    explicit ClassEntry(Deps deps, QObject *parent = nullptr);
    ClassEntry(Deps deps, Limits limits, QObject *parent = nullptr);

    State state() const { return m_state; }

public Q_SLOTS:
    // From the roster unit, around every full roster.
    void onFullRosterArriving();
    void onFullRosterFilled();
    // The connection ended (or was ended): wait for the next first roster.
    void reset();

Q_SIGNALS:
    void stateChanged(ClassLive::ClassEntry::State state);
    // A play command came while the courseware was loading: perform it now.
    void replayPlay(qint32 TreeNodeID, qint32 PlayVerb, bool boolMediaFile);
    // The class is entered (client ready sent, held events about to follow).
    void entered();
    // Entry cannot go on: leave the class the way Disconnect does.
    void leaveRequested();

private:
    void setState(State state);
    void startTimer(int ms);
    void onTimeout();
    void afterPause();
    void loadCourseware(const QString &path);
    void onCourseLoaded(bool bOpened);
    void awaitRelays();
    void finishEntry();
    void fail(const QString &message, const QString &why);

    Deps m;
    Limits m_limits;
    State m_state = State::AwaitFirstRoster;
    bool m_firstRoster = false; // the roster being filled is the first one
    quint64 m_attempt = 0; // stale download answers are recognised by it
    QTimer m_timer;
    QMetaObject::Connection m_loaded;
    QMetaObject::Connection m_relaysReady;
};

} // namespace ClassLive
