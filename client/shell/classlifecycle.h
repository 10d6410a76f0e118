#pragma once

#include "client/session/studentsession.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class Form1;
class SessionState;
class WhiteBoardInput;

namespace ClassLive {
class AnswerBar;
class ClassWindow;
class LiveClass;
struct ClassLiveState;
} // namespace ClassLive

namespace ClassroomVoice {
class FloorUnit;
class PrivateTalk;
class VoiceRelays;
} // namespace ClassroomVoice

// The units of a class as the session tells them that a class began or
// ended. The end is one list of steps, in an order that matters: the
// microphone closes before anything else, a private talk's partner is told
// while the connection still carries it, the engine and the relays stop
// before the roster goes, and the window shows what is left: nothing of the
// class, every class control disabled and saying why.
class ClassLifecycle : public QObject, public StudentSession::ClassUnits
{
    Q_OBJECT
public:
    struct Units {
        Form1 &form;
        SessionState &session;
        ClassLive::ClassLiveState &live;
        ClassLive::ClassWindow &window;
        ClassLive::LiveClass &liveClass;
        ClassLive::AnswerBar &answers;
        ClassroomVoice::FloorUnit &floor;
        ClassroomVoice::PrivateTalk &talk;
        ClassroomVoice::VoiceRelays &relays;
        WhiteBoardInput &input;
    };

    ClassLifecycle(Units units, QObject *parent = nullptr);

    // How the window looks with no class: also at start.
    void showNoClass();

    void classBegan() override;
    void classEnded(StudentSession::Exit how, bool connectionUp) override;

    // The tooltip of a control that needs a class, outside one.
    static QString needsClassText();

private:
    void setClassControlsEnabled(bool enabled);

    Units m;
    QString m_title;
    // Each class control's own tooltip, given back when a class begins.
    QHash<QWidget *, QString> m_tips;
};
