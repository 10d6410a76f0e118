// Downloads and account pages against hostile web servers on loopback:
// answers far larger than any page or course (made on the fly, never
// held), web pages and cut bodies in place of courseware, and names that
// step out of the course folder. Memory is the process's peak resident size.
#include "client/campus/accountpages.h"
#include "client/campus/coursecatalogue.h"
#include "client/campus/coursewareredownload.h"
#include "client/campus/frmtip.h"
#include "client/campus/tests/streamhttpserver.h"
#include "client/campus/tests/testcourseware.h"
#include "client/session/sessionstate.h"
#include "common/apppaths.h"
#include "common/prompter.h"
#include "common/settingsstore.h"
#include "common/testsupport/testhome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Outcome = CoursewareDownloader::Outcome;

namespace {

// Large enough that a copy of it in memory fails the limit below, small
// enough for a quick run. LUMO_HOSTILE_MB sets another size (1000 for the
// size seen in the field).
const qint64 LargeEntry = qint64(qEnvironmentVariableIntValue("LUMO_HOSTILE_MB") > 0
                                  ? qEnvironmentVariableIntValue("LUMO_HOSTILE_MB")
                                  : 300)
    << 20;
constexpr qint64 MemoryLimitKiB = 200 * 1024;

qint64 peakKiB(qint64 pid = 0)
{
    QFile status(pid > 0 ? u"/proc/%1/status"_s.arg(pid) : u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// The peak starts again from the present size, so one test's peak is its own.
bool resetPeak()
{
    QFile refs(u"/proc/self/clear_refs"_s);
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

const QByteArray HtmlPage = "<!DOCTYPE html><html><body>404 - the course moved</body></html>";

// The bad answers every download must refuse: a web page with 200, and a
// courseware file cut after 100 bytes by a server that announced no length.
void addForeignAnswers(StreamHttpServer &server, const QByteArray &folder)
{
    server.answers[folder + "page.lsn"]
        = {StreamHttpServer::okHead(HtmlPage.size(), "text/html") + HtmlPage};
    server.answers[folder + "cut.lsn"]
        = {StreamHttpServer::okHead(-1) + TestCourseware::file(4096).left(100)};
}

void addLargeAnswer(StreamHttpServer &server, const QByteArray &path)
{
    const QByteArray head = TestCourseware::head(LargeEntry);
    server.answers[path] = {StreamHttpServer::okHead(head.size() + LargeEntry + 1) + head,
        LargeEntry, QByteArray(1, '\0')};
}

QStringList folderFiles(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// The server on a thread of its own, so it keeps sending while the
// downloading thread is held up.
class ServerThread
{
public:
    explicit ServerThread(const std::function<void(StreamHttpServer &)> &setup)
    {
        auto *anchor = new QObject;
        anchor->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, anchor, &QObject::deleteLater);
        m_thread.start();
        QMetaObject::invokeMethod(
            anchor,
            [this, setup] {
                m_server = std::make_unique<StreamHttpServer>();
                setup(*m_server);
                m_host = m_server->host();
            },
            Qt::BlockingQueuedConnection);
        m_anchor = anchor;
    }

    ~ServerThread()
    {
        QMetaObject::invokeMethod(
            m_anchor, [this] { m_server.reset(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    QString host() const { return m_host; }
    // Runs `use` on the server's thread and waits for it.
    void use(const std::function<void(StreamHttpServer &)> &use)
    {
        QMetaObject::invokeMethod(
            m_anchor, [this, use] { use(*m_server); }, Qt::BlockingQueuedConnection);
    }

private:
    QThread m_thread;
    QObject *m_anchor = nullptr;
    std::unique_ptr<StreamHttpServer> m_server;
    QString m_host;
};

#ifdef CASTAGENT_PATH
TEST(HostilePeers, CompanionStreamsALargeFileInBoundedMemoryAndMarksNoForeignFile)
{
    TestHome home;
    // On its own thread: this one polls the companion's files.
    ServerThread server([](StreamHttpServer &peer) {
        addLargeAnswer(peer, "/CampusDir/campus7/big.lsn");
        addForeignAnswers(peer, "/CampusDir/campus7/");
    });
    CourseCatalogue catalogue(Global::StudentAppName);
    const QString base = u"http://"_s + server.host() + u"/CampusDir/campus7/"_s;
    for (const QString &name : {u"big.lsn"_s, u"page.lsn"_s, u"cut.lsn"_s, u"..%2fbig.lsn"_s})
        catalogue.WriteEnterEntry(base + name, 12);

    QProcess client; // the companion ends with it
    client.start(u"sleep"_s, {u"120"_s});
    ASSERT_TRUE(client.waitForStarted());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LUMO_CLIENT_PID"_s, QString::number(client.processId()));
    env.insert(u"LUMO_CASTAGENT_WATCH_MS"_s, u"100"_s);
    env.insert(u"LUMO_CASTAGENT_PASS_MS"_s, u"600000"_s); // one pass
    QProcess agent;
    agent.setProcessEnvironment(env);
    agent.start(QStringLiteral(CASTAGENT_PATH), {});
    ASSERT_TRUE(agent.waitForStarted());

    const auto logged = [&](const char *text) { return home.errorLog().contains(text); };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return catalogue.value(base + u"big.lsn"_s).contains(u"over=1"_s)
                && logged("(page.lsn): not a courseware file") && logged("(cut.lsn): truncated")
                && logged("\"..%2fbig.lsn\" is refused");
        },
        40000))
        << home.errorLog().toStdString();
    const qint64 peak = peakKiB(agent.processId());
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, MemoryLimitKiB);
    std::printf("companion peak for a %lld MB answer: %lld MB\n", LargeEntry >> 20, peak / 1024);

    const QString folder = Global::CourseFolder();
    EXPECT_EQ(QFileInfo(folder + u"big.lsn"_s).size(),
        TestCourseware::head(LargeEntry).size() + LargeEntry + 1);
    for (const QString &name : {u"page.lsn"_s, u"cut.lsn"_s, u"..%2fbig.lsn"_s})
        EXPECT_FALSE(catalogue.value(base + name).contains(u"over=1"_s)) << name.toStdString();
    // No foreign file, no temporary left, nothing beside the folder.
    EXPECT_EQ(folderFiles(folder), QStringList{u"big.lsn"_s});
    EXPECT_FALSE(QFile::exists(folder + u"../big.lsn"_s));
    server.use([](StreamHttpServer &peer) {
        // The refused name is never asked for (a request may be sent twice
        // when the server closed the connection the client meant to reuse).
        for (const QByteArray &request : peer.requests)
            EXPECT_TRUE(peer.answers.contains(request)) << request.toStdString();
    });

    client.kill();
    client.waitForFinished();
    EXPECT_TRUE(agent.waitForFinished(5000));
}
#endif

class Redownload : public testing::Test
{
protected:
    void SetUp() override
    {
        ListTexts::CategoryRecord category;
        category.CategoryID = 7;
        category.WebHost = server.host();
        session.Categories = {category};
        session.CurrentCategoryIndex = 0;
        QDir().mkpath(Global::CourseFolder());
        QFile file(Global::CourseFolder() + u"one.lsn"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }

    // Presses "下载课件" for `name`, answers its question with OK and
    // waits for the end.
    Outcome download(const QString &name, int ms = 10000)
    {
        session.CurrentCoursewareFile = name;
        prompter.shown.clear();
        QSignalSpy finished(&redownload, &CoursewareRedownload::finished);
        redownload.cmdDownload_Click();
        if (finished.isEmpty() && !finished.wait(ms))
            return Outcome::Failed;
        return finished.first().first().value<Outcome>();
    }

    QString lastPrompt() const
    {
        return prompter.shown.isEmpty() ? QString() : prompter.shown.last().text;
    }

    QByteArray current() const
    {
        QFile file(Global::CourseFolder() + u"one.lsn"_s);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TestHome home;
    StreamHttpServer server;
    const QByteArray old = TestCourseware::file(1000, 'o');
    SessionState session;
    Global::ScriptedPrompter prompter;
    FrmTip window;
    CoursewareRedownload redownload{
        {session, CourseCatalogue(Global::StudentAppName), prompter, window}};
};

TEST_F(Redownload, ForeignAnswersAndRefusedNamesKeepTheOldCourseAndSayWhy)
{
    addForeignAnswers(server, "/CampusDir/campus7/");
    // The server's page and cut body, each served under the course's name.
    for (const QByteArray &bad : {QByteArray("page.lsn"), QByteArray("cut.lsn")}) {
        server.answers["/CampusDir/campus7/one.lsn"]
            = server.answers.value("/CampusDir/campus7/" + bad);
        EXPECT_EQ(download(u"one.lsn"_s), Outcome::NotCourseware) << bad.toStdString();
        EXPECT_EQ(lastPrompt(), u"下载的文件不是完整的课件，原有的课件没有改变"_s);
        EXPECT_EQ(current(), old);
        EXPECT_EQ(folderFiles(Global::CourseFolder()), QStringList{u"one.lsn"_s});
    }
    EXPECT_NE(home.errorLog().indexOf("one.lsn: not a courseware file"), -1);

    const qsizetype requests = server.requests.size();
    EXPECT_EQ(download(u"..%2fone.lsn"_s), Outcome::Refused);
    EXPECT_EQ(lastPrompt(), u"课件文件名无效（..%2fone.lsn），没有下载"_s);
    EXPECT_EQ(server.requests.size(), requests);
    EXPECT_EQ(current(), old);
}

TEST_F(Redownload, ALargeCourseStreamsToDiskInBoundedMemory)
{
    ServerThread fast(
        [](StreamHttpServer &server) { addLargeAnswer(server, "/CampusDir/campus7/one.lsn"); });
    session.Categories.first().WebHost = fast.host();
    // A slow disk: the file side stalls once while the peer keeps sending.
    // Whatever the network side reads meanwhile waits in memory.
    bool stalled = false;
    QObject::connect(
        &redownload.downloader(), &CoursewareDownloader::progress, &window, [&stalled] {
            if (!std::exchange(stalled, true))
                QThread::msleep(1500);
        });
    ASSERT_TRUE(resetPeak());
    EXPECT_EQ(download(u"one.lsn"_s, 40000), Outcome::Done) << lastPrompt().toStdString();
    const qint64 peak = peakKiB();
    EXPECT_LT(peak, MemoryLimitKiB);
    std::printf("client peak for a %lld MB answer: %lld MB\n", LargeEntry >> 20, peak / 1024);
    EXPECT_EQ(QFileInfo(Global::CourseFolder() + u"one.lsn"_s).size(),
        TestCourseware::head(LargeEntry).size() + LargeEntry + 1);
    EXPECT_EQ(folderFiles(Global::CourseFolder()), QStringList{u"one.lsn"_s});
    EXPECT_EQ(window.progressValue(), 100);
}

TEST(HostilePeers, AccountPagesAbortAFloodAtTheirLimitAtEveryTry)
{
    StreamHttpServer server;
    server.answers["/askdesk/balance/getuserid.asp"]
        = {StreamHttpServer::okHead(-1, "text/plain"), StreamHttpServer::Endless};
    server.answers["/askdesk/balance/"]
        = {StreamHttpServer::okHead(qint64(1) << 30, "text/plain"), StreamHttpServer::Endless};
    AccountPages pages;
    pages.setWebHost(server.host());
    pages.setTimeLimit(30000);
    QSignalSpy user(&pages, &AccountPages::userIdFound);
    QSignalSpy balance(&pages, &AccountPages::balanceFound);
    ASSERT_TRUE(resetPeak());
    QElapsedTimer clock;
    clock.start();
    // The first try and the reconnects' three more each fetch both pages.
    for (int round = 0; round < 4; ++round) {
        pages.searchUserID(u"ann"_s);
        ASSERT_TRUE(user.wait(10000));
        EXPECT_EQ(user.last().at(0).toBool(), false);
        EXPECT_EQ(user.last().at(2).toString(), u"网页的内容超过 64 KB"_s);
        pages.DoBalance(u" 10.0.0.9 "_s);
        ASSERT_TRUE(balance.wait(10000));
        EXPECT_EQ(balance.last().at(0).toString(), u"10.0.0.9"_s);
        EXPECT_TRUE(balance.last().at(1).toBool());
        EXPECT_EQ(balance.last().at(2).toString(), u"网页的内容超过 64 KB"_s);
    }
    EXPECT_LT(clock.elapsed(), 10000); // ended by size, not by the time limit
    // What the peer could push into the socket buffers before the abort.
    EXPECT_LT(server.fillerSent, qint64(8 * 64) << 20);
    const qint64 peak = peakKiB();
    EXPECT_LT(peak, MemoryLimitKiB);
    std::printf("account pages: %lld MB sent by the peer in 8 tries, peak %lld MB\n",
        server.fillerSent >> 20, peak / 1024);
    EXPECT_FALSE(pages.isBusy());
}

} // namespace
