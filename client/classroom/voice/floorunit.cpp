#include "client/classroom/voice/floorunit.h"

#include "client/classroom/live/classeventgate.h"
#include "client/classroom/live/classports.h"
#include "client/classroom/voice/ownstatus.h"
#include "client/classroom/voice/voiceport.h"
#include "client/session/sessionstate.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "protocol/clsremotesync.h"

#include <QAbstractButton>

using namespace Qt::StringLiterals;

namespace ClassroomVoice {

namespace {
// Panel 2's texts, translated when shown.
QString Idle()
{
    return FloorUnit::tr("空闲");
}
QString Asking()
{
    return FloorUnit::tr("申请话筒");
}
QString Speaking()
{
    return FloorUnit::tr("正在讲话");
}
QString Withdrawn()
{
    return FloorUnit::tr("归还话筒");
}
// The note the teacher's program reads: never translated.
const QString RaisedHand = u"[举手]"_s;
} // namespace

using ClassLive::ClassEventGate;
using ClassLive::PanelPicture;

FloorUnit::FloorUnit(Deps deps, QObject *parent)
    : QObject(parent)
    , m(deps)
{
    connect(&m.gate, &ClassEventGate::GetMsgMicroPhoneHold, this, &FloorUnit::onHold);
    connect(&m.gate, &ClassEventGate::GetMsgMicroPhoneRelease, this, &FloorUnit::onRelease);
    connect(&m.gate, &ClassEventGate::GetMsgGlobalVoiceStatus, this, &FloorUnit::onVoiceSwitch);
    connect(&m.gate, &ClassEventGate::GetMsgMPVolume, this,
        [this](qint32, qint32 value) { m.volume.SetMicVolume(clampLevel(value)); });
    connect(&m.gate, &ClassEventGate::GetMsgSPVolume, this,
        [this](qint32, qint32 value) { m.volume.SetSpeakerVolume(clampLevel(value)); });
    connect(&m.volume, &VolumeControl::OnMicStart, this, &FloorUnit::OnMicStart);
    if (m.raiseHand)
        connect(m.raiseHand, &QAbstractButton::clicked, this, &FloorUnit::cmdRaiseHand_Click);
}

qint16 FloorUnit::clampLevel(qint32 VolumeValue)
{
    return qint16(qBound(0, VolumeValue, 10));
}

void FloorUnit::setFloor(Floor floor)
{
    const bool wasSpeaking = m_floor == Floor::Speaking;
    m_floor = floor;
    if (wasSpeaking != (floor == Floor::Speaking))
        Q_EMIT floorChanged(floor == Floor::Speaking);
}

void FloorUnit::cmdRaiseHand_Click()
{
    if (!m.session.bInClass)
        return;
    const qint32 own = m.users.myID();
    if (!m.users.CheckUserRaiseStatus(own)) {
        if (!m.users.CheckUserPrepareStatus(own))
            return;
        m.users.SetUserRaiseStatus(own, true);
        ReportOwnStatus(m.remote, m.users);
        m.window.setHandPicture(true);
        m.remote.SendNoteMessage(own, m.users.GetTeacherID(), RaisedHand);
        return;
    }
    m.users.SetUserRaiseStatus(own, false);
    ReportOwnStatus(m.remote, m.users);
    m.window.setHandPicture(false);
}

void FloorUnit::OnMicStart()
{
    if (m_floor != Floor::Asking && m.talkPartner() == 0 && m.session.bInClass
        && !m.voice.bStartSpeak()) {
        m.window.setStatusPanel(2, Asking(), PanelPicture::Keep);
        setFloor(Floor::Asking);
        m.remote.SendMicroPhoneRequestion(true);
        return;
    }
    // Pressed again: the request is withdrawn or the microphone given back.
    // Panel 2 waits for the server's answer.
    // A hold that crosses the withdrawal on the way must not open the
    // microphone, so the floor is idle from here, and the student's own row
    // stops saying she speaks.
    m.remote.SendMicroPhoneRequestion(false);
    setFloor(Floor::Idle);
    m.voice.SpeakStop();
    m.volume.KeyStop();
    m.users.SetUserSpeakingStatus(m.users.myID(), false);
}

void FloorUnit::onHold()
{
    const qint32 own = m.users.myID();
    if (m_floor == Floor::Speaking)
        return; // the server repeats what the student already holds
    if (m_floor != Floor::Asking) {
        // Given without asking: the student stays idle.
        m.window.setStatusPanel(2, Idle(), PanelPicture::Inactive);
        m.users.SetUserSpeakingStatus(own, false);
        return;
    }
    if (m.talkPartner() != 0 || m.voice.bStartSpeak()) {
        // In a private talk the talk keeps the microphone, also while its
        // talk key is up and the engine does not speak.
        m.window.setStatusPanel(2, Speaking(), PanelPicture::Keep);
        setFloor(Floor::Idle);
        return;
    }
    m.window.setStatusPanel(2, Speaking(), PanelPicture::Active);
    m.users.SetUserSpeakingStatus(own, true);
    setFloor(Floor::Speaking);
    m.voice.SpeakStart();
    m.volume.KeySpeak();
}

void FloorUnit::onRelease()
{
    m.window.setStatusPanel(2, Idle(), PanelPicture::Inactive);
    const bool floorHeld = m_floor == Floor::Speaking;
    setFloor(Floor::Idle);
    // A private talk's microphone is not the floor's to stop, even when the
    // floor was held as the talk began: its talk key still decides.
    if (m.talkPartner() != 0) {
        if (floorHeld)
            m.users.SetUserSpeakingStatus(m.users.myID(), false);
        return;
    }
    if (!m.voice.bStartSpeak())
        return;
    m.users.SetUserSpeakingStatus(m.users.myID(), false);
    m.voice.SpeakStop();
    m.volume.KeyStop();
}

void FloorUnit::onVoiceSwitch(bool on)
{
    // The switches unit shows "归还话筒" and stops the engine; the floor
    // ends with it.
    if (!on)
        setFloor(Floor::Idle);
}

void FloorUnit::ownVoiceWithdrawn()
{
    // The roster has given the microphone back to the server; the floor's
    // own microphone must not wait for the server's release to close.
    if (m_floor == Floor::Idle || !m.session.bInClass)
        return;
    const qint32 own = m.users.myID();
    const bool floorHeld = m_floor == Floor::Speaking;
    setFloor(Floor::Idle);
    if (!floorHeld)
        return; // a pending request: the roster withdrew it and shows "空闲"
    m.window.setStatusPanel(2, Withdrawn(), PanelPicture::Inactive);
    m.users.SetUserSpeakingStatus(own, false);
    if (m.talkPartner() != 0)
        return; // the talk's microphone speaks to the partner alone
    m.voice.SpeakStop();
    m.volume.KeyStop();
}

void FloorUnit::talkChanged(const QString &partnerNick)
{
    // The talk's end pointed the engine back at the class and stopped its
    // speaking; the server still gives this student the floor, and the
    // indicator says the class hears her, so it must.
    if (!partnerNick.isEmpty() || m_floor != Floor::Speaking || !m.session.bInClass
        || m.voice.bStartSpeak())
        return;
    m.window.setStatusPanel(2, Speaking(), PanelPicture::Active);
    m.users.SetUserSpeakingStatus(m.users.myID(), true);
    m.voice.SpeakStart();
    m.volume.KeySpeak();
}

void FloorUnit::endFloor()
{
    const bool floorHeld = m_floor == Floor::Speaking;
    setFloor(Floor::Idle);
    if (floorHeld || m.voice.bStartSpeak())
        m.voice.SpeakStop();
    m.volume.KeyStop();
}

void FloorUnit::reset()
{
    setFloor(Floor::Idle);
}

} // namespace ClassroomVoice
