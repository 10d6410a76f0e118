#include "common/apppaths.h"
#include "common/errorlog.h"
#include "common/linereader.h"
#include "common/prompter.h"
#include "common/settingsstore.h"
#include "common/testsupport/testhome.h"
#include "common/textutil.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include <unistd.h>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace Global;

TEST(ErrorLog, EntryIsFiveCrLfLinesAndAppends)
{
    TestHome home;
    WriteErrorLog(u"M"_s, u"P"_s, u"D"_s, 12);
    WriteErrorLog(u"Form1"_s, u"trace 中文"_s);
    EXPECT_EQ(home.errorLog(),
        QByteArray("M\r\nP\r\nD\r\nLine: 12\r\n\r\n"
                   "Form1\r\ntrace \xe4\xb8\xad\xe6\x96\x87\r\n\r\nLine: 0\r\n\r\n"));
}

TEST(ErrorLog, UnwritableLogIsSilent)
{
    TestHome home;
    // A folder cannot be opened as the log: the entry is dropped quietly.
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(home.path()));
    WriteErrorLog(u"Lost"_s, u"P"_s);
    qputenv("LUMO_ERROR_LOG", QFile::encodeName(home.errorLogPath()));
    WriteErrorLog(u"Kept"_s, u"P"_s);
    EXPECT_EQ(home.errorLog(), QByteArray("Kept\r\nP\r\n\r\nLine: 0\r\n\r\n"));
}

// A peer that makes the same failure happen over and over must not fill the
// disk: repeats become one count, written when something else happens.
TEST(ErrorLog, RepeatsCollapseIntoOneCount)
{
    TestHome home;
    const QByteArray entry = FormatErrorLogEntry(u"Form1"_s, u"Dispatch"_s, u"bad frame"_s, 7);
    for (int i = 0; i < 10000; ++i)
        WriteErrorLog(u"Form1"_s, u"Dispatch"_s, u"bad frame"_s, 7);
    EXPECT_EQ(home.errorLog(), entry); // the count waits for a flush point
    WriteErrorLog(u"Form1"_s, u"Other"_s);
    WriteErrorLog(u"Form1"_s, u"Dispatch"_s, u"bad frame"_s, 7);
    FlushErrorLog(); // nothing pending: writes nothing
    EXPECT_EQ(home.errorLog(),
        entry
            + FormatErrorLogEntry(
                u"Form1"_s, u"Dispatch"_s, u"the entry above repeated 9999 times"_s, 0)
            + FormatErrorLogEntry(u"Form1"_s, u"Other"_s, {}, 0) + entry);

    // Removed under our feet: the next copy is written, not counted.
    home.clearErrorLog();
    WriteErrorLog(u"Form1"_s, u"Dispatch"_s, u"bad frame"_s, 7);
    EXPECT_EQ(home.errorLog(), entry);
}

TEST(ErrorLogDeathTest, PendingCountIsWrittenAtExit)
{
    TestHome home;
    EXPECT_EXIT(
        {
            for (int i = 0; i < 3; ++i)
                WriteErrorLog(u"M"_s, u"P"_s, u"D"_s, 1);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(home.errorLog(),
        FormatErrorLogEntry(u"M"_s, u"P"_s, u"D"_s, 1)
            + FormatErrorLogEntry(u"M"_s, u"P"_s, u"the entry above repeated 2 times"_s, 0));
}

// Entries that differ in every copy (alternating kinds, a byte count) from
// one source, written by two threads: the first entries stay, the rest is
// counted, and the file stays small. Another source is not held back.
TEST(ErrorLog, EachSourceIsRateLimitedAndKeepsTheStartOfItsRun)
{
    TestHome home;
    constexpr int PerThread = 5000;
    const auto flood = [](int thread) {
        for (int i = 0; i < PerThread; ++i)
            WriteErrorLog(u"WhiteBoard"_s, u"GetMsgWhiteBoard"_s,
                (i % 2 ? u"sign kind 3 refused, %1 bytes"_s : u"sign kind 7 refused, %1 bytes"_s)
                    .arg(thread * PerThread + i),
                42);
    };
    WriteErrorLog(u"Form1"_s, u"Before"_s);
    std::thread first(flood, 0);
    std::thread second(flood, 1);
    first.join();
    second.join();
    WriteErrorLog(u"Form1"_s, u"During"_s); // another source: written at once

    const QByteArray log = home.errorLog();
    const qsizetype oneEntry = FormatErrorLogEntry(
        u"WhiteBoard"_s, u"GetMsgWhiteBoard"_s, u"sign kind 3 refused, 12345 bytes"_s, 42)
                                   .size();
    EXPECT_LT(log.size(), (ErrorLogBurst + 4) * oneEntry);
    EXPECT_TRUE(log.startsWith(FormatErrorLogEntry(u"Form1"_s, u"Before"_s, {}, 0)));
    EXPECT_TRUE(log.endsWith(FormatErrorLogEntry(u"Form1"_s, u"During"_s, {}, 0)));
    // The start of the run, whole: the burst of the source, nothing torn.
    EXPECT_EQ(log.count("WhiteBoard\r\nGetMsgWhiteBoard\r\nsign kind "), ErrorLogBurst);
    EXPECT_EQ(log.count("\r\nLine: 42\r\n\r\n"), ErrorLogBurst);

    // A second on, the source's next entry comes after the count of what
    // was left out; at most one count a second.
    QTest::qSleep(1100);
    WriteErrorLog(u"WhiteBoard"_s, u"GetMsgWhiteBoard"_s, u"sign kind 3 refused, 1 bytes"_s, 42);
    WriteErrorLog(u"WhiteBoard"_s, u"GetMsgWhiteBoard"_s, u"sign kind 7 refused, 2 bytes"_s, 42);
    FlushErrorLog();
    const QByteArray later = home.errorLog().mid(log.size());
    const QByteArray counted = FormatErrorLogEntry(u"WhiteBoard"_s, u"GetMsgWhiteBoard"_s,
        u"%1 more entries from this source left out in the last 2 s"_s.arg(
            2 * PerThread - ErrorLogBurst),
        0);
    EXPECT_TRUE(later.startsWith(counted)) << later.toStdString();
    EXPECT_TRUE(later.contains("sign kind 3 refused, 1 bytes"));
    // The one entry the second refilled went out; the next one is counted
    // and written at the flush.
    EXPECT_FALSE(later.contains("sign kind 7 refused, 2 bytes"));
    EXPECT_TRUE(later.endsWith(FormatErrorLogEntry(u"WhiteBoard"_s, u"GetMsgWhiteBoard"_s,
        u"1 more entries from this source left out in the last 1 s"_s, 0)));
}

TEST(ErrorLog, RotationKeepsTheFirstEntriesAndTheNewest)
{
    TestHome home;
    SetErrorLogMaxSize(1000);
    QByteArray all;
    // A source of its own for each entry: none is held back by the rate.
    for (int i = 0; i < 200; ++i) {
        const QString procedure = u"Procedure%1"_s.arg(i);
        WriteErrorLog(u"Module"_s, procedure, u"distinct"_s, i);
        all += FormatErrorLogEntry(u"Module"_s, procedure, u"distinct"_s, i);
    }
    SetErrorLogMaxSize(0); // back to the default
    QFile older(home.errorLogPath() + u".1"_s);
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    const QByteArray first = older.readAll();
    const QByteArray current = home.errorLog();
    EXPECT_LE(current.size(), 1000);
    EXPECT_LE(first.size(), 1000);
    EXPECT_GT(first.size(), 1000 - all.size() / 200); // full but for less than one entry
    // The older file keeps the first entries whole; the current one says
    // what was dropped between and ends with the newest.
    EXPECT_TRUE(all.startsWith(first));
    ASSERT_TRUE(current.startsWith("ErrorLog\r\nRotate\r\n")) << current.left(80).toStdString();
    const QByteArray newest = current.mid(current.indexOf("Module\r\n"));
    EXPECT_GT(newest.size(), 0);
    EXPECT_TRUE(all.endsWith(newest));
    EXPECT_FALSE(QFile::exists(home.errorLogPath() + u".2"_s));
}

TEST(Settings, RoundTripAndDefaults)
{
    TestHome home;
    const QString app = StudentAppName;
    EXPECT_EQ(GetSetting(app, u"Http"_s, u"SavePath"_s), QString());
    EXPECT_EQ(GetSetting(app, u"Http"_s, u"SavePath"_s, u"x"_s), u"x"_s);
    SaveSetting(app, u"Http"_s, u"SavePath"_s, u"/tmp/c/"_s);
    EXPECT_EQ(GetSetting(u"  DAZoraZuru "_s, u"Http"_s, u"SavePath"_s), u"/tmp/c/"_s);
    // Stores of different applications are separate.
    EXPECT_EQ(GetSetting(TeacherAppName, u"Http"_s, u"SavePath"_s), QString());

    const ServerSettings defaults = LoadServerSettings(app);
    EXPECT_EQ(defaults.CampusServerIP, DefaultCampusServerIP);
    EXPECT_EQ(defaults.CampusServerPort, u"2000"_s);
    EXPECT_EQ(defaults.gChatPort, u"2001"_s);
    SaveServerSettings(app, {u"campus.example"_s, u"3000"_s, u"3001"_s});
    const ServerSettings loaded = LoadServerSettings(app);
    EXPECT_EQ(loaded.CampusServerIP, u"campus.example"_s);
    EXPECT_EQ(loaded.CampusServerPort, u"3000"_s);
    EXPECT_EQ(loaded.gChatPort, u"3001"_s);
}

TEST(Settings, UrlKeysSurviveTheStore)
{
    TestHome home;
    const QString app = StudentAppName;
    const QString key = CourseListKey(u"web.host:8080"_s, u"campus3"_s, u"a b%2F.lsn"_s);
    EXPECT_EQ(key, u"http://web.host:8080/CampusDir/campus3/a b%2F.lsn"_s);
    SaveCourseListEntry(u"web.host:8080"_s, u"campus3"_s, u"a b%2F.lsn"_s,
        u"CourseName=数学;ClassBegin=True;"_s, app);
    SaveSetting(app, u"List"_s, u"http://h//x\\y"_s, u"v2"_s);
    EXPECT_EQ(GetSetting(app, u"List"_s, key), u"CourseName=数学;ClassBegin=True;"_s);
    EXPECT_EQ(GetSetting(app, u"List"_s, u"http://h//x\\y"_s), u"v2"_s);

    auto all = GetAllSettings(app, u"List"_s);
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].first, u"http://h//x\\y"_s);
    EXPECT_EQ(all[1].first, key);

    DeleteSetting(app, u"List"_s, key);
    EXPECT_EQ(GetAllSettings(app, u"List"_s).size(), 1);
    DeleteSetting(app, u"List"_s);
    EXPECT_TRUE(GetAllSettings(app, u"List"_s).isEmpty());
}

TEST(Settings, KeyEscapingIsReversible)
{
    for (const QString &key : {u"plain"_s, u"a/b"_s, u"%2F"_s, u"%"_s, u"\\\\x//"_s, u"%zz%2"_s}) {
        EXPECT_FALSE(EscapeSettingsKey(key).contains(u'/')) << key.toStdString();
        EXPECT_EQ(UnescapeSettingsKey(EscapeSettingsKey(key)), key) << key.toStdString();
    }
}

TEST(Settings, CoursePathAlwaysEndsWithSeparator)
{
    TestHome home;
    SaveCoursePath(u"/data/Course"_s, u"DAZoraZuru"_s);
    EXPECT_EQ(GetSetting(u"DAZoraZuru"_s, u"Http"_s, u"SavePath"_s), u"/data/Course/"_s);
    SaveCoursePath(u"/data/Course/"_s, u"DAZoraZuru"_s);
    EXPECT_EQ(GetSetting(u"DAZoraZuru"_s, u"Http"_s, u"SavePath"_s), u"/data/Course/"_s);
    SetShowFlag(u" DAZoraZuru"_s);
    EXPECT_EQ(GetSetting(u"DAZoraZuru"_s, u"Http"_s, u"IsShow"_s), u"True"_s);
}

TEST(Settings, CourseState)
{
    TestHome home;
    const QString app = StudentAppName;
    const QString key = CourseListKey(u"h"_s, u"campus1"_s, u"c.lsn"_s);
    // No current file name: 0 whatever the store and the folder hold.
    SaveSetting(app, u"List"_s, key, u"CourseName=x;"_s);
    EXPECT_EQ(GetCourseState(key, QString(), app), 0);
    EXPECT_EQ(GetCourseState(key, u"c.lsn"_s, app), 1);
    QDir().mkpath(CourseFolder());
    QFile file(CourseFolder() + u"c.lsn"_s);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(GetCourseState(key, u"c.lsn"_s, app), 2);
    EXPECT_EQ(GetCourseState(u"other"_s, u"d.lsn"_s, app), 0);
    // A name that leaves the course folder never counts as present.
    EXPECT_EQ(GetCourseState(u"other"_s, u"../Course/c.lsn"_s, app), 0);
}

TEST(Settings, FirstRunValue)
{
    TestHome home;
    EXPECT_EQ(ReadFirstRun(), QString());
    WriteFirstRun(u"True"_s);
    EXPECT_EQ(ReadFirstRun(), u"True"_s);
    WriteFirstRun(u"False"_s);
    EXPECT_EQ(ReadFirstRun(), u"False"_s);
}

TEST(Folders, DataFoldersFollowTheEnvironment)
{
    TestHome home;
    EXPECT_EQ(CourseFolder(), home.path() + u"/data/Course/"_s);
    EXPECT_EQ(TempFolder(), home.path() + u"/data/temp/"_s);
    EXPECT_EQ(WithTrailingSeparator(u"/a"_s), u"/a/"_s);
}

TEST(Text, GuidAndNulHelpers)
{
    const QString guid = NewGuidString();
    EXPECT_EQ(guid.size(), 32);
    EXPECT_TRUE(QRegularExpression(u"^[0-9A-F]{32}$"_s).match(guid).hasMatch());
    EXPECT_NE(guid, NewGuidString());

    EXPECT_EQ(TrimAtNull(u"ab"_s), u"ab"_s);
    EXPECT_EQ(TrimAtNull(QString::fromUtf16(u"ab\0cd", 5)), u"ab"_s);
    EXPECT_EQ(TrimAtNull(QString::fromUtf16(u"\0cd", 3)), QString());
    EXPECT_EQ(CStringToVBString(QString::fromUtf16(u"x\0", 2)), u"x"_s);
}

TEST(Prompts, ScriptedPrompterAnswersInOrder)
{
    ScriptedPrompter prompter;
    prompter.answers = {PromptAnswer::Yes, PromptAnswer::No};
    QList<PromptAnswer> got;
    for (int i = 0; i < 3; ++i)
        prompter.show({u"t"_s, u"q"_s, PromptIcon::Question, PromptButtons::YesNo},
            [&](PromptAnswer a) { got.append(a); });
    EXPECT_EQ(got, (QList<PromptAnswer>{PromptAnswer::Yes, PromptAnswer::No, PromptAnswer::Ok}));
    EXPECT_EQ(prompter.shown.size(), 3);

    prompter.textAnswers = {u"name"_s};
    bool accepted = false;
    QString text;
    prompter.askText(u"t"_s, u"l"_s, u"init"_s, [&](bool ok, const QString &t) {
        accepted = ok;
        text = t;
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(text, u"name"_s);
    prompter.askText(u"t"_s, u"l"_s, u"init"_s, [&](bool ok, const QString &t) {
        accepted = ok;
        text = t;
    });
    EXPECT_FALSE(accepted);
}

// Lines split across reads are joined, an overlong line is dropped whole,
// and the last line counts at the end of input even without its newline.
TEST(Lines, ReaderJoinsPiecesDropsOverlongLinesAndKeepsTheLastOne)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    Global::LineReader reader;
    QStringList lines;
    QObject::connect(&reader, &Global::LineReader::lineRead,
        [&lines](const QString &line) { lines.append(line); });
    reader.listen(fds[0]);
    const auto put = [&](const QByteArray &bytes) {
        for (qsizetype done = 0; done < bytes.size();) {
            // Small pieces: the pipe holds less than an overlong line.
            const auto piece = size_t(std::min<qsizetype>(bytes.size() - done, 4096));
            const ssize_t n = ::write(fds[1], bytes.constData() + done, piece);
            ASSERT_GT(n, 0);
            done += n;
            QTest::qWait(1); // let the reader take what is there
        }
    };
    put("grant 1");
    put("1\nnote 你好\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return lines.size() == 2; }, 3000));
    put(QByteArray(Global::LineReader::LineLimit + 10, 'x'));
    put("\ntakeback");
    ::close(fds[1]);
    // Only the end of input lets the unterminated last line count.
    ASSERT_TRUE(QTest::qWaitFor([&] { return lines.size() == 3; }, 3000));
    ::close(fds[0]);
    EXPECT_EQ(lines, QStringList({u"grant 11"_s, u"note 你好"_s, u"takeback"_s}));
}
