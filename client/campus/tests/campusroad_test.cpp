// The campus road against the simulator's campus, classroom and web servers
// in this process, with the real dialogs and a scripted prompt.
#include "client/campus/campusroad.h"
#include "client/campus/coursecatalogue.h"
#include "client/campus/coursewareredownload.h"
#include "client/campus/frmclasslist.h"
#include "client/campus/frmlogin.h"
#include "client/campus/frmsubscribe.h"
#include "client/campus/frmtip.h"
#include "client/campus/tests/rawhttpserver.h"
#include "client/campus/tests/testcourseware.h"
#include "client/session/sessionstate.h"
#include "common/apppaths.h"
#include "common/prompter.h"
#include "common/settingsstore.h"
#include "common/testsupport/testhome.h"
#include "companion/agent.h"
#include "protocol/clsremotesync.h"
#include "sim/core/campusserver.h"
#include "sim/core/simulator.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using State = CampusRoad::State;

namespace {

const char *const Config = R"({
  "courseFolder": "courses",
  "users": [
    {"code": "ann", "id": 11, "password": "pw", "nick": "ann"},
    {"code": "bob", "id": 12, "password": "pw2", "nick": "bob"}
  ],
  "categories": [{"id": 7, "name": "English", "text": "spoken English"}],
  "classrooms": [{"name": "a"}],
  "courses": [COURSES]
})";

const char *const OneCourse = R"({"id": 12, "category": 7, "file": "one.lsn", "teacher": "t",
    "description": "greetings", "classroom": "a", "booked": ["ann"]})";

class Road : public testing::Test
{
protected:
    void start(const char *courses = OneCourse, const QString &fileOverride = {})
    {
        const QString base = home.path() + u"/sim"_s;
        QDir().mkpath(base + u"/courses/campus7"_s);
        QFile file(base + u"/courses/campus7/one.lsn"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(courseware);
        file.close();
        QByteArray json(Config);
        json.replace("COURSES", courses);
        SimConfig config;
        QString error;
        ASSERT_TRUE(ParseSimConfig(json, base, config, error)) << error.toStdString();
        // The simulator's own configuration takes plain names only; a
        // hostile server is made by changing the course after reading it.
        if (!fileOverride.isEmpty())
            config.courses.first().file = fileOverride;
        Simulator::Options options;
        options.scriptStart = Simulator::ScriptStart::Never;
        sim = std::make_unique<Simulator>(
            config, options, [this](const QJsonObject &entry) { simLog.append(entry); });
        ASSERT_TRUE(sim->start(error)) << error.toStdString();
        const QJsonObject ports = sim->ports();
        webHost = u"127.0.0.1:%1"_s.arg(ports.value(u"web"_s).toInt());
        settings.CampusServerPort = QString::number(ports.value(u"campus"_s).toInt());
        classroomPort = ports.value(u"classroom"_s).toInt();
        makeRoad();
    }

    void makeRoad()
    {
        road = std::make_unique<CampusRoad>(
            CampusRoad::Dependencies{remote, session, prompter, catalogue, login, tip, subscribe,
                [this] { return settings; }, [this] { return webHost; },
                [this](std::function<void()> closed) {
                    ++optionsShown;
                    optionsClosed = std::move(closed);
                }});
        CampusRoad::Timing timing;
        timing.bookingPauseMs = 0;
        timing.listLimitMs = 3000;
        timing.pageLimitMs = 3000;
        timing.reconnectPauseMs = 20;
        road->setTiming(timing);
    }

    bool reach(State state, int ms = 8000)
    {
        return QTest::qWaitFor([&] { return road->state() == state; }, ms);
    }

    QStringList promptTexts() const
    {
        QStringList texts;
        for (const Global::Prompt &prompt : prompter.shown)
            texts.append(prompt.text);
        return texts;
    }

    bool simSaw(const QString &what, qint32 userId) const
    {
        for (const QJsonObject &entry : simLog) {
            if (entry.value(u"sim"_s).toString() == what
                && entry.value(u"UserID"_s).toInt() == userId)
                return true;
        }
        return false;
    }

    QString url(const QString &file = u"one.lsn"_s) const
    {
        return u"http://"_s + webHost + u"/CampusDir/campus7/"_s + file;
    }

    void placeCourseware()
    {
        QDir().mkpath(Global::CourseFolder());
        QFile file(Global::CourseFolder() + u"one.lsn"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(courseware);
    }

    TestHome home;
    const QByteArray courseware = TestCourseware::file(4096, 'L');
    Global::ScriptedPrompter prompter;
    clsRemoteSync remote;
    SessionState session;
    CourseCatalogue catalogue{Global::StudentAppName};
    frmLogin login{prompter};
    FrmTip tip;
    FrmSubscribe subscribe{session, catalogue, prompter};
    Global::ServerSettings settings{u"127.0.0.1"_s, u"2000"_s, u"2001"_s};
    QString webHost;
    int classroomPort = 0;
    int optionsShown = 0;
    std::function<void()> optionsClosed;
    QList<QJsonObject> simLog;
    std::unique_ptr<Simulator> sim;
    std::unique_ptr<CampusRoad> road;
};

// The pause before the booking dialog shows its progress in the login
// dialog, which goes when the booking dialog comes (or the road is left).
TEST_F(Road, PauseBeforeBookingShowsItsProgress)
{
    ASSERT_NO_FATAL_FAILURE(start());
    CampusRoad::Timing timing;
    timing.bookingPauseMs = 1500;
    timing.listLimitMs = 3000;
    timing.pageLimitMs = 3000;
    road->setTiming(timing);
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(reach(State::Pausing));
    EXPECT_TRUE(login.isVisible());
    EXPECT_TRUE(login.progressBar()->isVisible());
    EXPECT_FALSE(login.findChild<QDialogButtonBox *>()->isEnabled());
    const int early = login.progressBar()->value();
    EXPECT_TRUE(QTest::qWaitFor([&] { return login.progressBar()->value() > early + 20; }, 1400));
    EXPECT_EQ(road->state(), State::Pausing);
    ASSERT_TRUE(reach(State::Booking, 3000));
    EXPECT_FALSE(login.isVisible());
    EXPECT_FALSE(login.inProgress());
    // The dialog is a login dialog again when it next opens.
    road->Disconnect();
    road->Connect();
    EXPECT_TRUE(login.isVisible());
    EXPECT_FALSE(login.progressBar()->isVisible());
    EXPECT_TRUE(login.findChild<QDialogButtonBox *>()->isEnabled());
    login.reject();

    // Left during the pause: the progress goes with it.
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(reach(State::Pausing));
    road->Disconnect();
    EXPECT_FALSE(login.isVisible());
    EXPECT_FALSE(login.inProgress());
}

TEST_F(Road, LoginListsBookingAndEntersTheRowsClassroomWhenTheCoursewareIsThere)
{
    ASSERT_NO_FATAL_FAILURE(start());
    placeCourseware();
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(reach(State::Booking)) << CampusRoad::stateName(road->state()).toStdString();
    EXPECT_TRUE(prompter.shown.isEmpty()) << promptTexts().join(u'|').toStdString();
    EXPECT_EQ(session.UserID, u"11"_s);
    EXPECT_EQ(remote.MyID(), 11);
    EXPECT_EQ(subscribe.windowTitle(), u"用户预约的课程"_s);
    ASSERT_EQ(subscribe.courseList()->topLevelItemCount(), 1);
    EXPECT_EQ(subscribe.courseList()->topLevelItem(0)->text(0), u"12"_s);
    EXPECT_EQ(subscribe.courseList()->topLevelItem(0)->text(6), QString::number(classroomPort));
    EXPECT_EQ(subscribe.classList()->categoryBox()->itemText(0), u"[7]English"_s);
    EXPECT_EQ(
        catalogue.value(url()), u"CourseName=Course12;ClassBegin=0;over=1;CourseDesc=greetings;"_s);

    QSignalSpy entering(road.get(), &CampusRoad::enteringClassroom);
    // The only row is current at once: it is the one the student means.
    EXPECT_EQ(subscribe.courseList()->currentItem(), subscribe.courseList()->topLevelItem(0));
    // Enter without a row says so and stays.
    subscribe.courseList()->clearSelection();
    subscribe.courseList()->setCurrentItem(nullptr);
    subscribe.pressEnter();
    EXPECT_EQ(promptTexts(), QStringList{u"请选择一个课程"_s});
    EXPECT_EQ(road->state(), State::Booking);

    ASSERT_TRUE(subscribe.selectCourse(12));
    subscribe.pressEnter();
    ASSERT_TRUE(reach(State::InClassroom));
    EXPECT_EQ(entering.count(), 1);
    EXPECT_EQ(remote.RemotePort(), QString::number(classroomPort));
    EXPECT_TRUE(QTest::qWaitFor([&] { return simSaw(u"joined"_s, 11); }, 5000));
    EXPECT_TRUE(simSaw(u"campus-choose"_s, 11));
    EXPECT_TRUE(session.bCampusPhase);
    EXPECT_EQ(
        catalogue.value(url()), u"CourseName=Course12;ClassBegin=1;over=1;CourseDesc=greetings;"_s);

    // The classroom's end brings the road back to the start.
    QSignalSpy disconnected(road.get(), &CampusRoad::disconnected);
    road->Disconnect();
    EXPECT_EQ(road->state(), State::Idle);
    EXPECT_EQ(disconnected.count(), 1);
}

TEST_F(Road, RefusedLoginAndNoBookableCourseEndWithTheirMessages)
{
    ASSERT_NO_FATAL_FAILURE(start(""));
    road->ConnectAs(u"ann"_s, u"wrong"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.isEmpty(); }, 8000));
    EXPECT_EQ(prompter.shown.first().title, u"登录错误提示："_s);
    EXPECT_EQ(
        prompter.shown.first().text, u"失败信息: 密码错误或您无权参加本次语音交流活动。   "_s);
    EXPECT_EQ(road->state(), State::Idle);
    EXPECT_FALSE(tip.isVisible());

    prompter.shown.clear();
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.isEmpty(); }, 8000));
    EXPECT_EQ(promptTexts(), QStringList{u"系统无可预约的课程！"_s});
    EXPECT_EQ(prompter.shown.first().title, u"LumoUser 系统提示："_s);
    EXPECT_EQ(road->state(), State::Idle);

    // Empty fields keep the login dialog open.
    prompter.shown.clear();
    road->ConnectAs(u"  "_s, u"pw"_s);
    EXPECT_EQ(promptTexts(), QStringList{u"学员代码不能为空"_s});
    EXPECT_EQ(road->state(), State::LoggingIn);
    login.fill(u"ann"_s, QString());
    login.confirm();
    EXPECT_EQ(promptTexts().last(), u"密码不能为空"_s);
    login.reject();
    EXPECT_EQ(road->state(), State::Idle);
}

TEST_F(Road, MissingCoursewareIsFetchedAtTheEnterButtonAndAFailedFetchKeepsTheDialog)
{
    ASSERT_NO_FATAL_FAILURE(start());
    // The web server has not got the file yet.
    const QString served = home.path() + u"/sim/courses/campus7/one.lsn"_s;
    ASSERT_TRUE(QFile::rename(served, served + u".later"_s));
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(reach(State::Booking));
    ASSERT_TRUE(subscribe.selectCourse(12));
    subscribe.pressEnter();
    // Fetched there and then: it fails, says so, and the booking dialog
    // stays open for another try; the student is not dropped.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.isEmpty(); }, 8000));
    EXPECT_TRUE(promptTexts().first().startsWith(u"这堂课的课件下载失败"_s))
        << promptTexts().join(u'|').toStdString();
    EXPECT_EQ(road->state(), State::Booking);
    EXPECT_TRUE(subscribe.isVisible());
    EXPECT_FALSE(tip.isVisible());
    EXPECT_FALSE(simSaw(u"joined"_s, 11));

    // The file is there now: the same button fetches it, with its
    // progress, and enters.
    ASSERT_TRUE(QFile::rename(served + u".later"_s, served));
    prompter.shown.clear();
    QSignalSpy states(road.get(), &CampusRoad::stateChanged);
    subscribe.pressEnter();
    ASSERT_TRUE(reach(State::InClassroom));
    EXPECT_TRUE(prompter.shown.isEmpty()) << promptTexts().join(u'|').toStdString();
    EXPECT_EQ(states.first().first().value<State>(), State::FetchingCourseware);
    QFile file(Global::CourseFolder() + u"one.lsn"_s);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), courseware);
    EXPECT_EQ(CourseCatalogue::pairValue(catalogue.value(url()), u"over"_s), u"1"_s);
    EXPECT_TRUE(QTest::qWaitFor([&] { return simSaw(u"joined"_s, 11); }, 5000));
}

TEST_F(Road, ReloadReleasesChoicesAndASecondStartFindsTheBooking)
{
    ASSERT_NO_FATAL_FAILURE(start());
    placeCourseware();
    // The first start looks at the booking and leaves: its reload sent the
    // cancel verb for the booked course.
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(reach(State::Booking));
    EXPECT_TRUE(QTest::qWaitFor([&] { return simSaw(u"campus-choose"_s, 11); }, 3000));
    road->Disconnect();
    // The second start still finds it booked, and enters it.
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(reach(State::Booking));
    ASSERT_EQ(subscribe.courseList()->topLevelItemCount(), 1);
    subscribe.pressEnter();
    ASSERT_TRUE(reach(State::InClassroom));
    EXPECT_EQ(sim->campus()->bookedCourses(11), QList<qint32>{12});
}

TEST_F(Road, HostileCoursewareNameIsRefusedAndNothingIsWritten)
{
    ASSERT_NO_FATAL_FAILURE(start(OneCourse, u"../../evil.lsn"_s));
    road->setAutoEnter(12);
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.isEmpty(); }, 8000));
    EXPECT_EQ(prompter.shown.first().text,
        u"课件文件名无效（../../evil.lsn），不能进入教室，请与老师联系"_s)
        << promptTexts().join(u'|').toStdString();
    // The booking dialog stays; the other courses could still be entered.
    EXPECT_EQ(road->state(), State::Booking);
    road->Disconnect();
    EXPECT_FALSE(simSaw(u"joined"_s, 11));
    EXPECT_NE(home.errorLog().indexOf("../../evil.lsn"), -1);

    // The companion refuses the same name.
    Agent agent(Global::StudentAppName);
    agent.pass();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !agent.passRunning(); }, 8000));
    EXPECT_FALSE(QFile::exists(home.path() + u"/evil.lsn"_s));
    EXPECT_FALSE(QFile::exists(home.path() + u"/data/evil.lsn"_s));
    EXPECT_TRUE(QDir(Global::CourseFolder()).entryList(QDir::Files).isEmpty());
}

TEST_F(Road, RefusedCampusShowsOptionsOnceAndIgnoresASecondErrorMeanwhile)
{
    ASSERT_NO_FATAL_FAILURE(start());
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    settings.CampusServerPort = QString::number(closed.serverPort());
    closed.close();

    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return optionsShown > 0; }, 8000));
    EXPECT_EQ(promptTexts(), QStringList{u"无法连接服务器，请检查服务器设置是否正确！"_s});
    EXPECT_EQ(road->state(), State::Idle);
    EXPECT_EQ(remote.State(), u"9"_s);

    // While the options dialog is open a second error changes nothing.
    Q_EMIT remote.SocketError(10061, u"refused"_s, 0, u"clsRemoteSync"_s);
    Q_EMIT remote.SocketError(10053, u"aborted"_s, 0, u"clsRemoteSync"_s);
    EXPECT_EQ(optionsShown, 1);
    EXPECT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(road->state(), State::Idle);

    // Closed, the next error is handled again.
    optionsClosed();
    Q_EMIT remote.SocketError(10061, u"refused"_s, 0, u"clsRemoteSync"_s);
    EXPECT_EQ(optionsShown, 2);
}

TEST_F(Road, AccountPageFailuresFallBackOrSaySo)
{
    ASSERT_NO_FATAL_FAILURE(start());
    RawHttpServer pages;
    pages.answers["/askdesk/balance/getuserid.asp"] = {RawHttpServer::ok("text/plain", "11")};
    pages.answers["/askdesk/balance/"] = {RawHttpServer::status(500)};
    webHost = pages.host();
    road->ConnectAs(u"ann"_s, u"pw"_s);
    // The address page failed: the setting CampusServerIP is used.
    ASSERT_TRUE(reach(State::Booking)) << promptTexts().join(u'|').toStdString();
    EXPECT_NE(home.errorLog().indexOf("DoBalance"), -1);
    road->Disconnect();

    // No user number: a message, and no connection is tried.
    pages.answers["/askdesk/balance/getuserid.asp"] = {RawHttpServer::status(404)};
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.isEmpty(); }, 8000));
    EXPECT_TRUE(prompter.shown.first().text.startsWith(u"无法从网站取得用户编号"_s));
    EXPECT_EQ(road->state(), State::Idle);

    // A page that never answers ends at the time limit.
    prompter.shown.clear();
    pages.answers["/askdesk/balance/getuserid.asp"] = {"HTTP/1.1 200 OK\r\n", false};
    road->ConnectAs(u"ann"_s, u"pw"_s);
    EXPECT_EQ(road->state(), State::LookingUpUser);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.isEmpty(); }, 8000));
    EXPECT_EQ(road->state(), State::Idle);
}

// A campus server that does something odd with each connection: holds it
// without a word, closes it at once, or resets it once the login is in.
class OddCampus : public QObject
{
public:
    enum class Way { Silent, Close, Reset };
    explicit OddCampus(Way way)
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this, way] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                if (way == Way::Close)
                    socket->disconnectFromHost();
                else if (way == Way::Reset)
                    QObject::connect(
                        socket, &QTcpSocket::readyRead, socket, [socket] { socket->abort(); });
            }
        });
    }
    QTcpServer server;
    int connections = 0;
};

TEST_F(Road, EveryWaitOnTheCampusServerEndsWithAMessageThatSaysWhatHappened)
{
    ASSERT_NO_FATAL_FAILURE(start());
    CampusRoad::Timing timing;
    timing.bookingPauseMs = 0;
    timing.listLimitMs = 1500;
    timing.connectLimitMs = 1500;
    timing.pageLimitMs = 3000;
    timing.reconnectPauseMs = 20;
    road->setTiming(timing);
    RawHttpServer pages;
    pages.answers["/askdesk/balance/getuserid.asp"] = {RawHttpServer::ok("text/plain", "11")};
    pages.answers["/askdesk/balance/"] = {RawHttpServer::ok("text/plain", "127.0.0.1")};
    webHost = pages.host();
    const auto attempt = [&](OddCampus::Way way) {
        OddCampus campus(way);
        settings.CampusServerPort = QString::number(campus.server.serverPort());
        prompter.shown.clear();
        road->ConnectAs(u"ann"_s, u"pw"_s);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.isEmpty(); }, 10000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return road->state() == State::Idle; }, 3000));
        EXPECT_FALSE(tip.isVisible());
        return campus.connections;
    };
    // Accepted and never answered: the login wait ends at its limit.
    attempt(OddCampus::Way::Silent);
    EXPECT_EQ(promptTexts(), QStringList{u"校园服务器没有回答登录，请稍后再试一次"_s});
    // Accepted and closed at once: said, not only shown in the status bar.
    attempt(OddCampus::Way::Close);
    EXPECT_EQ(promptTexts(), QStringList{u"服务器断开了连接，请稍后再试一次"_s});
    // Reset once the login is in: the same, and no second connection.
    EXPECT_EQ(attempt(OddCampus::Way::Reset), 1);
    EXPECT_EQ(promptTexts(), QStringList{u"服务器断开了连接，请稍后再试一次"_s});

    // An address nobody knows is named, and not looked up again and again.
    pages.answers["/askdesk/balance/"] = {RawHttpServer::ok("text/plain", "no-such-host.invalid")};
    pages.requests.clear();
    prompter.shown.clear();
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.isEmpty(); }, 15000));
    EXPECT_EQ(promptTexts(),
        QStringList{u"找不到服务器地址“no-such-host.invalid”，请检查服务器设置或稍后再试一次"_s});
    EXPECT_EQ(road->state(), State::Idle);
    EXPECT_EQ(pages.requests.count("/askdesk/balance/"), 1);
}

TEST_F(Road, RedownloadReplacesTheFileOnlyWhenComplete)
{
    ASSERT_NO_FATAL_FAILURE(start());
    road->ConnectAs(u"ann"_s, u"pw"_s);
    ASSERT_TRUE(reach(State::Booking));
    ASSERT_TRUE(subscribe.selectCourse(12));
    subscribe.pressEnter();
    ASSERT_TRUE(reach(State::InClassroom));
    ASSERT_TRUE(QFile::remove(Global::CourseFolder() + u"one.lsn"_s));
    prompter.shown.clear();

    FrmTip window;
    CoursewareRedownload redownload({session, catalogue, prompter, window});
    QSignalSpy finished(&redownload, &CoursewareRedownload::finished);
    prompter.answers = {Global::PromptAnswer::Cancel};
    redownload.cmdDownload_Click();
    // Declined at the question: nothing fetched, and a waiting class entry
    // hears at once that no file comes.
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished.takeFirst().first().value<CoursewareDownloader::Outcome>(),
        CoursewareDownloader::Outcome::Cancelled);
    EXPECT_FALSE(redownload.downloader().isBusy());
    EXPECT_TRUE(home.errorLog().indexOf("cmdDownload_Click") < 0);

    redownload.cmdDownload_Click(); // answered OK
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(finished.wait(8000));
    EXPECT_EQ(finished.first().first().value<CoursewareDownloader::Outcome>(),
        CoursewareDownloader::Outcome::Done);
    QFile file(Global::CourseFolder() + u"one.lsn"_s);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), courseware);
    EXPECT_EQ(window.progressValue(), 100);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
