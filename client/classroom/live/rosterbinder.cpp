#include "client/classroom/live/rosterbinder.h"

#include "client/classroom/live/classeventgate.h"
#include "client/classroom/live/classlivestate.h"
#include "client/classroom/live/classports.h"
#include "client/session/sessionstate.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "controls/coursemanage/manage.h"
#include "controls/notesmanage/notesmanage.h"
#include "controls/userlist/userlist.h"
#include "controls/volumecontrol/volumecontrol.h"
#include "protocol/clsremotesync.h"
#include "protocol/listtexts.h"

using namespace Qt::StringLiterals;

namespace ClassLive {

namespace {
const QString LineEnd = u"\r\n"_s;
}

RosterBinder::RosterBinder(Deps deps, QObject *parent)
    : QObject(parent)
    , m(deps)
{
    connect(&m.gate, &ClassEventGate::GetMsgUserList, this, &RosterBinder::onUserList);
    connect(&m.gate, &ClassEventGate::GetMsgLogOut, this, &RosterBinder::onLogOut);
    connect(
        &m.users, &UserList::OnSendUserNoteMessage, this, [this](qint32 UserID, const QString &) {
            m.notes.SelectUser(UserID);
            m.notes.SetSendText(QString());
        });
    connect(&m.users, &UserList::OnRefreshUserList, this,
        [this](bool) { m.remote.SendMsgRefreshUserList(); });
}

void RosterBinder::onUserList(qint32 Count, const QString &strUserList, qint16 CmdVerb)
{
    if (Count == 0) {
        refusedLogin();
        return;
    }
    if (CmdVerb < 1 || CmdVerb > 3)
        return;

    // A status change or an arrival is about the first record only. Every
    // record is read before any list changes: one that cannot be read is
    // skipped and logged, the others go in whole.
    const auto parsed = CmdVerb == 1
        ? ListTexts::parseUserList(strUserList, Count)
        : ListTexts::parseUserList(strUserList.left(ListTexts::UserRecordWidth), 1);
    for (const QString &why : parsed.refused)
        Global::WriteErrorLog(u"Form1"_s, u"RemoteSync_GetMsgUserList"_s, why, __LINE__);
    const auto &records = parsed.records;

    if (CmdVerb == 1) {
        Q_EMIT fullRosterArriving();
        m.notes.RemoveAllUsers();
        m.users.RemoveAllUsers();
        // Room for the whole class at once: a large class is not grown
        // step by step while it fills.
        m.users.ReserveUsers(qint32(records.size()));
        m.users.setViewType(lvtList);
        m.users.setUserType(1);
        m.live.bTeacherArrivalPending = false;
        quint8 ownStatus = 0;
        bool ownListed = false;
        for (const auto &r : records) {
            if (r.uiUserID == m.remote.MyID()) {
                ownStatus = r.uiStatus;
                ownListed = true;
            }
            m.users.AddUser(r.uiUserID, r.uiUserNick, r.uiStatus, r.uiUserType);
            m.notes.AddUser(r.uiUserID, r.uiUserNick);
            if (r.uiUserType == 2) {
                m.live.bTeacherArrivalPending = true;
                m.live.TeacherNick = r.uiUserNick;
            }
        }
        if (m.live.bTeacherArrivalPending)
            m.users.SetUserStatus(m.users.myID(), ownStatus);
        // The roster carries the student's own permissions: the send box
        // and the drawing tools follow them from the start, not only from
        // the first status change (which may never come).
        if (ownListed)
            applyListedPermissions(m.remote.MyID());
        Q_EMIT fullRosterFilled();
        m.remote.setbEnabled(true);
        return;
    }

    if (records.isEmpty())
        return;
    const auto &r = records.first();
    if (CmdVerb == 2) {
        m.users.SetUserStatus(r.uiUserID, r.uiStatus);
        // Another student's change leaves this student's permissions as
        // they were: re-reading them would give the microphone back to the
        // server once more for every change in class (and the server would
        // answer each), so only the student's own record is re-read.
        if (r.uiUserID == m.remote.MyID())
            rereadOwnPermissions();
        return;
    }
    m.users.AddUser(r.uiUserID, r.uiUserNick, r.uiStatus, r.uiUserType);
    m.notes.AddUser(r.uiUserID, r.uiUserNick);
    const QString arrival = r.uiUserType == 2 ? tr("[老师%1来了]") : tr("[%1来了]");
    m.notes.AddMessage(arrival.arg(r.uiUserNick) + LineEnd);
}

void RosterBinder::rereadOwnPermissions()
{
    const qint32 own = m.users.myID();
    if (m.users.CheckUserVoiceStatus(own)) {
        m.volume.SetCmdEnabled(true);
    } else {
        m.users.SetUserPrepareStatus(own);
        m.window.setStatusPanel(2, tr("空闲"), PanelPicture::Inactive);
        m.remote.SendMicroPhoneRequestion(false);
        Q_EMIT ownVoiceWithdrawn();
    }
    applyListedPermissions(own);
}

void RosterBinder::applyListedPermissions(qint32 own)
{
    m.session.bWhiteBoardPermitted = m.users.CheckUserWhiteBoardStatus(own);
    m.window.setWhiteBoardToolsEnabled(m.session.bWhiteBoardPermitted);
    const bool notes = m.users.CheckUserNoteStatus(own);
    m.window.setSendNotesEnabled(notes);
    m.notes.setSendEnabled(notes);
}

void RosterBinder::refusedLogin()
{
    m.prompter.inform(
        tr("登录错误提示："), tr("失败信息: 密码错误或您无权参加本次语音交流活动。   "));
    // The session ends the class the one way every exit takes.
    Q_EMIT loginRefused();
}

void RosterBinder::onLogOut(qint32 UserID)
{
    if (UserID < 1)
        return;
    if (UserID == m.remote.MyID()) {
        m.prompter.inform(QString(), tr("该用户已和服务器断开"));
        Q_EMIT putOut();
        return;
    }
    const QString nick = m.users.GetUserByID(UserID).UserNick;
    m.notes.AddMessage(tr("[%1走了]").arg(nick) + LineEnd);
    m.notes.RemoveUser(UserID);
    m.users.RemoveUser(UserID);
}

} // namespace ClassLive
