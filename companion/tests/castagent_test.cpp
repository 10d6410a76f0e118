// The companion downloader: the in-process agent against the simulator's
// web server, and the program with its lock and its end.
#include "client/campus/coursecatalogue.h"
#include "client/campus/tests/testcourseware.h"
#include "common/settingsstore.h"
#include "common/testsupport/testhome.h"
#include "companion/agent.h"
#include "sim/core/simwebserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class Companion : public testing::Test
{
protected:
    void SetUp() override
    {
        const QString base = home.path() + u"/web"_s;
        QDir().mkpath(base + u"/courses/campus7"_s);
        QFile file(base + u"/courses/campus7/a.lsn"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(payload);
        file.close();
        QString error;
        ASSERT_TRUE(ParseSimConfig(
            R"({"courseFolder": "courses", "classrooms": [{"name": "a"}]})", base, config, error))
            << error.toStdString();
        web = std::make_unique<SimWebServer>(config, [](const QJsonObject &) {});
        ASSERT_TRUE(web->listen());
        host = u"127.0.0.1:%1"_s.arg(web->port());
        courseFolder = home.path() + u"/data/Course/"_s;
        Global::SaveCoursePath(courseFolder, Global::StudentAppName);
    }

    QString url(const QString &file) const
    {
        return u"http://"_s + host + u"/CampusDir/campus7/"_s + file;
    }

    TestHome home;
    SimConfig config;
    std::unique_ptr<SimWebServer> web;
    QString host;
    QString courseFolder;
    const QByteArray payload = TestCourseware::file(200000, 'c');
    CourseCatalogue catalogue{Global::StudentAppName};
};

TEST_F(Companion, FetchesListedMissingFilesMarksThemOverAndRefusesOtherPaths)
{
    catalogue.WriteEnterEntry(url(u"a.lsn"_s), 12);
    catalogue.WriteEnterEntry(url(u"missing.lsn"_s), 13);
    // A name from a hostile server, as the booking list would have keyed it.
    catalogue.WriteEnterEntry(url(u"../../a.lsn"_s), 14);
    catalogue.WriteEnterEntry(u"http://"_s + host + u"/CampusDir/campus7/x/a.lsn"_s, 15);

    Agent agent(Global::StudentAppName);
    agent.pass();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !agent.passRunning(); }, 10000));

    QFile fetched(courseFolder + u"a.lsn"_s);
    ASSERT_TRUE(fetched.open(QIODevice::ReadOnly));
    EXPECT_EQ(fetched.readAll(), payload);
    EXPECT_EQ(catalogue.value(url(u"a.lsn"_s)), u"CourseName=Course12;ClassBegin=True;over=1;"_s);
    EXPECT_EQ(CourseCatalogue::pairValue(catalogue.value(url(u"missing.lsn"_s)), u"over"_s), u""_s);
    EXPECT_EQ(QDir(courseFolder).entryList(QDir::Files | QDir::Hidden), QStringList{u"a.lsn"_s});
    // Nothing beside the courseware folder.
    EXPECT_FALSE(QFile::exists(home.path() + u"/data/a.lsn"_s));
    EXPECT_FALSE(QFile::exists(home.path() + u"/a.lsn"_s));
    EXPECT_NE(home.errorLog().indexOf("missing.lsn"), -1);

    // A file that is already there is marked, not fetched again.
    catalogue.WriteEnterEntry(url(u"a.lsn"_s), 12);
    agent.pass();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !agent.passRunning(); }, 10000));
    EXPECT_EQ(catalogue.value(url(u"a.lsn"_s)), u"CourseName=Course12;ClassBegin=True;over=1;"_s);
}

#ifdef CASTAGENT_PATH
TEST_F(Companion, ProgramRunsOnceFetchesAndEndsWithTheClient)
{
    catalogue.WriteEnterEntry(url(u"a.lsn"_s), 12);
    // Stands in for the client: the companion watches this process.
    QProcess client;
    client.start(u"sleep"_s, {u"60"_s});
    ASSERT_TRUE(client.waitForStarted());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LUMO_CLIENT_PID"_s, QString::number(client.processId()));
    env.insert(u"LUMO_CASTAGENT_WATCH_MS"_s, u"100"_s);
    env.insert(u"LUMO_CASTAGENT_PASS_MS"_s, u"200"_s);
    QProcess agent;
    agent.setProcessEnvironment(env);
    agent.start(QStringLiteral(CASTAGENT_PATH), {});
    ASSERT_TRUE(agent.waitForStarted());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return catalogue.value(url(u"a.lsn"_s)).contains(u"over=1;"_s); }, 10000));

    // A second one finds the lock taken and ends at once.
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(CASTAGENT_PATH), {});
    EXPECT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(agent.state(), QProcess::Running);

    client.kill();
    client.waitForFinished();
    EXPECT_TRUE(agent.waitForFinished(5000));
    EXPECT_EQ(agent.exitCode(), 0);
}
#endif

} // namespace
