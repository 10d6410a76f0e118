#pragma once

#include <QObject>
#include <QString>

class clsRemoteSync;
class Manage;
class SessionState;
class WhiteBoardOLE;
class WhiteBoardSign;

namespace Global {
class Prompter;
}

namespace ClassLive {

class ClassEventGate;
struct ClassLiveState;

// The teacher's playback: play commands (remembered while the courseware
// is still loading, only the last one), the course manager's answers and
// web addresses, shown in the presentation area.
class PlaybackBinder : public QObject
{
    Q_OBJECT
public:
    struct Deps {
        clsRemoteSync &remote;
        ClassEventGate &gate;
        SessionState &session;
        ClassLiveState &live;
        Global::Prompter &prompter;
        Manage &course;
        WhiteBoardOLE &ole;
        WhiteBoardSign &sign;
    };

    explicit PlaybackBinder(Deps deps, QObject *parent = nullptr);

public Q_SLOTS:
    // A play command, from the teacher or replayed at class entry.
    void play(qint32 TreeNodeID, qint32 PlayVerb, bool boolMediaFile);

Q_SIGNALS:
    // An item is about to replace the board: a sign still armed must end.
    void aboutToPlay();

private:
    void onPlay(qint32 id, const QString &FileName, qint16 FileType);
    void onUrl(qint32 lngLength, const QString &strURL);

    Deps m;
};

} // namespace ClassLive
