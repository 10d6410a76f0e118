// The real program against the local servers, as a student would run it:
// each test starts lumo-classroom-sim with its own configuration and
// LumoStudent with the scripted-run options, and reads what the program
// reports (events as JSON lines) and what the servers log.
#include "client/shell/tests/programrun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kWrongPassword
    = QStringLiteral("失败信息: 密码错误或您无权参加本次语音交流活动。   ");
const QString kNoCourse = QStringLiteral("系统无可预约的课程！");
const QString kNotDownloaded
    = QStringLiteral("这堂课的课件还没有下载完，不能进入教室，请稍后再试一次");
const QString kNoUserNumber = QStringLiteral("无法从网站取得用户编号");
const QString kCannotConnect = QStringLiteral("无法连接服务器，请检查服务器设置是否正确！");

// A port that nothing listens on.
int ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class E2eTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFile::exists(ProgramRun::binFolder() + QStringLiteral("LumoStudent"))
            || !QFile::exists(ProgramRun::binFolder() + QStringLiteral("lumo-classroom-sim")))
            GTEST_SKIP() << "LumoStudent or lumo-classroom-sim not built";
        ASSERT_TRUE(dir.isValid());
        QDir().mkpath(dataDir());
        QDir().mkpath(courses());
    }

    QString dataDir() const { return dir.path() + QStringLiteral("/student"); }
    QString courses() const { return dir.path() + QStringLiteral("/courses"); }
    QString courseFolder() const { return dataDir() + QStringLiteral("/Course/"); }

    // The demo course served by the web server (and, with `present`, on the
    // student's disk already).
    void provideDemoCourse(bool present)
    {
        const QString built
            = ProgramRun::binFolder() + QStringLiteral("demo/courses/campus7/demo.lsn");
        QDir().mkpath(courses() + QStringLiteral("/campus7"));
        QFile::copy(built, courses() + QStringLiteral("/campus7/demo.lsn"));
        if (present) {
            QDir().mkpath(courseFolder());
            QFile::copy(built, courseFolder() + QStringLiteral("demo.lsn"));
        }
    }

    bool startSim(const std::function<void(QJsonObject &)> &change = {})
    {
        sim = std::make_unique<SimRun>(dir.path(), SimRun::DemoConfig(courses(), change));
        return sim->ready();
    }

    void startStudent(const QString &user, const QString &password, QStringList extra = {},
        int campusPort = 0, int webPort = 0)
    {
        QStringList args{QStringLiteral("--data"), dataDir(), QStringLiteral("--auto"),
            QStringLiteral("--screenshots"), dir.path() + QStringLiteral("/pictures"),
            QStringLiteral("--campus"),
            QStringLiteral("127.0.0.1:%1").arg(campusPort ? campusPort : sim->campus()),
            QStringLiteral("--web"),
            QStringLiteral("127.0.0.1:%1").arg(webPort ? webPort : sim->web()),
            QStringLiteral("--user"), user, QStringLiteral("--password"), password};
        args += extra;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(QStringLiteral("DISPLAY"))
            && !env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        student = std::make_unique<ProgramRun>(QStringLiteral("LumoStudent"), args, env);
        ASSERT_TRUE(student->started());
    }

    QString both() const
    {
        return QStringLiteral("=== student ===\n") + student->transcript()
            + (sim ? QStringLiteral("\n=== sim ===\n") + sim->program().transcript() : QString());
    }

    QTemporaryDir dir;
    std::unique_ptr<SimRun> sim;
    std::unique_ptr<ProgramRun> student;
};

} // namespace

TEST_F(E2eTest, HelpListsTheScriptedRunOptions)
{
    ProgramRun help(QStringLiteral("LumoStudent"), {QStringLiteral("--help")});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return help.process().state() == QProcess::NotRunning; }, 10000));
    const QByteArray text = help.standardOutput();
    for (const char *option :
        {"--campus", "--web", "--user", "--password", "--enter", "--data", "--screenshots"})
        EXPECT_TRUE(text.contains(option)) << option;
    EXPECT_EQ(help.process().exitCode(), 0);
}

TEST_F(E2eTest, LoginReachesTheBookingDialog)
{
    provideDemoCourse(true);
    ASSERT_TRUE(startSim());
    startStudent(QStringLiteral("demo"), QStringLiteral("demo"));
    EXPECT_TRUE(
        student->waitForEvent(QStringLiteral("stage"), QStringLiteral("FrmSubscribe"), 20000))
        << both().toStdString();
    // The settings and the log went to the data folder only.
    EXPECT_TRUE(QFile::exists(dataDir() + QStringLiteral("/config/DAZoraZuru.conf")));
}

TEST_F(E2eTest, WrongPasswordIsRefusedWithItsMessage)
{
    ASSERT_TRUE(startSim());
    startStudent(QStringLiteral("demo"), QStringLiteral("not-the-password"));
    EXPECT_TRUE(student->waitForEvent(QStringLiteral("prompt"), kWrongPassword, 20000))
        << both().toStdString();
    EXPECT_FALSE(student->hasEvent(QStringLiteral("stage"), QStringLiteral("FrmSubscribe")));
}

TEST_F(E2eTest, NoBookableCourseSaysSo)
{
    ASSERT_TRUE(
        startSim([](QJsonObject &root) { root.insert(QStringLiteral("courses"), QJsonArray()); }));
    startStudent(QStringLiteral("demo"), QStringLiteral("demo"));
    EXPECT_TRUE(student->waitForEvent(QStringLiteral("prompt"), kNoCourse, 20000))
        << both().toStdString();
}

TEST_F(E2eTest, EnterWithCoursewarePresentConnectsToTheClassroom)
{
    provideDemoCourse(true);
    ASSERT_TRUE(startSim());
    startStudent(QStringLiteral("demo"), QStringLiteral("demo"),
        {QStringLiteral("--enter"), QStringLiteral("12")});
    EXPECT_TRUE(student->waitForEvent(QStringLiteral("stage"), QStringLiteral("正在连接"), 25000))
        << both().toStdString();
    // The classroom server (the row's address and port) let the student in.
    EXPECT_TRUE(sim->program().waitFor(
        [](const QJsonObject &line) {
            return line.value(QStringLiteral("sim")).toString() == QStringLiteral("joined")
                && line.value(QStringLiteral("classroom")).toString() == QStringLiteral("demo")
                && line.value(QStringLiteral("UserID")).toInt() == 1001;
        },
        15000))
        << both().toStdString();
}

TEST_F(E2eTest, EnterWithCoursewareMissingFetchesItAndEntersTheClass)
{
    provideDemoCourse(false);
    ASSERT_TRUE(startSim());
    startStudent(QStringLiteral("demo"), QStringLiteral("demo"),
        {QStringLiteral("--enter"), QStringLiteral("12")});
    // Too early is no failure: the booking dialog fetches the file with its
    // progress and goes on into the class.
    EXPECT_TRUE(student->waitForEvent(QStringLiteral("entry"), QStringLiteral("InClass"), 30000))
        << both().toStdString();
    EXPECT_TRUE(QFile::exists(courseFolder() + QStringLiteral("demo.lsn")));
    EXPECT_FALSE(student->hasEvent(QStringLiteral("prompt"), kNotDownloaded));
}

TEST_F(E2eTest, ASecondStartFindsTheBookingAndEntersTheBookedClass)
{
    provideDemoCourse(true);
    ASSERT_TRUE(startSim());
    // The first start only looks at the booked courses and is closed; its
    // booking list went out with the cancel verb for the booked course.
    startStudent(QStringLiteral("demo"), QStringLiteral("demo"));
    ASSERT_TRUE(student->waitForEvent(QStringLiteral("session"), QStringLiteral("Booking"), 30000))
        << both().toStdString();
    ASSERT_TRUE(sim->program().waitFor([](const QJsonObject &line) {
        return line.value(QStringLiteral("sim")).toString() == QStringLiteral("campus-choose")
            && line.value(QStringLiteral("verb")).toInt() == 2;
    })) << both().toStdString();
    student->process().kill();
    student->process().waitForFinished(5000);
    // The second start enters the booked class.
    startStudent(QStringLiteral("demo"), QStringLiteral("demo"),
        {QStringLiteral("--enter"), QStringLiteral("12")});
    EXPECT_TRUE(student->waitForEvent(QStringLiteral("entry"), QStringLiteral("InClass"), 30000))
        << both().toStdString();
}

TEST_F(E2eTest, CampusServerDownShowsTheMessageThenTheOptions)
{
    ASSERT_TRUE(startSim());
    const int closed = ClosedPort();
    // The address page names the simulator's campus address; the port is
    // the held setting, and nothing listens there.
    startStudent(QStringLiteral("demo"), QStringLiteral("demo"), {}, closed);
    EXPECT_TRUE(student->waitForEvent(QStringLiteral("prompt"), kCannotConnect, 20000))
        << both().toStdString();
    EXPECT_TRUE(student->waitForEvent(QStringLiteral("stage"), QStringLiteral("frmOptions"), 10000))
        << both().toStdString();
}

TEST_F(E2eTest, WebPagesDownEndTheLoginWithAMessage)
{
    provideDemoCourse(true);
    ASSERT_TRUE(startSim());
    startStudent(QStringLiteral("demo"), QStringLiteral("demo"), {}, 0, ClosedPort());
    // Without the user-number page there is no number to log in with: the
    // attempt ends with the page's message instead of hanging, the window
    // stays up and the campus is never reached.
    EXPECT_TRUE(student->waitForEvent(QStringLiteral("prompt"), kNoUserNumber, 25000))
        << both().toStdString();
    EXPECT_EQ(student->process().state(), QProcess::Running);
    EXPECT_FALSE(student->hasEvent(QStringLiteral("stage"), QStringLiteral("FrmSubscribe")));
    for (const QJsonObject &line : sim->program().lines())
        EXPECT_NE(line.value(QStringLiteral("sim")).toString(), QStringLiteral("campus-login"));
}
