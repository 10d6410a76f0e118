#include "client/classroom/live/playbackbinder.h"

#include "client/classroom/live/classeventgate.h"
#include "client/classroom/live/classlivestate.h"
#include "client/session/sessionstate.h"
#include "common/prompter.h"
#include "controls/coursemanage/manage.h"
#include "controls/whiteboardole/whiteboardole.h"
#include "controls/whiteboardsign/whiteboardsign.h"
#include "protocol/clsremotesync.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace ClassLive {

namespace {
// Title of the playback's message boxes.
QString promptTitle()
{
    return QCoreApplication::translate("ClassLive::PlaybackBinder", "LumoUser 系统提示：");
}
} // namespace

PlaybackBinder::PlaybackBinder(Deps deps, QObject *parent)
    : QObject(parent)
    , m(deps)
{
    // Not through the gate: a play command during class entry is
    // remembered here and replayed by the entry, as the last one only.
    connect(&m.remote, &clsRemoteSync::GetMsgPlayNew, this, &PlaybackBinder::play);
    connect(&m.gate, &ClassEventGate::GetMsgURL, this, &PlaybackBinder::onUrl);
    connect(&m.course, &Manage::OnPlay, this, &PlaybackBinder::onPlay);
    connect(&m.course, &Manage::OnPlayInvalid, this,
        [this](qint32) { m.prompter.inform(promptTitle(), tr("当前播放节点无效！")); });
}

void PlaybackBinder::play(qint32 TreeNodeID, qint32 PlayVerb, bool)
{
    m.live.CurrPlayVerb = PlayVerb;
    // Until the class is entered the course manager may still hold the
    // previous class's courseware: the command waits for this one.
    if (!m.course.bIsOpened() || !m.session.bInClass) {
        m.live.bOpenFalsePlay = true;
        m.live.CurrPlayID = TreeNodeID;
        return;
    }
    m.ole.setCurrPlayerPos(m.remote.CurrPlayerPos());
    Q_EMIT aboutToPlay();
    m.sign.setIfDraw(false);
    m.course.Play(TreeNodeID);
}

void PlaybackBinder::onPlay(qint32, const QString &FileName, qint16 FileType)
{
    m.sign.ClearSign();
    if (!m.course.bUrlFile() && (!QFileInfo::exists(FileName) || FileType == 5)) {
        m.prompter.inform(promptTitle(), tr("当前播放文件未找到或文件格式不正确！"));
        return;
    }
    m.ole.setFileSource(FileName);
    m.ole.setFileType(QString::number(FileType));
    m.ole.setUserType(Ole::utStudent);
    if (m.ole.CurrPlayerPos() != 0 || m.live.CurrPlayVerb != 0)
        m.ole.Play_OLEAd(m.live.CurrPlayVerb);
    else
        m.ole.Play_OLE();
}

void PlaybackBinder::onUrl(qint32, const QString &strURL)
{
    m.ole.setFileSource(strURL);
    m.ole.setFileType(u"2"_s);
    m.ole.Play_OLE();
}

} // namespace ClassLive
