#include "client/classroom/voice/privatetalk.h"

#include "client/classroom/live/classeventgate.h"
#include "client/classroom/voice/ownstatus.h"
#include "client/classroom/voice/talkaddress.h"
#include "client/classroom/voice/voiceport.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "controls/userlist/userlist.h"
#include "protocol/clsremotesync.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace ClassroomVoice {

const QString PrivateTalk::Request = u"[请求和你语音密谈]"_s;
const QString PrivateTalk::Acceptance = u"[同意和你语音密谈]"_s;
const QString PrivateTalk::Refusal = u"[拒绝和你语音密谈]"_s;
const QString PrivateTalk::AddressReply = u"[回应我的地址]"_s;
const QString PrivateTalk::End = u"[结束密谈]"_s;

namespace {
const QString Loopback = u"127.0.0.1"_s;
}

PrivateTalk::PrivateTalk(Deps deps, QObject *parent)
    : PrivateTalk(deps, Limits{}, parent)
{ }

PrivateTalk::PrivateTalk(Deps deps, Limits limits, QObject *parent)
    : QObject(parent)
    , m(deps)
    , m_limits(limits)
{
    m_askTimer.setSingleShot(true);
    m_acceptTimer.setSingleShot(true);
    connect(&m_askTimer, &QTimer::timeout, this, &PrivateTalk::requestLapsed);
    connect(&m_acceptTimer, &QTimer::timeout, this, [this] { m_accepted = 0; });
    connect(&m.gate, &ClassLive::ClassEventGate::GetNoteMessage, this, &PrivateTalk::onNote);
    connect(&m.gate, &ClassLive::ClassEventGate::GetMsgLogOut, this, &PrivateTalk::userLeft);
    connect(&m.users, &UserList::OnSendUserVoice, this, &PrivateTalk::OnSendUserVoice);
    connect(&m.users, &UserList::OnEndUserVoice, this, &PrivateTalk::OnEndUserVoice);
    connect(&m.remote, &clsRemoteSync::DisConnected, this, &PrivateTalk::reset);
}

qint32 PrivateTalk::ownID() const
{
    return m.users.myID();
}

QString PrivateTalk::nickOf(qint32 UserID) const
{
    return m.users.GetUserByID(UserID).UserNick;
}

void PrivateTalk::send(qint32 ToID, const QString &text)
{
    m.remote.SendNoteMessage(ownID(), ToID, text);
}

void PrivateTalk::refuse(qint32 FromID, const QString &why)
{
    Global::WriteErrorLog(u"Form1"_s, u"GetNoteMessage"_s,
        why + u" (from user "_s + QString::number(FromID) + u")"_s, __LINE__);
}

void PrivateTalk::status(const QString &text)
{
    if (m.showStatus)
        m.showStatus(text);
}

void PrivateTalk::onNote(qint32 FromID, qint32 ToID, const QString &Message)
{
    // Commands count only in notes addressed to this student; the same
    // text sent to everybody is an ordinary note.
    if (ToID == 0 || ToID != m.remote.MyID())
        return;
    if (Message == Request)
        requestReceived(FromID);
    else if (Message == Refusal)
        refusalReceived(FromID);
    else if (Message == End)
        endReceived(FromID);
    else if (Message.left(8) == AddressReply)
        addressReplyReceived(FromID, Message);
    else if (Message.left(10) == Acceptance)
        acceptanceReceived(FromID, Message);
}

void PrivateTalk::requestReceived(qint32 FromID)
{
    if (FromID == ownID() || FromID <= 0)
        return;
    QPointer<PrivateTalk> self(this);
    m.prompter.show({QString(), tr("%1请求和你语音密谈，你同意吗？").arg(nickOf(FromID)),
                        Global::PromptIcon::Question, Global::PromptButtons::YesNo},
        [self, FromID](Global::PromptAnswer answer) {
            if (!self)
                return;
            if (answer != Global::PromptAnswer::Yes) {
                self->send(FromID, Refusal);
                return;
            }
            self->send(FromID,
                Acceptance + self->m.remote.LocalIP() + u"]"_s + self->m.chatPort().trimmed());
            // Only this user's address reply may now point the voice.
            self->m_accepted = FromID;
            self->m_acceptTimer.start(self->m_limits.answerMs);
        });
}

void PrivateTalk::acceptanceReceived(qint32 FromID, const QString &Message)
{
    if (m_asked == 0 || FromID != m_asked) {
        refuse(FromID, u"acceptance of a private talk not asked for"_s);
        return;
    }
    const std::optional<TalkAddress> address = ParseTalkAddress(Message);
    if (!address) {
        refuse(FromID, u"acceptance with an unusable address: "_s + Message);
        return;
    }
    m_asked = 0;
    m_askTimer.stop();
    startTalk(FromID, address->ip, address->port);
    send(FromID, AddressReply + m.remote.LocalIP() + u"]"_s + address->port);
    m.users.SetUserFreeStatus(ownID());
    ReportOwnStatus(m.remote, m.users);
}

void PrivateTalk::addressReplyReceived(qint32 FromID, const QString &Message)
{
    if (m_accepted == 0 || FromID != m_accepted) {
        refuse(FromID, u"address reply without an accepted request"_s);
        return;
    }
    const std::optional<TalkAddress> address = ParseTalkAddress(Message);
    if (!address) {
        refuse(FromID, u"address reply with an unusable address: "_s + Message);
        return;
    }
    m_accepted = 0;
    m_acceptTimer.stop();
    startTalk(FromID, address->ip, address->port);
    m.users.SetUserFreeStatus(ownID());
    ReportOwnStatus(m.remote, m.users);
}

void PrivateTalk::refusalReceived(qint32 FromID)
{
    if (m_asked == 0 || FromID != m_asked) {
        refuse(FromID, u"refusal of a private talk not asked for"_s);
        return;
    }
    m_asked = 0;
    m_askTimer.stop();
    const QString refused = tr("%1拒绝和你语音密谈").arg(nickOf(FromID));
    status(refused);
    m.prompter.show(
        {QString(), refused, Global::PromptIcon::Information, Global::PromptButtons::Ok});
}

void PrivateTalk::requestLapsed()
{
    m_asked = 0;
    status(tr("%1没有回答你的语音密谈请求").arg(m_askedNick));
}

void PrivateTalk::userLeft(qint32 UserID)
{
    if (UserID <= 0 || UserID == ownID())
        return;
    if (UserID == m_asked) {
        m_asked = 0;
        m_askTimer.stop();
        status(tr("%1离开了课堂，语音密谈请求已取消").arg(m_askedNick));
    }
    if (UserID == m_accepted) {
        m_accepted = 0;
        m_acceptTimer.stop();
    }
    if (UserID == m_partner) {
        const QString nick = m_partnerNick;
        // Nobody is left to tell: the end is this side's alone.
        m_partner = 0;
        endOfTalk();
        status(tr("%1离开了课堂，语音密谈结束").arg(nick));
    }
}

void PrivateTalk::endReceived(qint32 FromID)
{
    if (FromID == m_accepted && m_accepted != 0) {
        // The asker gave up before the talk began.
        m_accepted = 0;
        m_acceptTimer.stop();
        return;
    }
    if (m_partner == 0 || FromID != m_partner) {
        refuse(FromID, u"end of a private talk with somebody else"_s);
        return;
    }
    const QString nick = m_partnerNick;
    m_partner = 0;
    endOfTalk();
    status(tr("%1结束了语音密谈").arg(nick));
}

void PrivateTalk::startTalk(qint32 partner, const QString &ip, const QString &port)
{
    m_partner = partner;
    m_partnerNick = nickOf(partner);
    m.users.setbInPrivateTalk(true);
    // The engine takes datagrams only from its listen address when that is
    // another machine's; a partner on this machine (own loopback address
    // each) sends to the student's own address instead.
    const QString listenIP = IsThisMachine(ip) ? m.remote.LocalIP() : ip;
    if (m_microphoneAllowed)
        m.voice.PointAt(listenIP, ip, port);
    else
        m.voice.ListenOnly(listenIP, port, ip, port);
    status(tr("正在和%1语音密谈").arg(m_partnerNick));
    Q_EMIT talkChanged(m_partnerNick);
}

void PrivateTalk::OnSendUserVoice(qint32 UserID, const QString & /*UserNick*/)
{
    if (UserID <= 0 || UserID == ownID())
        return;
    if (m.users.CheckUserFreeStatus(UserID) || m.users.CheckUserBusyStatus(UserID)) {
        m.prompter.inform(tr("LumoUser 系统提示："),
            tr("对方已经在和别人语音密谈，你不能和他语音密谈"), Global::PromptIcon::Information);
        return;
    }
    send(UserID, Request);
    m_asked = UserID;
    m_askedNick = nickOf(UserID);
    m_askTimer.start(m_limits.answerMs);
    status(tr("已请求和%1语音密谈，正在等待对方回答……").arg(m_askedNick));
}

void PrivateTalk::OnEndUserVoice(qint32 /*UserID*/, const QString & /*UserNick*/)
{
    endOfTalk();
}

void PrivateTalk::endOfTalk()
{
    // Back to the class: the engine listens at the local relay again (the
    // classroom server's own address is not one this machine can listen
    // on), and speaking waits for the floor.
    m.voice.ListenOnly(Loopback, QString::number(m.classListenPort()), Loopback,
        QString::number(m.classSpeakPort()));
    const qint32 own = ownID();
    const qint32 partner = m_partner;
    if (partner > 0)
        send(partner, End);
    // Cleared here too: a partner kept after the talk would turn every
    // later press of the microphone button into a give-back.
    m_partner = 0;
    m.users.SetUserPrepareStatus(own);
    m.users.SetUserVoiceStatus(own, false);
    m.users.setbInPrivateTalk(false);
    ReportOwnStatus(m.remote, m.users);
    status(tr("语音密谈已结束"));
    Q_EMIT talkChanged(QString());
}

void PrivateTalk::setMicrophoneAllowed(bool allowed)
{
    m_microphoneAllowed = allowed;
    // Out of a talk the engine speaks for the floor, which is not this
    // unit's to open or close.
    if (m_partner == 0 || allowed == m.voice.bStartSpeak())
        return;
    if (allowed)
        m.voice.SpeakStart();
    else
        m.voice.SpeakStop();
}

void PrivateTalk::leave()
{
    if (m_partner > 0)
        endOfTalk();
    reset();
}

void PrivateTalk::reset()
{
    m.users.setbInPrivateTalk(false);
    // Nothing of a talk is left to tell once the class is gone.
    status(QString());
    m_partner = 0;
    m_asked = 0;
    m_accepted = 0;
    m_partnerNick.clear();
    m_askedNick.clear();
    m_askTimer.stop();
    m_acceptTimer.stop();
    Q_EMIT talkChanged(QString());
}

} // namespace ClassroomVoice
