#pragma once

#include <QObject>

class clsRemoteSync;
class NotesManage;
class SessionState;
class UserList;
class VolumeControl;

namespace ClassLive {

class ClassEventGate;
class ClassVoice;
class ClassWindow;

// The teacher's four class-wide switches: notes, voice, speaking and the
// whiteboard.
class ClassSwitches : public QObject
{
    Q_OBJECT
public:
    struct Deps {
        clsRemoteSync &remote;
        ClassEventGate &gate;
        SessionState &session;
        ClassWindow &window;
        ClassVoice &voice;
        UserList &users;
        NotesManage &notes;
        VolumeControl &volume;
    };

    explicit ClassSwitches(Deps deps, QObject *parent = nullptr);

private:
    void onVoice(bool on);

    Deps m;
};

} // namespace ClassLive
