#include "client/classroom/live/notesbinder.h"

#include "client/classroom/live/classeventgate.h"
#include "client/classroom/live/classlivestate.h"
#include "common/desktop/shellopen.h"
#include "common/errorlog.h"
#include "controls/notesmanage/notesmanage.h"
#include "protocol/clsremotesync.h"

#include <QAbstractButton>

using namespace Qt::StringLiterals;

namespace ClassLive {

NotesBinder::NotesBinder(Deps deps, QObject *parent)
    : QObject(parent)
    , m(deps)
{
    connect(&m.gate, &ClassEventGate::GetNoteMessage, this, &NotesBinder::onNote);
    connect(&m.panel, &NotesManage::SentNoteMessage, this,
        [this](qint32 FromID, qint32 ToID, const QString &text) {
            send(m.panel, FromID, ToID, text);
        });
    if (m.detached) {
        connect(m.detached, &NotesManage::SentNoteMessage, this,
            [this](qint32 FromID, qint32 ToID, const QString &text) {
                send(*m.detached, FromID, ToID, text);
            });
    }
    if (m.mailButton)
        connect(m.mailButton, &QAbstractButton::clicked, this, &NotesBinder::sendMail);
}

bool NotesBinder::isPrivateTalkCommand(const QString &message)
{
    return message == u"[请求和你语音密谈]"_s || message == u"[拒绝和你语音密谈]"_s
        || message == u"[结束密谈]"_s || message.left(8) == u"[回应我的地址]"_s
        || message.left(10) == u"[同意和你语音密谈]"_s;
}

void NotesBinder::onNote(qint32 FromID, qint32 ToID, const QString &Message)
{
    const qint32 own = m.remote.MyID();
    if (ToID != own && ToID != 0)
        return;
    if (ToID == own && isPrivateTalkCommand(Message))
        return;
    if (FromID == own)
        return; // the server's echo of the student's own note
    m.panel.AddNoteMessage(FromID, ToID, Message);
    if (m.live.bTeacherArrivalPending) {
        m.panel.AddMessage(tr("[老师%1来了]").arg(m.live.TeacherNick) + u"\r\n"_s);
        m.live.bTeacherArrivalPending = false;
    }
}

void NotesBinder::send(NotesManage &from, qint32 FromID, qint32 ToID, const QString &strMessage)
{
    // The protocol object reports a note that was not written (no
    // connection, or a server that stopped reading) through SystemLog,
    // during the call: its reasons, then its own closing line.
    QString failure;
    bool notSent = false;
    const QMetaObject::Connection watch = connect(
        &m.remote, &clsRemoteSync::SystemLog, this, [&failure, &notSent](const QString &line) {
            failure += line + u' ';
            notSent = notSent || line == u"Error in SendNotMessage."_s;
        });
    m.remote.SendNoteMessage(FromID, ToID, strMessage);
    disconnect(watch);
    if (!notSent) {
        from.AddNoteMessage(FromID, ToID, strMessage);
        return;
    }
    // Never shown as sent when it was not: the student can send it again.
    Global::WriteErrorLog(u"Form1"_s, u"SentNoteMessage"_s,
        u"note to %1 not sent: %2"_s.arg(ToID).arg(failure.simplified()), __LINE__);
    from.AddMessage(tr("[短消息没有发出：%1]").arg(strMessage) + u"\r\n"_s);
}

void NotesBinder::sendMail()
{
    Global::ShellOpenFile(u"mailto:"_s, 1, m.prompter);
}

} // namespace ClassLive
