#include "client/campus/campusroad.h"

#include "client/campus/accountpages.h"
#include "client/campus/coursecatalogue.h"
#include "client/campus/frmclasslist.h"
#include "client/campus/frmlogin.h"
#include "client/campus/frmsubscribe.h"
#include "client/campus/frmtip.h"
#include "client/session/sessionstate.h"
#include "common/errorlog.h"
#include "common/prompter.h"
#include "protocol/clsremotesync.h"
#include "protocol/msgtypes.h"

#include <QCoreApplication>
#include <QMetaEnum>
#include <QTcpSocket>

#include <memory>
#include <QTreeWidget>
#include <utility>

using namespace Qt::StringLiterals;

namespace {
const QString UserForm = u"User Form"_s;
constexpr qint16 ConnectionRefused = 10061;
constexpr qint16 HostNotFound = 11001;

// Title of the campus road's message boxes.
QString systemTitle()
{
    return QCoreApplication::translate("CampusRoad", "LumoUser 系统提示：");
}

void trace(const QString &procedure)
{
    Global::WriteErrorLog(UserForm, procedure);
}

template <typename Record>
void logRefused(const ListTexts::Parsed<Record> &parsed, const QString &where)
{
    for (const QString &line : parsed.refused)
        Global::WriteErrorLog(UserForm, where, line, 0);
}
} // namespace

CampusRoad::CampusRoad(Dependencies deps, QObject *parent)
    : QObject(parent)
    , m_deps(std::move(deps))
    , m_pages(new AccountPages(this))
{
    m_listTimer.setSingleShot(true);
    m_pauseTimer.setSingleShot(true);
    m_reconnectTimer.setSingleShot(true);
    setTiming(m_timing);
    connect(&m_listTimer, &QTimer::timeout, this, &CampusRoad::onListTimeout);
    connect(&m_pauseTimer, &QTimer::timeout, this, &CampusRoad::showBooking);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &CampusRoad::lookUp);
    connect(m_pages, &AccountPages::userIdFound, this, &CampusRoad::onUserId);
    connect(m_pages, &AccountPages::balanceFound, this, &CampusRoad::onBalance);

    clsRemoteSync &remote = m_deps.remote;
    connect(&remote, &clsRemoteSync::Connected, this, &CampusRoad::onConnected);
    connect(&remote, &clsRemoteSync::DisConnected, this, [this] {
        if (m_state == State::InClassroom) {
            Q_EMIT classroomLost();
            return;
        }
        // A socket error may be followed by the socket's close: the
        // reconnect it scheduled goes on.
        if (m_state == State::ReconnectPause || m_state == State::Idle || m_disconnecting)
            return;
        // The server closed the connection while the road waited on it:
        // say so, the status bar alone is easily missed.
        const bool onServer = m_state == State::ConnectingCampus || m_state == State::CampusLogin
            || m_state == State::AwaitingCourses || m_state == State::AwaitingCategories
            || m_state == State::Pausing || m_state == State::Booking
            || m_state == State::FetchingCourseware || m_state == State::ConnectingClassroom;
        if (onServer) {
            Global::WriteErrorLog(u"Form1"_s, u"RemoteSync_DisConnected"_s,
                u"the server closed the connection in "_s + stateName(m_state), 0);
            fail(systemTitle(), tr("服务器断开了连接，请稍后再试一次"));
            return;
        }
        Disconnect();
    });
    connect(&remote, &clsRemoteSync::SocketError, this,
        [this](qint16 number, const QString &description, qint32, const QString &) {
            if (m_state == State::InClassroom) {
                Q_EMIT classroomLost();
                return;
            }
            onSocketError(number, description);
        });
    connect(&remote, &clsRemoteSync::GetMsgCampusLogIn, this, &CampusRoad::onCampusLogIn);
    connect(&remote, &clsRemoteSync::GetMsgCampusCourseList, this, &CampusRoad::onCourseList);
    connect(&remote, &clsRemoteSync::GetMsgCampusList, this, &CampusRoad::onCategoryList);

    connect(&m_deps.login, &QDialog::accepted, this, [this] {
        if (m_state != State::LoggingIn)
            return;
        m_deps.session.UserName = m_deps.login.UserName;
        m_deps.session.Password = m_deps.login.Password;
        m_reconnectTries = 0;
        m_reconnecting = false;
        lookUp();
    });
    connect(&m_deps.login, &QDialog::rejected, this, [this] {
        if (m_state == State::LoggingIn) {
            setState(State::Idle);
            Q_EMIT disconnected();
        }
    });
    connect(&m_deps.tip, &FrmTip::cancelled, this, &CampusRoad::onTipCancelled);
    connect(&m_deps.subscribe, &QDialog::finished, this, &CampusRoad::onBookingClosed);
    connect(&m_deps.subscribe, &FrmSubscribe::enterPressed, this, &CampusRoad::onEnterPressed);
    // Every reload of the booking list releases the student's choices on
    // the campus server (not the bookings: the booked list stays as it is).
    connect(&m_deps.subscribe, &FrmSubscribe::listReloading, this,
        [this](const QList<qint32> &courseIds) {
            for (const qint32 id : courseIds)
                m_deps.remote.SendCampusChooseCourseMsg(id, mvCANCEL);
        });
    connect(&m_fetch, &CoursewareDownloader::progress, &m_deps.tip, &FrmTip::setProgress);
    connect(&m_fetch, &CoursewareDownloader::finished, this,
        [this](CoursewareDownloader::Outcome outcome, const QString &, const QString &error) {
            onFetchFinished(outcome, error);
        });
}

CampusRoad::~CampusRoad() = default;

void CampusRoad::setTiming(const Timing &timing)
{
    m_timing = timing;
    m_listTimer.setInterval(timing.listLimitMs);
    m_pauseTimer.setInterval(timing.bookingPauseMs);
    m_pages->setTimeLimit(timing.pageLimitMs);
}

QString CampusRoad::stateName(State state)
{
    return QString::fromLatin1(QMetaEnum::fromType<State>().valueToKey(int(state)));
}

void CampusRoad::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    Q_EMIT stateChanged(state);
}

void CampusRoad::Connect()
{
    if (m_state != State::Idle)
        return;
    m_silent = false;
    Q_EMIT connectStarted();
    setState(State::LoggingIn);
    m_deps.login.open();
}

void CampusRoad::Return()
{
    if (m_state != State::Idle || m_deps.session.UserName.isEmpty()
        || m_deps.session.CurrentCourse.CourseID == 0) {
        // No road to take now: the try ends as a failed one would, so the
        // return goes on to its next.
        Global::WriteErrorLog(u"Form1"_s, u"Return"_s,
            u"no return from "_s + stateName(m_state) + u" for course "_s
                + QString::number(m_deps.session.CurrentCourse.CourseID),
            0);
        QTimer::singleShot(0, this, [this] { Q_EMIT disconnected(); });
        return;
    }
    m_silent = true;
    m_reconnectTries = 0;
    m_reconnecting = false;
    lookUp();
}

void CampusRoad::probeCampus(std::function<void(bool reachable)> answer)
{
    bool portOk = false;
    const quint16 port = m_campusPort.trimmed().toUShort(&portOk);
    if (m_campusAddress.isEmpty() || !portOk || port == 0) {
        QTimer::singleShot(0, this, [answer] { answer(false); });
        return;
    }
    auto *socket = new QTcpSocket(this);
    auto done = std::make_shared<std::function<void(bool)>>(std::move(answer));
    const auto finish = [socket, done](bool reachable) {
        if (!*done)
            return;
        const auto call = std::exchange(*done, nullptr);
        socket->abort();
        socket->deleteLater();
        call(reachable);
    };
    connect(socket, &QTcpSocket::connected, socket, [finish] { finish(true); });
    connect(socket, &QTcpSocket::errorOccurred, socket, [finish] { finish(false); });
    QTimer::singleShot(900, socket, [finish] { finish(false); });
    socket->connectToHost(m_campusAddress, port);
}

void CampusRoad::inform(const QString &title, const QString &text)
{
    if (m_silent) {
        Global::WriteErrorLog(u"Form1"_s, u"Return"_s, text, 0);
        return;
    }
    m_deps.prompter.inform(title, text);
}

void CampusRoad::status(const QString &text)
{
    // A return shows its own progress.
    if (!m_silent)
        Q_EMIT connectionStatus(text);
}

void CampusRoad::ConnectAs(const QString &code, const QString &password)
{
    Connect();
    if (m_state != State::LoggingIn)
        return;
    m_deps.login.fill(code, password);
    m_deps.login.confirm();
}

// The user number, then the campus address, then the connection. Also the
// road of a reconnect after a socket error.
void CampusRoad::lookUp()
{
    setState(State::LookingUpUser);
    m_deps.tip.setProgressVisible(false);
    m_deps.tip.SetDisplayString(tr("正在连接校园..."));
    if (!m_silent)
        m_deps.tip.show();
    m_pages->setWebHost(m_deps.webHost());
    m_pages->searchUserID(m_deps.session.UserName);
}

void CampusRoad::onUserId(bool ok, const QString &userId, const QString &error)
{
    if (m_state != State::LookingUpUser)
        return;
    if (!ok) {
        Global::WriteErrorLog(u"Form1"_s, u"searchUserID"_s, error, 0);
        fail(systemTitle(), tr("无法从网站取得用户编号（%1），请稍后再试一次").arg(error));
        return;
    }
    m_deps.login.UserID = userId;
    m_deps.session.UserID = userId;
    m_deps.session.bCampusPhase = true;
    setState(State::LookingUpAddress);
    m_pages->DoBalance(m_deps.serverSettings().CampusServerIP);
}

void CampusRoad::onBalance(const QString &address, bool fromFallback, const QString &error)
{
    if (m_state != State::LookingUpAddress)
        return;
    if (fromFallback)
        Global::WriteErrorLog(u"Form1"_s, u"DoBalance"_s,
            error + u"; the setting CampusServerIP is used: "_s + address, 0);
    setState(State::ConnectingCampus);
    m_campusAddress = address;
    m_campusPort = m_deps.serverSettings().CampusServerPort;
    if (!m_deps.remote.Connect(address, m_campusPort)) {
        Disconnect();
        return;
    }
    m_listTimer.start(m_timing.connectLimitMs);
    status(m_reconnecting ? tr("连接服务器") : tr("连接校园"));
}

void CampusRoad::onConnected()
{
    SessionState &session = m_deps.session;
    clsRemoteSync &remote = m_deps.remote;
    if (m_state == State::ConnectingCampus && session.bCampusPhase) {
        session.MyID = session.UserID.toInt();
        remote.setMyID(session.MyID);
        remote.SendCampusLoginMsg(session.Password);
        session.bCampusPhase = false;
        m_deps.tip.SetDisplayString(tr("正在登录校园..."));
        setState(State::CampusLogin);
        m_listTimer.start(m_timing.listLimitMs);
    } else if (m_state == State::ConnectingClassroom && !session.bCampusPhase) {
        m_listTimer.stop();
        session.MyID = session.UserID.toInt();
        remote.setMyID(session.MyID);
        remote.Login(1, session.Password);
        session.bCampusPhase = true;
        setState(State::InClassroom);
        Q_EMIT classroomConnected();
    }
}

void CampusRoad::onCampusLogIn(bool result)
{
    if (m_state != State::CampusLogin)
        return;
    m_listTimer.stop();
    if (!result) {
        fail(tr("登录错误提示："), tr("失败信息: 密码错误或您无权参加本次语音交流活动。   "));
        return;
    }
    m_reconnectTries = 0;
    m_reconnecting = false;
    m_deps.tip.SetDisplayString(tr("正在获取课件列表..."));
    m_allCoursesExist = false;
    setState(State::AwaitingCourses);
    trace(u"RemoteSync_GetMsgCampusLogIn,RemoteSync.SendCampusCourseListMsg mvSTUDENTLIST"_s);
    m_deps.remote.SendCampusCourseListMsg(mvSTUDENTLIST);
    trace(u"RemoteSync_GetMsgCampusLogIn,RemoteSync.SendCampusCourseListMsg mvALLLIST"_s);
    m_deps.remote.SendCampusCourseListMsg(mvALLLIST);
    m_listTimer.start(m_timing.listLimitMs);
}

void CampusRoad::onCourseList(qint32 count, const QString &text, qint32 verb)
{
    SessionState &session = m_deps.session;
    if (verb == mvSTUDENTLIST) {
        trace(u"RemoteSync_GetMsgCampusCourseList,Case mvSTUDENTLIST"_s);
        m_deps.subscribe.courseList()->clear();
        if (count > 0) {
            const auto parsed = ListTexts::parseCourseList(text, count);
            logRefused(parsed, u"RemoteSync_GetMsgCampusCourseList"_s);
            session.BookedCourses = parsed.records;
            // A courseware file name is checked here, once: a name that is
            // not a plain file name never reaches a path, a URL or a key;
            // the course stays listed and says why it cannot be entered.
            m_refusedNames.clear();
            for (ListTexts::CourseRecord &course : session.BookedCourses) {
                if (IsPlainFileName(course.FileName))
                    continue;
                Global::WriteErrorLog(u"Form1"_s, u"RemoteSync_GetMsgCampusCourseList"_s,
                    u"course %1: courseware file name refused: \"%2\""_s.arg(course.CourseID)
                        .arg(course.FileName),
                    0);
                m_refusedNames.insert(course.CourseID, course.FileName);
                course.FileName.clear();
            }
        }
        return;
    }
    if (verb != mvALLLIST) {
        trace(u"RemoteSync_GetMsgCampusCourseList,Case Else"_s);
        return;
    }
    trace(u"RemoteSync_GetMsgCampusCourseList,Case mvALLLIST"_s);
    m_allCoursesExist = count > 0;
    if (count > 0) {
        const auto parsed = ListTexts::parseCourseList(text, count);
        logRefused(parsed, u"RemoteSync_GetMsgCampusCourseList"_s);
        session.AllCourses = parsed.records;
    }
    if (m_state != State::AwaitingCourses)
        return;
    m_listTimer.stop();
    if (!m_allCoursesExist) {
        fail(systemTitle(), tr("系统无可预约的课程！"));
        return;
    }
    m_deps.tip.SetDisplayString(tr("正在获取分类列表..."));
    setState(State::AwaitingCategories);
    m_deps.remote.SendCampusListMsg();
    m_listTimer.start(m_timing.listLimitMs);
}

void CampusRoad::onCategoryList(qint32 count, const QString &text)
{
    if (m_state != State::AwaitingCategories)
        return;
    m_listTimer.stop();
    m_deps.tip.hide();
    if (count > 0) {
        const auto parsed = ListTexts::parseCategoryList(text, count);
        logRefused(parsed, u"RemoteSync_GetMsgCampusList"_s);
        m_deps.session.Categories = parsed.records;
    }
    if (m_silent) {
        chooseAgain();
        return;
    }
    m_deps.subscribe.classList()->fillCategories();
    // Choose and enter.
    m_deps.subscribe.ReloadList();
    m_deps.subscribe.hide();
    setState(State::Pausing);
    m_pauseTimer.start();
    // The student sees the pause go by in the login dialog.
    m_deps.login.showProgress(m_pauseTimer.interval());
}

void CampusRoad::showBooking()
{
    m_deps.login.endProgress();
    if (m_state != State::Pausing)
        return;
    FrmSubscribe &subscribe = m_deps.subscribe;
    subscribe.prepareStudentView();
    setState(State::Booking);
    subscribe.open();
    if (m_autoEnter != 0) {
        if (subscribe.selectCourse(m_autoEnter))
            subscribe.pressEnter();
        else
            Global::WriteErrorLog(u"FrmSubscribe"_s, u"AutoEnter"_s,
                u"course %1 is not booked"_s.arg(m_autoEnter), 0);
    }
}

void CampusRoad::onBookingClosed()
{
    if (m_state == State::FetchingCourseware)
        m_fetch.cancel();
    if (m_state != State::Booking && m_state != State::FetchingCourseware)
        return;
    const ListTexts::CourseRecord &course = m_deps.session.CurrentCourse;
    if (m_deps.subscribe.bEnter && !course.ServerAddress.isEmpty() && course.ServerPort != 0)
        enterChosenCourse();
    else
        Disconnect();
}

QString CampusRoad::chosenUrl() const
{
    const SessionState &session = m_deps.session;
    const int index = session.CurrentCategoryIndex;
    return index >= 0 && index < session.Categories.size() ? CourseCatalogue::CoursewareUrl(
               session.Categories.at(index), session.CurrentCoursewareFile)
                                                           : QString();
}

// The enter button of the booking dialog, with the chosen course already
// the current one. The dialog stays open until the class can be entered:
// a missing courseware file is fetched there and then, with its progress.
void CampusRoad::onEnterPressed(qint32 courseId)
{
    if (m_state != State::Booking)
        return;
    const SessionState &session = m_deps.session;
    const QString fileName = session.CurrentCoursewareFile;
    if (fileName.isEmpty() || !IsPlainFileName(fileName)) {
        const QString refused = m_refusedNames.value(courseId, fileName);
        m_deps.prompter.inform(systemTitle(),
            tr("课件文件名无效（%1），不能进入教室，请与老师联系").arg(refused),
            Global::PromptIcon::Warning);
        return;
    }
    const QString url = chosenUrl();
    const int courseState = m_deps.catalogue.CourseState(url, fileName);
    if (courseState == 2) {
        confirmEnter(courseId);
        return;
    }
    if (courseState == 0 && !url.isEmpty())
        m_deps.catalogue.WriteEnterEntry(url, courseId);
    if (url.isEmpty()) {
        m_deps.prompter.inform(systemTitle(),
            tr("这堂课的课件还没有下载完，不能进入教室，请稍后再试一次"),
            Global::PromptIcon::Warning);
        return;
    }
    m_fetchCourse = courseId;
    m_fetchUrl = url;
    setState(State::FetchingCourseware);
    FrmTip &tip = m_deps.tip;
    tip.SetDisplayString(tr("正在下载这堂课的课件，下载完就进入教室..."));
    tip.setProgress(0, 0);
    tip.setProgressVisible(true);
    tip.show();
    tip.raise();
    m_fetch.start(QUrl(url), m_deps.catalogue.coursewareFolder(), fileName);
}

void CampusRoad::onFetchFinished(CoursewareDownloader::Outcome outcome, const QString &error)
{
    if (m_state != State::FetchingCourseware)
        return;
    m_deps.tip.hide();
    m_deps.tip.setProgressVisible(false);
    setState(State::Booking);
    using Outcome = CoursewareDownloader::Outcome;
    if (outcome == Outcome::Done) {
        m_deps.catalogue.MarkDownloaded(m_fetchUrl);
        confirmEnter(m_fetchCourse);
        return;
    }
    Global::WriteErrorLog(u"FrmSubscribe"_s, u"EnterCourse"_s,
        u"courseware %1 not fetched: %2"_s.arg(m_fetchUrl, error), 0);
    if (outcome == Outcome::Cancelled)
        return; // the student called it off; the dialog stays
    m_deps.prompter.inform(systemTitle(),
        tr("这堂课的课件下载失败（%1），请稍后再按“进入”").arg(error), Global::PromptIcon::Warning);
    Global::SetShowFlag(m_deps.catalogue.appName());
}

void CampusRoad::onTipCancelled()
{
    if (m_state == State::FetchingCourseware) {
        m_fetch.cancel();
        return;
    }
    Disconnect();
}

void CampusRoad::confirmEnter(qint32 courseId)
{
    const QString url = chosenUrl();
    if (!url.isEmpty())
        m_deps.catalogue.MarkBegun(url);
    m_deps.remote.SendCampusChooseCourseMsg(courseId, mvChoose);
    m_deps.subscribe.bEnter = true;
    m_deps.subscribe.accept();
}

// A return: the same course chosen again from the fresh booked list (its
// classroom may have moved), no dialog.
void CampusRoad::chooseAgain()
{
    SessionState &session = m_deps.session;
    const qint32 id = session.CurrentCourse.CourseID;
    for (const ListTexts::CourseRecord &course : std::as_const(session.BookedCourses)) {
        if (course.CourseID == id && !course.FileName.isEmpty())
            session.CurrentCourse = course;
    }
    session.CurrentCoursewareFile = session.CurrentCourse.FileName;
    for (int i = 0; i < session.Categories.size(); ++i) {
        if (session.Categories.at(i).CategoryID == session.CurrentCourse.CategoryID)
            session.CurrentCategoryIndex = i;
    }
    m_deps.remote.SendCampusChooseCourseMsg(id, mvChoose);
    enterChosenCourse();
}

void CampusRoad::enterChosenCourse()
{
    SessionState &session = m_deps.session;
    clsRemoteSync &remote = m_deps.remote;
    remote.setbEnabled(true);
    // Leaving the campus server (the booking dialog is closed): its close
    // is no failure of the road.
    m_disconnecting = true;
    remote.Disconnect();
    m_disconnecting = false;

    const QString fileName = session.CurrentCoursewareFile;
    const QString url = chosenUrl();
    if (!IsPlainFileName(fileName) || m_deps.catalogue.CourseState(url, fileName) != 2) {
        // Checked at the enter button; gone since (or a return whose file
        // went away).
        fail(systemTitle(), tr("这堂课的课件还没有下载完，不能进入教室，请稍后再试一次"));
        return;
    }
    const ListTexts::CourseRecord course = session.CurrentCourse;
    setState(State::ConnectingClassroom);
    if (!remote.Connect(course.ServerAddress, QString::number(course.ServerPort))) {
        Disconnect();
        return;
    }
    m_listTimer.start(m_timing.connectLimitMs);
    status(tr("正在连接"));
    Q_EMIT enteringClassroom(course);
}

void CampusRoad::onSocketError(qint16 number, const QString &description)
{
    if (m_silent) {
        // A return tries again on its own schedule.
        Global::WriteErrorLog(u"Form1"_s, u"Return"_s,
            u"%1 (%2) in %3"_s.arg(description).arg(number).arg(stateName(m_state)), 0);
        Disconnect();
        return;
    }
    if (m_deps.remote.State().toInt() != 9) {
        m_deps.prompter.show(
            {QString(), description + u"\r\n"_s + tr("请稍后再试一次"), Global::PromptIcon::None});
        Disconnect();
        return;
    }
    if (m_socketErrorBusy)
        return;
    // An address nobody knows stays unknown however often it is tried:
    // say what happened instead of reconnecting.
    if (number == HostNotFound) {
        Global::WriteErrorLog(u"Form1"_s, u"RemoteSync_SocketError"_s,
            u"%1 (%2): %3"_s.arg(description).arg(number).arg(m_deps.remote.RemoteIP()), 0);
        fail(systemTitle(),
            tr("找不到服务器地址“%1”，请检查服务器设置或稍后再试一次")
                .arg(m_deps.remote.RemoteIP().trimmed()));
        return;
    }
    m_socketErrorBusy = true;
    // A refused connection leaves the socket in its error state, so a second
    // error while the message or the options dialog is open is ignored.
    if (number == ConnectionRefused && m_deps.session.bCampusPhase) {
        settleUnconnected();
        m_deps.prompter.show(
            {QString(), tr("无法连接服务器，请检查服务器设置是否正确！"), Global::PromptIcon::None},
            [this](Global::PromptAnswer) {
                if (m_deps.showOptions)
                    m_deps.showOptions([this] { m_socketErrorBusy = false; });
                else
                    m_socketErrorBusy = false;
            });
        return;
    }
    if (number == ConnectionRefused) {
        settleUnconnected();
        m_deps.prompter.show({QString(), tr("所选课程尚未开始！"), Global::PromptIcon::None},
            [this](Global::PromptAnswer) { m_socketErrorBusy = false; });
        return;
    }
    // Any other error: back to the campus server, a few times in a row with
    // growing pauses, then give up.
    if (m_reconnectTries >= m_timing.reconnectTries) {
        Global::WriteErrorLog(u"Form1"_s, u"RemoteSync_SocketError"_s,
            u"%1 (%2); no further reconnect"_s.arg(description).arg(number), 0);
        m_reconnectTries = 0;
        m_reconnecting = false;
        Disconnect();
        m_deps.prompter.show({systemTitle(), tr("与服务器的连接多次中断，请检查网络后再连接"),
                                 Global::PromptIcon::Warning},
            [this](Global::PromptAnswer) { m_socketErrorBusy = false; });
        return;
    }
    Global::WriteErrorLog(u"Form1"_s, u"RemoteSync_SocketError"_s,
        u"%1 (%2); reconnecting"_s.arg(description).arg(number), 0);
    const int pause = m_timing.reconnectPauseMs << m_reconnectTries;
    ++m_reconnectTries;
    m_reconnecting = true;
    m_listTimer.stop();
    m_pauseTimer.stop();
    m_deps.login.endProgress();
    m_pages->cancel();
    if (m_state == State::Booking) {
        setState(State::ReconnectPause);
        m_deps.subscribe.reject();
    }
    setState(State::ReconnectPause);
    m_deps.session.bCampusPhase = true;
    m_reconnectTimer.start(pause);
    m_socketErrorBusy = false;
}

// The one timer of the road's server waits: the connection, the login
// answer and each list.
void CampusRoad::onListTimeout()
{
    QString text;
    switch (m_state) {
    case State::ConnectingCampus:
        text
            = tr("连接校园服务器（%1）超时，请检查网络或服务器设置后再试一次").arg(m_campusAddress);
        break;
    case State::CampusLogin: text = tr("校园服务器没有回答登录，请稍后再试一次"); break;
    case State::AwaitingCourses:
    case State::AwaitingCategories: text = tr("校园服务器没有送来课程列表，请稍后再试一次"); break;
    case State::ConnectingClassroom: text = tr("连接教室服务器超时，请稍后再试一次"); break;
    default: return;
    }
    Global::WriteErrorLog(u"Form1"_s, u"RemoteSync_GetMsgCampusLogIn"_s,
        u"no answer in %1 within %2 ms"_s.arg(stateName(m_state)).arg(m_listTimer.interval()), 0);
    fail(systemTitle(), text);
}

void CampusRoad::fail(const QString &title, const QString &text)
{
    m_deps.tip.hide();
    inform(title, text);
    Disconnect();
}

void CampusRoad::stopWaits()
{
    if (m_fetch.isBusy())
        m_fetch.cancel();
    m_listTimer.stop();
    m_pauseTimer.stop();
    m_reconnectTimer.stop();
    m_deps.login.endProgress();
    m_pages->cancel();
    m_reconnecting = false;
    m_deps.tip.hide();
}

void CampusRoad::settleUnconnected()
{
    stopWaits();
    setState(State::Idle);
    Q_EMIT connectionStatus(tr("断开"));
    Q_EMIT disconnected();
}

void CampusRoad::Disconnect()
{
    if (m_disconnecting)
        return;
    m_disconnecting = true;
    stopWaits();
    const State was = m_state;
    setState(State::Idle);
    if (was == State::Booking || was == State::FetchingCourseware)
        m_deps.subscribe.reject();
    if (was == State::LoggingIn)
        m_deps.login.reject();
    status(tr("断开"));
    m_deps.remote.Disconnect();
    m_silent = false;
    Q_EMIT disconnected();
    m_disconnecting = false;
}
