#include "tools/lumo-courseware/coursewaretool.h"

#include "common/testsupport/testhome.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct ToolRun {
    int code = -1;
    QString out;
    QString err;
};

ToolRun run(const QStringList &arguments)
{
    ToolRun result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.code = RunCoursewareTool(arguments, out, err);
    return result;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class ToolTest : public ::testing::Test
{
protected:
    TestHome home;
    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

    // src/ { b.txt, sub/ { c.wav } }, a.jpg
    QString packSample()
    {
        QDir().mkpath(path(u"src/sub"_s));
        writeAll(path(u"a.jpg"_s), QByteArray(5000, 'a'));
        writeAll(path(u"src/b.txt"_s), "bee");
        writeAll(path(u"src/sub/c.wav"_s), QByteArray(3000, 'c'));
        const QString lsn = path(u"out.lsn"_s);
        const ToolRun packed = run({u"pack"_s, lsn, u"--name"_s, u"数学"_s, u"--teacher"_s,
            u"王老师"_s, path(u"src"_s), u"http://example.com/x.html"_s, path(u"a.jpg"_s)});
        EXPECT_EQ(packed.code, 0) << packed.err.toStdString();
        return lsn;
    }
};

} // namespace

TEST_F(ToolTest, PackThenListShowsTheTree)
{
    const QString lsn = packSample();
    const ToolRun listed = run({u"list"_s, lsn});
    EXPECT_EQ(listed.code, 0);
    EXPECT_EQ(listed.err, QString());
    const QStringList lines = listed.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines.at(0), u"Course: 数学"_s);
    EXPECT_EQ(lines.at(1), u"Teacher: 王老师"_s);
    EXPECT_EQ(lines.at(2), u"_0\tfolder\t数学\t-"_s);
    EXPECT_EQ(lines.at(3), u"_0_1\tfolder\tsrc\t-"_s);
    EXPECT_EQ(lines.at(4), u"_0_5\turl\thttp://example.com/x.html.url\t-"_s);
    EXPECT_TRUE(lines.at(5).startsWith(u"_0_6\tfile\ta.jpg\t"_s));
    EXPECT_TRUE(lines.at(6).startsWith(u"_0_1_2\tfile\tb.txt\t"_s));
    EXPECT_EQ(lines.at(7), u"_0_1_3\tfolder\tsub\t-"_s);
    EXPECT_TRUE(lines.at(8).startsWith(u"_0_1_3_4\tfile\tc.wav\t"_s));

    const ToolRun json = run({u"list"_s, lsn, u"--json"_s});
    ASSERT_EQ(json.code, 0);
    const QJsonObject course = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(course.value(u"courseName"_s).toString(), u"数学"_s);
    EXPECT_EQ(course.value(u"nextNodeNumber"_s).toInt(), 5);
    const QJsonArray nodes = course.value(u"nodes"_s).toArray();
    ASSERT_EQ(nodes.size(), 7);
    const QJsonObject wav = nodes.at(6).toObject();
    EXPECT_EQ(wav.value(u"parent"_s).toString(), u"_0_1_3"_s);
    EXPECT_EQ(wav.value(u"name"_s).toString(), u"_0_1_3_4.wav"_s);
    EXPECT_EQ(wav.value(u"picture"_s).toString(), u"wav"_s);
    EXPECT_GT(wav.value(u"size"_s).toInt(), 0);
}

TEST_F(ToolTest, ExtractExpandsEveryFileUnderItsRecordName)
{
    const QString lsn = packSample();
    const ToolRun extracted = run({u"extract"_s, lsn, path(u"out"_s)});
    EXPECT_EQ(extracted.code, 0) << extracted.err.toStdString();
    EXPECT_EQ(QDir(path(u"out"_s)).entryList(QDir::Files),
        (QStringList{u"_0_1_2.txt"_s, u"_0_1_3_4.wav"_s, u"_0_6.jpg"_s}));
    EXPECT_EQ(readAll(path(u"out/_0_1_3_4.wav"_s)), QByteArray(3000, 'c'));
    EXPECT_EQ(readAll(path(u"out/_0_6.jpg"_s)), QByteArray(5000, 'a'));

    // A ceiling below the largest file: that one is abandoned, exit 1.
    const ToolRun limited = run({u"extract"_s, lsn, path(u"limited"_s), u"--limit"_s, u"4000"_s});
    EXPECT_EQ(limited.code, 1);
    EXPECT_TRUE(limited.err.contains(u"_0_6.jpg"_s));
    EXPECT_FALSE(QFile::exists(path(u"limited/_0_6.jpg"_s)));
    EXPECT_TRUE(QFile::exists(path(u"limited/_0_1_3_4.wav"_s)));
}

TEST_F(ToolTest, BadFilesAreReportedWithTheClientsWords)
{
    const QString lsn = packSample();
    QByteArray bytes = readAll(lsn);
    QByteArray wrong = bytes;
    wrong[0] = 'B';
    writeAll(path(u"wrong.lsn"_s), wrong);
    QByteArray newer = bytes;
    newer[24] = 2;
    writeAll(path(u"newer.lsn"_s), newer);
    writeAll(path(u"cut.lsn"_s), bytes.left(bytes.size() - 100));

    const struct {
        QString file;
        int code;
        QString message;
    } rows[] = {
        {u"wrong.lsn"_s, 2, u"不是合法的Lumo Class课件文件,请重新下载"_s},
        {u"newer.lsn"_s, 2, u"这个程序不能读取2.0版本的Lumo Class课件文件"_s},
        {u"missing.lsn"_s, 2, u"cannot open"_s},
        {u"cut.lsn"_s, 1, u"truncated courseware file"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        const ToolRun listed = run({u"list"_s, path(row.file)});
        EXPECT_EQ(listed.code, row.code);
        EXPECT_TRUE(listed.err.contains(row.message)) << listed.err.toStdString();
    }
    EXPECT_TRUE(QFile::exists(path(u"wrong.lsn"_s))) << "the tool never deletes what it reads";
}

// A course file is foreign input: what it names must not drive the
// terminal (escape sequences, a title change, a cleared screen).
TEST_F(ToolTest, ListEscapesControlCharactersButJsonStaysJson)
{
    const QString hostile = u"课\x1b]0;owned\x07\x1b[2J\x7f\t\\x1b\r\n"_s;
    const QString urlDir = path(u"course.lsn"_s);
    ASSERT_EQ(run({u"pack"_s, urlDir, u"--name"_s, hostile, u"--teacher"_s, u"T\x1b[1m"_s,
                      u"http://a/\x1bx"_s})
                  .code,
        0);
    const ToolRun text = run({u"list"_s, urlDir});
    EXPECT_EQ(text.code, 0) << text.err.toStdString();
    for (const QChar c : text.out) {
        const bool allowedSeparator = c == u'\n' || c == u'\t';
        EXPECT_TRUE(allowedSeparator
            || (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format))
            << "raw U+" << std::hex << unsigned(c.unicode());
    }
    EXPECT_TRUE(
        text.out.contains(u"Course: 课\\x1b]0;owned\\x07\\x1b[2J\\x7f\\x09\\\\x1b\\x0d\\x0a\n"_s))
        << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(u"Teacher: T\\x1b[1m\n"_s));
    EXPECT_TRUE(text.out.contains(u"\turl\thttp://a/\\x1bx.url\t-\n"_s));

    const ToolRun json = run({u"list"_s, urlDir, u"--json"_s});
    EXPECT_EQ(json.code, 0);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(document.object().value(u"courseName"_s).toString(), hostile);
    EXPECT_FALSE(json.out.contains(QChar(0x1b)));
}

TEST_F(ToolTest, UsageMistakesChangeNothing)
{
    const QStringList rows[] = {
        {},
        {u"unpack"_s},
        {u"list"_s},
        {u"extract"_s, path(u"x.lsn"_s)},
        {u"extract"_s, path(u"x.lsn"_s), path(u"o"_s), u"--limit"_s, u"lots"_s},
        {u"pack"_s, path(u"p.lsn"_s)},
        {u"pack"_s, path(u"p.lsn"_s), u"--name"_s, u"N"_s, path(u"no-such-file"_s)},
    };
    for (const QStringList &arguments : rows) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const ToolRun result = run(arguments);
        EXPECT_EQ(result.code, 2);
        EXPECT_FALSE(result.err.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(path(u"p.lsn"_s)));
}
