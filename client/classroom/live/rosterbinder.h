#pragma once

#include <QObject>
#include <QString>

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
class ClassWindow;
struct ClassLiveState;

// The class roster in the user list and the notes panel's recipients: full
// rosters, status changes (with the student's own permissions read again),
// arrivals, a refused login, people leaving and the student put out, and the
// user list's note and refresh requests.
class RosterBinder : public QObject
{
    Q_OBJECT
public:
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
    };

    explicit RosterBinder(Deps deps, QObject *parent = nullptr);

Q_SIGNALS:
    // A full roster is about to replace the lists (class entry does its first
    // part here, before the lists learn the student's own number).
    void fullRosterArriving();
    // The lists hold the new full roster.
    void fullRosterFilled();
    // The server put the student out; the message has been shown.
    void putOut();
    // The classroom refused the login (an empty roster); the message has
    // been shown.
    void loginRefused();
    // The student's own record no longer allows her to speak; the
    // microphone has been given back to the server.
    void ownVoiceWithdrawn();

private:
    void onUserList(qint32 Count, const QString &strUserList, qint16 CmdVerb);
    void onLogOut(qint32 UserID);
    void refusedLogin();
    void rereadOwnPermissions();
    // Whiteboard and notes as the roster lists them for `own`; sends nothing.
    void applyListedPermissions(qint32 own);

    Deps m;
};

} // namespace ClassLive
