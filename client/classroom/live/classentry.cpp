#include "client/classroom/live/classentry.h"

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

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace ClassLive {

namespace {
// Shown when the courseware is not there in time.
QString notDownloaded()
{
    return QCoreApplication::translate(
        "ClassLive::ClassEntry", "这堂课的课件还没有下载完，不能进入教室，请稍后再试一次");
}

// Title of the entry's message boxes.
QString promptTitle()
{
    return QCoreApplication::translate("ClassLive::ClassEntry", "LumoUser 系统提示：");
}
} // namespace

ClassEntry::ClassEntry(Deps deps, QObject *parent)
    : ClassEntry(deps, Limits{}, parent)
{ }

ClassEntry::ClassEntry(Deps deps, Limits limits, QObject *parent)
    : QObject(parent)
    , m(deps)
    , m_limits(limits)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ClassEntry::onTimeout);
    connect(&m.remote, &clsRemoteSync::DisConnected, this, &ClassEntry::reset);
}

void ClassEntry::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void ClassEntry::startTimer(int ms)
{
    m_timer.start(ms);
}

void ClassEntry::onFullRosterArriving()
{
    m_firstRoster = m_state == State::AwaitFirstRoster;
    if (!m_firstRoster)
        return;
    // From here until the class is entered, class events wait in the gate.
    m.gate.hold();
    m.remote.SendMsgGetClientKey();
    m.volume.KeyStop();
    m.window.setHandPicture(false);
    m.live.CurrPlayID = 0;
    m.live.CurrPlayVerb = 0;
    m.live.bOpenFalsePlay = false;
    m.notes.setMyID(m.session.MyID);
    m.remote.setMyID(m.session.MyID);
    m.users.setMyID(m.session.MyID);
    // The course record carries no name: "Course" and its number (as the
    // record's CourseName(), which the protocol library does not export).
    m.window.setCaption(tr("[分类:%1--用户:%2]")
                            .arg(QString::number(m.session.CurrentCourse.CategoryID),
                                QString::number(m.session.MyID))
        + u"Course"_s + QString::number(m.session.CurrentCourse.CourseID));
}

void ClassEntry::onFullRosterFilled()
{
    if (!m_firstRoster)
        return;
    m_firstRoster = false;
    m.window.setStatusPanel(1, tr("连接"), PanelPicture::Active);
    m.window.setStatusPanel(2, tr("空闲"), PanelPicture::Inactive);
    setState(State::Pausing);
    startTimer(m_limits.pauseMs);
}

void ClassEntry::onTimeout()
{
    switch (m_state) {
    case State::Pausing: afterPause(); return;
    case State::FetchingCourseware:
        fail(notDownloaded(), u"courseware download timed out"_s);
        return;
    case State::LoadingCourseware:
        fail(notDownloaded(), u"courseware did not open in time"_s);
        return;
    case State::AwaitRelays:
        // No key answer in time: the relays work without the server's
        // registration.
        disconnect(m_relaysReady);
        m.relays.SetupLocalRelays();
        finishEntry();
        return;
    case State::AwaitFirstRoster:
    case State::InClass: return;
    }
}

void ClassEntry::afterPause()
{
    const QString path = m.coursewarePath();
    if (QFileInfo::exists(path)) {
        loadCourseware(path);
        return;
    }
    setState(State::FetchingCourseware);
    startTimer(m_limits.fetchMs);
    const quint64 attempt = ++m_attempt;
    QPointer<ClassEntry> self(this);
    m.fetch.fetch(path, [self, attempt, path](bool ok) {
        if (!self || self->m_attempt != attempt || self->m_state != State::FetchingCourseware)
            return;
        if (ok && QFileInfo::exists(path))
            self->loadCourseware(path);
        else
            self->fail(notDownloaded(), u"courseware not downloaded"_s);
    });
}

void ClassEntry::loadCourseware(const QString &path)
{
    setState(State::LoadingCourseware);
    startTimer(m_limits.loadMs);
    disconnect(m_loaded);
    m_loaded = connect(&m.course, &Manage::CourseFileLoaded, this, &ClassEntry::onCourseLoaded);
    m.course.LoadCourseFile(path);
}

void ClassEntry::onCourseLoaded(bool bOpened)
{
    disconnect(m_loaded);
    if (m_state != State::LoadingCourseware)
        return;
    if (!bOpened || !m.course.bIsOpened()) {
        // The course manager has told the student why.
        fail(QString(), u"courseware could not be opened"_s);
        return;
    }
    awaitRelays();
}

void ClassEntry::awaitRelays()
{
    setState(State::AwaitRelays);
    if (m.relays.bUDPDistributed()) {
        finishEntry();
        return;
    }
    disconnect(m_relaysReady);
    m_relaysReady = connect(&m.relays, &RelaySetup::relaysReady, this, [this] {
        disconnect(m_relaysReady);
        if (m_state == State::AwaitRelays)
            finishEntry();
    });
    startTimer(m_limits.relayWaitMs);
}

void ClassEntry::finishEntry()
{
    m_timer.stop();
    m.window.setCourseNames(m.course.CourseName(), m.course.TeacherName());
    m.voice.ListenAt(u"127.0.0.1"_s, m.relays.LocalListenPort(), m.relays.LocalSpeakPort());
    m.course.setConnected(true);
    m.session.bInClass = true;
    setState(State::InClass);
    if (!m.remote.bMediaFile() && m.live.bOpenFalsePlay && m.live.CurrPlayID > 0)
        Q_EMIT replayPlay(m.live.CurrPlayID, m.live.CurrPlayVerb, m.remote.bMediaFile());
    m.remote.SendMsgClientReady();
    Q_EMIT entered();
    m.gate.release();
}

void ClassEntry::fail(const QString &message, const QString &why)
{
    Global::WriteErrorLog(u"Form1"_s, u"ClassEntry"_s, why, __LINE__);
    reset();
    if (!message.isEmpty())
        m.prompter.inform(promptTitle(), message, Global::PromptIcon::Warning);
    Q_EMIT leaveRequested();
}

void ClassEntry::reset()
{
    m_timer.stop();
    disconnect(m_loaded);
    disconnect(m_relaysReady);
    ++m_attempt;
    m_firstRoster = false;
    m.live.bTeacherArrivalPending = false;
    m.gate.drop();
    setState(State::AwaitFirstRoster);
}

} // namespace ClassLive
