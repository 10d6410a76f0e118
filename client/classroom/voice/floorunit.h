#pragma once

#include <QObject>

#include <functional>

class QAbstractButton;
class clsRemoteSync;
class SessionState;
class UserList;
class VolumeControl;

namespace ClassLive {
class ClassEventGate;
class ClassWindow;
} // namespace ClassLive

namespace ClassroomVoice {

class VoicePort;

// The microphone floor and the raised hand:
//
//   idle --microphone button--> asking --hold--> speaking
//     ^                           |                 |
//     +-- release, give-back, voice switch off, ----+
//         own voice permission taken away
//
// Panel 2 of the status bar shows the state ("空闲", "申请话筒",
// "正在讲话", "归还话筒" when the teacher took the microphone away). The engine speaks to the class
// only in "speaking"; floorChanged tells the relays when the microphone may reach the server.
class FloorUnit : public QObject
{
    Q_OBJECT
public:
    enum class Floor { Idle, Asking, Speaking };
    Q_ENUM(Floor)

    struct Deps {
        clsRemoteSync &remote;
        ClassLive::ClassEventGate &gate;
        SessionState &session;
        ClassLive::ClassWindow &window;
        UserList &users;
        VolumeControl &volume;
        VoicePort &voice;
        // The private talk's partner, 0 when there is no talk.
        std::function<qint32()> talkPartner;
        // cmdRaiseHand; may be null.
        QAbstractButton *raiseHand = nullptr;
    };

    explicit FloorUnit(Deps deps, QObject *parent = nullptr);

    Floor floor() const { return m_floor; }

    // The teacher's volume values are levels of the volume control's
    // sliders: held to 0..10.
    static qint16 clampLevel(qint32 VolumeValue);

public Q_SLOTS:
    void cmdRaiseHand_Click();
    // VolumeControl::OnMicStart.
    void OnMicStart();
    // The student's own record lost its voice permission (the roster has
    // given the microphone back): a held floor ends at once.
    void ownVoiceWithdrawn();
    // PrivateTalk::talkChanged: a talk that ends while the floor is held
    // hands the microphone back to the class.
    void talkChanged(const QString &partnerNick);
    // The class ended: the floor is idle and the microphone closed.
    void endFloor();
    void reset();

Q_SIGNALS:
    // Whether the student holds the floor and speaks to the class.
    void floorChanged(bool speaking);

private:
    void onHold();
    void onRelease();
    void onVoiceSwitch(bool on);
    void setFloor(Floor floor);

    Deps m;
    Floor m_floor = Floor::Idle;
};

} // namespace ClassroomVoice
