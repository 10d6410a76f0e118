#include "client/shell/sessionnotices.h"

#include "client/session/studentsession.h"
#include "client/shell/statuspanels.h"
#include "common/prompter.h"
#include "controls/notesmanage/notesmanage.h"

using namespace Qt::StringLiterals;

SessionNotices::SessionNotices(StudentSession &session, StatusPanels &status, NotesManage &notes,
    Global::Prompter &prompter, QObject *parent)
    : QObject(parent)
    , m_status(status)
    , m_notes(notes)
{
    connect(&session, &StudentSession::returnProgress, this, [this](qint64 away, int) {
        m_status.setPanel(1, lostText() + u" "_s + awayText(away), 2);
        if (!m_announced) {
            m_announced = true;
            m_notes.AddMessage(u"["_s + lostText() + u"]\r\n"_s);
        }
    });
    connect(&session, &StudentSession::returned, this, [this](qint64 away) {
        m_announced = false;
        m_notes.AddMessage(
            u"["_s + backText() + u"，"_s + tr("离开了 %1").arg(awayText(away)) + u"]\r\n"_s);
    });
    connect(&session, &StudentSession::returnAbandoned, this,
        [this, &prompter](qint64 away, bool cancelled) {
            m_announced = false;
            m_status.setPanel(1, tr("断开"), 2);
            if (cancelled)
                return;
            m_notes.AddMessage(u"["_s + tr("没能重新连接") + u"]\r\n"_s);
            prompter.inform(tr("LumoUser 系统提示："),
                tr("与教室的连接中断了 %1，没能重新连接。请检查网络后再连接").arg(awayText(away)),
                Global::PromptIcon::Warning);
        });
}

QString SessionNotices::lostText()
{
    return tr("连接中断，正在重新连接…");
}

QString SessionNotices::backText()
{
    return tr("已重新连接");
}

QString SessionNotices::awayText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    if (seconds < 60)
        return tr("%1 秒").arg(seconds);
    return tr("%1 分 %2 秒").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
