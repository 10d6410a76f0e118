// The "List" entries and the courseware downloader against a loopback HTTP
// server that answers byte for byte.
#include "client/campus/coursecatalogue.h"
#include "client/campus/coursewaredownloader.h"
#include "client/campus/tests/rawhttpserver.h"
#include "client/campus/tests/testcourseware.h"
#include "common/settingsstore.h"
#include "common/testsupport/testhome.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Outcome = CoursewareDownloader::Outcome;

namespace {

ListTexts::CategoryRecord category(const QString &host)
{
    ListTexts::CategoryRecord record;
    record.CategoryID = 7;
    record.WebHost = host;
    return record;
}

TEST(CourseCatalogue, EntriesKeepUrlKeysAndTheirPairsThroughReloadEnterAndDownload)
{
    TestHome home;
    CourseCatalogue catalogue(u" DAZoraZuru "_s);
    ListTexts::CourseRecord course;
    course.CourseID = 12;
    course.Description = u"  greetings  "_s;
    const QString url = CourseCatalogue::CoursewareUrl(category(u"127.0.0.1:8080"_s), u"a.lsn"_s);
    EXPECT_EQ(url, u"http://127.0.0.1:8080/CampusDir/campus7/a.lsn"_s);
    EXPECT_TRUE(CourseCatalogue::CoursewareUrl(category({}), u"a.lsn"_s).isEmpty());

    EXPECT_EQ(catalogue.CourseState(url, u"a.lsn"_s), 0);
    catalogue.WriteReloadEntry(url, course, false);
    EXPECT_EQ(
        catalogue.value(url), u"CourseName=Course12;ClassBegin=0;over=0;CourseDesc=greetings;"_s);
    EXPECT_EQ(catalogue.CourseState(url, u"a.lsn"_s), 1);
    EXPECT_EQ(catalogue.CourseState(url, QString()), 0);

    EXPECT_TRUE(catalogue.MarkBegun(url));
    EXPECT_EQ(
        catalogue.value(url), u"CourseName=Course12;ClassBegin=1;over=0;CourseDesc=greetings;"_s);
    catalogue.MarkDownloaded(url);
    EXPECT_EQ(
        catalogue.value(url), u"CourseName=Course12;ClassBegin=1;over=1;CourseDesc=greetings;"_s);

    // The short entry of a refused entry has a four-letter flag: replacing a
    // fixed 13 characters would leave "e;" behind.
    catalogue.WriteEnterEntry(url, 12);
    EXPECT_TRUE(catalogue.MarkBegun(url));
    EXPECT_EQ(catalogue.value(url), u"CourseName=Course12;ClassBegin=1;"_s);
    catalogue.MarkDownloaded(url);
    EXPECT_EQ(catalogue.value(url), u"CourseName=Course12;ClassBegin=1;over=1;"_s);

    // A name that merely ends in "ClassBegin" is not the pair.
    EXPECT_EQ(CourseCatalogue::withPair(u"XClassBegin=5;"_s, u"ClassBegin"_s, u"1"_s),
        u"XClassBegin=5;ClassBegin=1;"_s);
    EXPECT_FALSE(catalogue.MarkBegun(u"http://nowhere/CampusDir/campus1/x.lsn"_s));

    const auto entries = catalogue.entries();
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries.first().url, url);

    // The file in the folder named by "SavePath" makes the state 2.
    const QString folder = home.path() + u"/saved"_s;
    Global::SaveCoursePath(folder, u"DAZoraZuru"_s);
    EXPECT_EQ(catalogue.coursewareFolder(), folder + u'/');
    QDir().mkpath(folder);
    QFile file(folder + u"/a.lsn"_s);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(catalogue.CourseState(url, u"a.lsn"_s), 2);
}

TEST(CourseCatalogue, OnlyPlainFileNamesPass)
{
    for (const QString &bad : {u""_s, u"."_s, u".."_s, u"../a.lsn"_s, u"a/b.lsn"_s, u"a\\b.lsn"_s,
             u"/etc/passwd"_s, u"a\u0000b"_s, u"a\nb"_s, u"..%2fa.lsn"_s, u"%2e%2e"_s, u"a%5cb"_s})
        EXPECT_FALSE(IsPlainFileName(bad)) << bad.toStdString();
    for (const QString &good :
        {u"a.lsn"_s, u"课程 1.lsn"_s, u"..a"_s, u".hidden"_s, u"a%20b.lsn"_s, u"100%.lsn"_s})
        EXPECT_TRUE(IsPlainFileName(good)) << good.toStdString();
}

class Download : public testing::Test
{
protected:
    void SetUp() override
    {
        folder = home.path() + u"/Course/"_s;
        QDir().mkpath(folder);
        writeOld();
    }

    void writeOld()
    {
        QFile file(folder + u"c.lsn"_s);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old content");
    }

    QByteArray target() const
    {
        QFile file(folder + u"c.lsn"_s);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // Starts a fetch of /c.lsn and waits for its end.
    Outcome fetch(const QString &name = u"c.lsn"_s, std::function<void()> whileRunning = {})
    {
        QSignalSpy finished(&downloader, &CoursewareDownloader::finished);
        const QUrl url(u"http://"_s + server.host() + u"/c.lsn"_s);
        if (downloader.start(url, folder, name) && whileRunning)
            whileRunning();
        EXPECT_TRUE(finished.count() > 0 || finished.wait(5000));
        return finished.isEmpty() ? Outcome::Failed : finished.first().first().value<Outcome>();
    }

    // Only the target itself is left: no temporary files.
    QStringList folderFiles() const { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

    TestHome home;
    QString folder;
    RawHttpServer server;
    CoursewareDownloader downloader;
};

TEST_F(Download, CompleteAnswerReplacesTheFileWithProgressUpToItsSize)
{
    const QByteArray body = TestCourseware::file(300000);
    server.answers["/c.lsn"] = {RawHttpServer::ok("application/octet-stream", body)};
    QSignalSpy progress(&downloader, &CoursewareDownloader::progress);
    EXPECT_EQ(fetch(), Outcome::Done);
    EXPECT_EQ(target(), body);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last().at(0).toLongLong(), body.size());
    EXPECT_EQ(progress.last().at(1).toLongLong(), body.size());
    EXPECT_EQ(folderFiles(), QStringList{u"c.lsn"_s});
}

TEST_F(Download, FailedCutOversizedAndRefusedFetchesLeaveTheOldFile)
{
    server.answers["/c.lsn"] = {RawHttpServer::status(404, "gone")};
    EXPECT_EQ(fetch(), Outcome::Failed);
    EXPECT_EQ(target(), "old content");

    // The connection ends before the announced size.
    server.answers["/c.lsn"]
        = {"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\nConnection: close\r\n\r\nonly this"};
    EXPECT_EQ(fetch(), Outcome::Failed);
    EXPECT_EQ(target(), "old content");

    downloader.setSizeCap(100);
    server.answers["/c.lsn"]
        = {RawHttpServer::ok("application/octet-stream", QByteArray(101, 'y'))};
    EXPECT_EQ(fetch(), Outcome::Failed);
    // Without an announced size the cap still holds.
    server.answers["/c.lsn"]
        = {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + QByteArray(500, 'z')};
    EXPECT_EQ(fetch(), Outcome::Failed);
    EXPECT_EQ(target(), "old content");
    EXPECT_EQ(folderFiles(), QStringList{u"c.lsn"_s});

    const int requests = server.requests.size();
    EXPECT_EQ(fetch(u"../c.lsn"_s), Outcome::Refused);
    EXPECT_EQ(fetch(u"sub/c.lsn"_s), Outcome::Refused);
    EXPECT_EQ(server.requests.size(), requests); // refused before any request
    EXPECT_EQ(target(), "old content");
    EXPECT_FALSE(QFile::exists(home.path() + u"/c.lsn"_s));
}

TEST_F(Download, CancelEndsARunningFetchAndKeepsTheOldFile)
{
    server.answers["/c.lsn"]
        = {"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + QByteArray(5000, 'p'), false};
    const Outcome outcome = fetch(u"c.lsn"_s, [this] {
        QSignalSpy progress(&downloader, &CoursewareDownloader::progress);
        ASSERT_TRUE(progress.wait(5000));
        EXPECT_EQ(progress.last().at(1).toLongLong(), 100000);
        EXPECT_TRUE(downloader.isBusy());
        downloader.cancel();
    });
    EXPECT_EQ(outcome, Outcome::Cancelled);
    EXPECT_FALSE(downloader.isBusy());
    EXPECT_EQ(target(), "old content");
    EXPECT_EQ(folderFiles(), QStringList{u"c.lsn"_s});
}

} // namespace
