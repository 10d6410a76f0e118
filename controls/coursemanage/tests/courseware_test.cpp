#include "controls/coursemanage/courseware/coursepictures.h"
#include "controls/coursemanage/courseware/coursewarereader.h"
#include "controls/coursemanage/courseware/coursewarewriter.h"
#include "controls/coursemanage/courseware/entryexpander.h"
#include "controls/coursemanage/courseware/gbktext.h"
#include "controls/coursemanage/tests/coursewarefixture.h"

#include "common/testsupport/testhome.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <tuple>

using namespace Qt::StringLiterals;
using namespace Courseware;

namespace {

QByteArray patterned(qsizetype size, char seed = 'a')
{
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        out[i] = char(seed + (i * 7 + i / 13) % 23);
    return out;
}

QStringList keysOf(const ReadResult &result)
{
    QStringList keys;
    for (const CourseRecord &r : result.records)
        keys.append(r.key);
    return keys;
}

ReadResult readBytes(const QByteArray &bytes, const ReadOptions &options = {})
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadCourseware(buffer, options);
}

// Every file below `root`, relative to it.
QStringList filesUnder(const QString &root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

class CoursewareTest : public ::testing::Test
{
protected:
    TestHome home;
    QTemporaryDir dir;
    QString expandFolder = dir.filePath(u"expand"_s);

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(expandFolder)); }

    ReadOptions expanding() const
    {
        ReadOptions options;
        options.expandFolder = expandFolder;
        return options;
    }
};

} // namespace

TEST(GbkText, CountsCharactersNotBytes)
{
    QByteArray field;
    ASSERT_TRUE(AppendTextField(field, u"数学课程"_s));
    // Count 4, then eight bytes: four double-byte characters.
    EXPECT_EQ(field.size(), 2 + 8);
    EXPECT_EQ(field.left(2), QByteArray("\x04\x00", 2));

    field.clear();
    ASSERT_TRUE(AppendTextField(field, u"A课1"_s));
    EXPECT_EQ(field,
        QByteArray("\x03\x00"
                   "A\xbf\xce"
                   "1",
            6));

    QBuffer buffer(&field);
    buffer.open(QIODevice::ReadOnly);
    QString text;
    ASSERT_EQ(ReadTextField(buffer, text), TextFieldStatus::Ok);
    EXPECT_EQ(text, u"A课1"_s);
}

TEST(GbkText, CharactersOutsideGbkBecomeQuestionMarks)
{
    // An emoji would otherwise be four GB18030 bytes that a reader counts as
    // two characters, and the field would swallow the next byte.
    QByteArray field;
    ASSERT_TRUE(AppendTextField(field, u"a😀b"_s));
    EXPECT_EQ(field,
        QByteArray("\x03\x00"
                   "a?b",
            5));
}

TEST(GbkText, OverlongTextIsRefused)
{
    QByteArray field;
    EXPECT_FALSE(AppendTextField(field, QString(40000, u'x')));
    EXPECT_TRUE(field.isEmpty());
}

TEST(CoursePictures, ExtensionsAndPlayedTypes)
{
    const std::tuple<QString, QString, qint16, bool> rows[] = {
        {u"HTML"_s, u"ie"_s, OLE_html, false},
        {u"htm"_s, u"ie"_s, OLE_html, false},
        {u"url"_s, u"ie"_s, OLE_html, false},
        {u"mpeg"_s, u"mov"_s, OLE_Movie, false},
        {u"Avi"_s, u"mov"_s, OLE_Movie, false},
        {u"mov"_s, u"other"_s, 0, false},
        {u"jpeg"_s, u"other"_s, 0, false},
        {u"doc"_s, u"other"_s, 0, false},
        {u""_s, u"other"_s, 0, false},
        {u"swf"_s, u"swf"_s, OLE_html, false},
        {u"PNG"_s, u"png"_s, OLE_html, false},
        {u"txt"_s, u"txt"_s, OLE_html, false},
        {u"mp3"_s, u"mp3"_s, OLE_Wave, false},
        {u"wav"_s, u"wav"_s, OLE_Wave, false},
        {u"jpg"_s, u"jpg"_s, OLE_Office, false},
        {u"gif"_s, u"gif"_s, OLE_Office, false},
        {u"wmf"_s, u"wmf"_s, OLE_Office, false},
    };
    for (const auto &[extension, picture, type, url] : rows) {
        SCOPED_TRACE(extension.toStdString());
        EXPECT_EQ(PictureForExtension(extension), picture);
        bool bUrlFile = true;
        EXPECT_EQ(FileTypeForPicture(picture, &bUrlFile), type);
        if (type != 0)
            EXPECT_EQ(bUrlFile, url);
        else
            EXPECT_TRUE(bUrlFile) << "left alone for unplayable pictures";
    }
    bool bUrlFile = false;
    EXPECT_EQ(FileTypeForPicture(u"URL"_s, &bUrlFile), OLE_html);
    EXPECT_TRUE(bUrlFile);
    EXPECT_EQ(FileTypeForPicture(u"folder"_s), 0);
}

TEST(CourseKeys, ParentsNumbersAndPlainNames)
{
    EXPECT_EQ(ParentKeyOf(u"_0"_s), QString());
    EXPECT_EQ(ParentKeyOf(u"_0_3_12"_s), u"_0_3"_s);
    EXPECT_EQ(ParentKeyOf(u" _0 _4"_s), u"_0"_s);
    EXPECT_EQ(NodeNumberOf(u"_0_3_12"_s), 12);
    EXPECT_EQ(NodeNumberOf(u"_0_x"_s), -1);
    EXPECT_EQ(NodeNumberOf(u"_0_1234567890"_s), -1);

    for (const QString &good : {u"_0"_s, u"_0_1"_s, u"_0_10_200"_s})
        EXPECT_TRUE(IsWellFormedKey(good)) << good.toStdString();
    for (const QString &bad :
        {u""_s, u"_1"_s, u"_0_"_s, u"_0__1"_s, u"_0_a"_s, u"x_0_1"_s, u"_0_1/.."_s})
        EXPECT_FALSE(IsWellFormedKey(bad)) << bad.toStdString();

    for (const QString &bad :
        {u""_s, u"."_s, u".."_s, u"a/b"_s, u"/etc"_s, u"a\\b"_s, u"a"_s + QChar(0) + u"b"_s})
        EXPECT_FALSE(IsPlainFileName(bad));
    EXPECT_TRUE(IsPlainFileName(u"_0_3.jpg"_s));
    EXPECT_TRUE(IsPlainFileName(u"..jpg"_s));

    EXPECT_EQ(ExtensionOfPath(u"/home/a.b/readme"_s), QString());
    EXPECT_EQ(ExtensionOfPath(u"/home/a.b/c.JPG"_s), u"JPG"_s);
    EXPECT_EQ(ResolveTag(u"http://x.cn/a.html.url"_s, u"/t/"_s), u"http://x.cn/a.html"_s);
    EXPECT_EQ(ResolveTag(u"/data/a.jpg"_s, u"/t/"_s), u"/data/a.jpg"_s);
    EXPECT_EQ(ResolveTag(u"_0_3.jpg"_s, u"/t"_s), u"/t/_0_3.jpg"_s);
}

TEST_F(CoursewareTest, RoundTripKeepsTreeOrderAndContents)
{
    // A folder with a dot in its name: the extension comes from the file name.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(u"v1.2"_s)));
    const QString picture = dir.filePath(u"v1.2/图.JPG"_s);
    const QString notes = dir.filePath(u"v1.2/readme"_s);
    const QByteArray pictureBytes = patterned(300000);
    ASSERT_TRUE(WriteWholeFile(picture, pictureBytes));
    ASSERT_TRUE(WriteWholeFile(notes, "plain notes"));

    CourseDocument document;
    document.teacherName = u"王老师"_s;
    document.root = {u"_0"_s, u"数学"_s, u"folder"_s, u"数学"_s,
        {
            {u"_0_1"_s, u"第一章"_s, u"folder"_s, u"第一章"_s,
                {
                    {u"_0_1_4"_s, u"图.JPG"_s, u"jpg"_s, picture, {}},
                    {u"_0_1_5"_s, u"readme"_s, u"other"_s, notes, {}},
                }},
            {u"_0_2"_s, u"http://a.cn/x.url"_s, u"url"_s, u"http://a.cn/x.url"_s, {}},
            {u"_0_3"_s, u"空目录"_s, u"folder"_s, u"空目录"_s,
                {{u"_0_3_6"_s, u"子"_s, u"folder"_s, u"子"_s, {}}}},
        }};
    const QString path = dir.filePath(u"course.lsn"_s);
    const WriteResult written = WriteCoursewareFile(path, document);
    ASSERT_TRUE(written.ok) << written.error.toStdString();
    EXPECT_EQ(written.records, 7);

    const ReadResult result = ReadCoursewareFile(path, expanding());
    ASSERT_EQ(result.status, ReadStatus::Ok);
    EXPECT_TRUE(result.complete);
    EXPECT_TRUE(result.problems.isEmpty()) << result.problems.join(u'\n').toStdString();
    EXPECT_EQ(result.courseName, u"数学"_s);
    EXPECT_EQ(result.teacherName, u"王老师"_s);
    // Root, the root's children as a group, then each child's group in turn.
    EXPECT_EQ(keysOf(result),
        (QStringList{
            u"_0"_s, u"_0_1"_s, u"_0_2"_s, u"_0_3"_s, u"_0_1_4"_s, u"_0_1_5"_s, u"_0_3_6"_s}));
    EXPECT_EQ(result.nextNodeNumber, 7);

    const CourseRecord &image = result.records.at(4);
    EXPECT_EQ(image.kind, NodeKind::File);
    EXPECT_EQ(image.name, u"_0_1_4.JPG"_s);
    EXPECT_EQ(image.tag, u"_0_1_4.JPG"_s);
    EXPECT_EQ(image.picture, u"jpg"_s);
    EXPECT_EQ(image.text, u"图.JPG"_s);
    EXPECT_TRUE(image.expanded);
    EXPECT_EQ(ReadWholeFile(JoinFolder(expandFolder, image.name)), pictureBytes);

    const CourseRecord &bare = result.records.at(5);
    EXPECT_EQ(bare.name, u"_0_1_5."_s);
    EXPECT_EQ(ReadWholeFile(JoinFolder(expandFolder, bare.name)), QByteArray("plain notes"));

    const CourseRecord &web = result.records.at(2);
    EXPECT_EQ(web.kind, NodeKind::WebAddress);
    EXPECT_EQ(web.tag, u"http://a.cn/x.url"_s);
    EXPECT_EQ(web.picture, u"url"_s);
    EXPECT_EQ(result.records.at(0).tag, u"_0"_s) << "a loaded folder's tag is its key";

    // Saved again from the expanded files (tags that are plain names), the
    // bytes come out the same.
    CourseDocument again = document;
    again.root.children[0].children[0].tag = image.tag;
    again.root.children[0].children[1].tag = bare.tag;
    WriteOptions options;
    options.tempFolder = expandFolder;
    const QString second = dir.filePath(u"again.lsn"_s);
    ASSERT_TRUE(WriteCoursewareFile(second, again, options).ok);
    EXPECT_EQ(ReadWholeFile(second), ReadWholeFile(path));
}

TEST_F(CoursewareTest, WrittenHeaderAndEntryLayout)
{
    const QString source = dir.filePath(u"a.txt"_s);
    ASSERT_TRUE(WriteWholeFile(source, patterned(5000)));
    CourseDocument document;
    document.teacherName = u"T"_s;
    document.root = {u"_0"_s, u"课程名称"_s, u"folder"_s, u"x"_s,
        {{u"_0_1"_s, u"a.txt"_s, u"txt"_s, source, {}},
            {u"_0_2"_s, u"http://h/.url"_s, u"url"_s, u"http://h/.url"_s, {}}}};
    QBuffer out;
    out.open(QIODevice::ReadWrite);
    ASSERT_TRUE(WriteCourseware(out, document).ok);
    const QByteArray bytes = out.data();

    const QByteArray header = QByteArray("Aulix Nova Courseware.")
        + QByteArray("\x1a\x00\x01\x00\xff\xff\x00\x00\x00\x00", 10);
    ASSERT_EQ(bytes.left(32), header);
    // Course name: count 4, eight bytes.
    EXPECT_EQ(bytes.mid(32, 2), QByteArray("\x04\x00", 2));
    EXPECT_EQ(DecodeGbk(bytes.mid(34, 8)), u"课程名称"_s);
    qsizetype at = 42;
    EXPECT_EQ(bytes.mid(at, 3), QByteArray("\x01\x00T", 3));
    at += 3;
    // Root record: kind 1, caption, "_0".
    EXPECT_EQ(bytes.mid(at, 2), QByteArray("\x01\x00", 2));
    at += 2 + 10 + 4;
    // File record: kind 2, caption, "_0_1.txt", N, N + 1 bytes.
    EXPECT_EQ(bytes.mid(at, 2), QByteArray("\x02\x00", 2));
    at += 2 + 7;
    EXPECT_EQ(bytes.mid(at, 10), QByteArray("\x08\x00_0_1.txt", 10));
    at += 10;
    const qint32 size = qFromLittleEndian<qint32>(bytes.constData() + at);
    at += 4;
    EXPECT_EQ(bytes.at(at + size), '\0');
    // Right after the zero byte: the web address record with no size.
    at += size + 1;
    EXPECT_EQ(bytes.mid(at, 2), QByteArray("\x02\x00", 2));
    at += 2 + 2 + 13;
    EXPECT_EQ(bytes.mid(at), QByteArray("\x04\x00_0_2", 6));
}

TEST_F(CoursewareTest, WrongMagicIsNotCourseware)
{
    const QByteArray good = CoursewareBytes().header().folder(u"C"_s, u"_0"_s).bytes();
    QByteArray flipped = good;
    flipped[5] = 'x';
    const QByteArray rows[] = {QByteArray(), good.left(21), flipped, QByteArray(64, '\0')};
    for (const QByteArray &bytes : rows)
        EXPECT_EQ(readBytes(bytes).status, ReadStatus::NotCourseware)
            << bytes.toHex().toStdString();
    EXPECT_EQ(readBytes(good).status, ReadStatus::Ok);
}

TEST_F(CoursewareTest, VersionsAboveOneAreRefused)
{
    const std::pair<qint16, ReadStatus> rows[]
        = {{0, ReadStatus::Ok}, {1, ReadStatus::Ok}, {-3, ReadStatus::Ok},
            {2, ReadStatus::UnsupportedVersion}, {300, ReadStatus::UnsupportedVersion}};
    for (const auto &[version, status] : rows) {
        const ReadResult result
            = readBytes(CoursewareBytes().header(version).folder(u"C"_s, u"_0"_s).bytes());
        EXPECT_EQ(result.status, status) << version;
        EXPECT_EQ(result.version, version);
        EXPECT_EQ(result.records.size(), status == ReadStatus::Ok ? 1 : 0);
    }
}

TEST_F(CoursewareTest, IgnoredHeaderFieldsMayHoldAnything)
{
    CoursewareBytes bytes;
    bytes.raw("Aulix Nova Courseware.").int16(-7).int16(1).int16(12345).int16(-1).int16(32767);
    bytes.text(u"课"_s).text(u"师"_s).folder(u"课"_s, u"_0"_s);
    const ReadResult result = readBytes(bytes.bytes());
    ASSERT_EQ(result.status, ReadStatus::Ok);
    EXPECT_EQ(result.courseName, u"课"_s);
    EXPECT_EQ(result.teacherName, u"师"_s);
    EXPECT_EQ(keysOf(result), QStringList{u"_0"_s});
}

TEST_F(CoursewareTest, SizeTenIsFollowedByElevenBytes)
{
    // Nine bytes of zlib data plus one byte the stream does not use: N = 10.
    QByteArray packed = ZlibCompress("x");
    ASSERT_EQ(packed.size(), 9);
    packed.append('\x55');
    CoursewareBytes bytes;
    bytes.header().folder(u"C"_s, u"_0"_s).packedFile(u"x.txt"_s, u"_0_1.txt"_s, packed);
    bytes.folder(u"after"_s, u"_0_2"_s);
    const ReadResult result = ReadCoursewareFile(
        [&] {
            const QString path = dir.filePath(u"ten.lsn"_s);
            bytes.save(path);
            return path;
        }(),
        expanding());
    EXPECT_EQ(keysOf(result), (QStringList{u"_0"_s, u"_0_1"_s, u"_0_2"_s}));
    EXPECT_EQ(result.records.at(1).compressedSize, 10);
    EXPECT_EQ(ReadWholeFile(JoinFolder(expandFolder, u"_0_1.txt"_s)), QByteArray("x"));
    EXPECT_TRUE(result.complete);
}

TEST_F(CoursewareTest, UnknownKindEndsTheTreeKeepingWhatWasRead)
{
    CoursewareBytes bytes;
    bytes.header().folder(u"C"_s, u"_0"_s).url(u"http://a"_s, u"_0_1"_s).int16(3);
    bytes.folder(u"never"_s, u"_0_2"_s);
    const ReadResult result = readBytes(bytes.bytes());
    EXPECT_EQ(result.status, ReadStatus::Ok);
    EXPECT_EQ(keysOf(result), (QStringList{u"_0"_s, u"_0_1"_s}));
    EXPECT_EQ(result.nextNodeNumber, 2);
}

TEST_F(CoursewareTest, CounterFollowsTheLastRecordNotTheLargest)
{
    CoursewareBytes bytes;
    bytes.header().folder(u"C"_s, u"_0"_s).folder(u"a"_s, u"_0_7"_s).url(u"http://b"_s, u"_0_2"_s);
    const ReadResult result = readBytes(bytes.bytes());
    EXPECT_EQ(result.nextNodeNumber, 3);
    EXPECT_EQ(readBytes(CoursewareBytes().header().bytes()).nextNodeNumber, 0);
}

TEST_F(CoursewareTest, WebAddressCarriesNoSize)
{
    CoursewareBytes bytes;
    bytes.header().folder(u"C"_s, u"_0"_s).url(u"http://a.cn/p.html"_s, u"_0_1"_s);
    bytes.file(u"b.txt"_s, u"_0_2.txt"_s, "bee");
    const ReadResult result = ReadCoursewareFile(
        [&] {
            const QString path = dir.filePath(u"url.lsn"_s);
            bytes.save(path);
            return path;
        }(),
        expanding());
    ASSERT_EQ(keysOf(result), (QStringList{u"_0"_s, u"_0_1"_s, u"_0_2"_s}));
    EXPECT_EQ(result.records.at(1).tag, u"http://a.cn/p.html.url"_s);
    EXPECT_EQ(ReadWholeFile(JoinFolder(expandFolder, u"_0_2.txt"_s)), QByteArray("bee"));
}

TEST_F(CoursewareTest, HostileNamesNeverLeaveTheFolder)
{
    const QString rows[] = {
        u"_0_1.jpg/../../../escaped"_s, u"../../escaped.jpg"_s, u"/tmp/escaped.jpg"_s,
        u"_0_1\\..\\escaped.jpg"_s, u"_0_1.j"_s + QChar(0) + u"pg"_s, u".."_s, u""_s,
        u"_0_1"_s, // no extension: no key
        u"_0_x.jpg"_s,
        u"_0_9_1.jpg"_s, // no such parent
        u"_0.jpg"_s, // a file cannot be the root
    };
    for (const QString &name : rows) {
        SCOPED_TRACE(name.toStdString());
        home.clearErrorLog();
        CoursewareBytes bytes;
        bytes.header().folder(u"C"_s, u"_0"_s).file(u"evil"_s, name, "payload");
        bytes.file(u"ok"_s, u"_0_2.txt"_s, "fine");
        const ReadResult result = readBytes(bytes.bytes(), expanding());
        EXPECT_EQ(keysOf(result), (QStringList{u"_0"_s, u"_0_2"_s}));
        EXPECT_EQ(result.rejectedRecords, 1);
        EXPECT_TRUE(result.complete);
        EXPECT_EQ(filesUnder(dir.path()), (QStringList{u"expand/_0_2.txt"_s}));
        EXPECT_TRUE(home.errorLog().contains("Course Manage\r\nSaveCourseFile\r\n"));
        QFile::remove(JoinFolder(expandFolder, u"_0_2.txt"_s));
    }
}

// The folder may already hold links (a shared temporary folder, an extract
// target chosen by the user): an entry replaces a link, never writes
// through it, on the serial and the parallel path alike.
TEST_F(CoursewareTest, PlantedLinksAreReplacedNotFollowed)
{
    const QString victim = dir.filePath(u"victim.txt"_s);
    ASSERT_TRUE(WriteWholeFile(victim, "keep me"));
    CoursewareBytes bytes;
    bytes.header().folder(u"C"_s, u"_0"_s);
    for (int i = 1; i <= 6; ++i)
        bytes.file(u"f"_s, u"_0_%1.jpg"_s.arg(i), patterned(5000 + i, char('a' + i)));
    for (const int threads : {1, 3}) {
        SCOPED_TRACE(threads);
        for (int i = 1; i <= 6; ++i) {
            const QString entry = JoinFolder(expandFolder, u"_0_%1.jpg"_s.arg(i));
            QFile::remove(entry);
            ASSERT_TRUE(QFile::link(victim, entry));
        }
        ReadOptions options = expanding();
        options.expandThreads = threads;
        const ReadResult result = readBytes(bytes.bytes(), options);
        EXPECT_TRUE(result.problems.isEmpty()) << result.problems.join(u'\n').toStdString();
        EXPECT_EQ(ReadWholeFile(victim), QByteArray("keep me"));
        for (int i = 1; i <= 6; ++i) {
            const QFileInfo entry(JoinFolder(expandFolder, u"_0_%1.jpg"_s.arg(i)));
            EXPECT_FALSE(entry.isSymLink());
            EXPECT_EQ(ReadWholeFile(entry.filePath()), patterned(5000 + i, char('a' + i)));
        }
        // Nothing half-written is left beside them.
        EXPECT_EQ(QDir(expandFolder).entryList(QDir::Files | QDir::Hidden).size(), 6);
    }
}

// Many entries, each within its own limit, must not add up past the file's
// limit nor fill the disk; the log says so once, not once per entry.
TEST_F(CoursewareTest, TotalExpansionIsCapped)
{
    CoursewareBytes bytes;
    bytes.header().folder(u"C"_s, u"_0"_s);
    for (int i = 1; i <= 40; ++i)
        bytes.file(u"f"_s, u"_0_%1.txt"_s.arg(i), patterned(10000, char('a' + i % 20)));
    for (const int threads : {1, 4}) {
        SCOPED_TRACE(threads);
        QDir(expandFolder).removeRecursively();
        QDir().mkpath(expandFolder);
        home.clearErrorLog();
        ReadOptions options = expanding();
        options.expandThreads = threads;
        options.totalExpandLimit = 95000;
        const ReadResult result = readBytes(bytes.bytes(), options);
        EXPECT_EQ(result.records.size(), 41); // every node is still listed
        EXPECT_EQ(result.expansionStopped, ExpansionBudget::Stop::Total);
        EXPECT_LE(result.expandedBytes, 95000);
        qint64 onDisk = 0;
        int expanded = 0;
        for (const CourseRecord &r : result.records) {
            const QFileInfo file(JoinFolder(expandFolder, r.name));
            EXPECT_EQ(file.exists(), r.expanded) << r.name.toStdString();
            expanded += r.expanded ? 1 : 0;
            onDisk += r.expanded ? file.size() : 0;
        }
        EXPECT_GE(expanded, 1);
        EXPECT_LE(expanded, 9);
        EXPECT_EQ(onDisk, result.expandedBytes);
        EXPECT_EQ(result.problems.size(), 1);
        EXPECT_EQ(home.errorLog().count("Course Manage\r\n"), 1); // one entry in all
        EXPECT_TRUE(home.errorLog().contains("the course expands past 95000 bytes"));
    }

    // A disk that would keep less than the minimum takes nothing at all.
    QDir(expandFolder).removeRecursively();
    QDir().mkpath(expandFolder);
    ReadOptions options = expanding();
    options.minFreeSpace = QStorageInfo(expandFolder).bytesAvailable() + (qint64(1) << 30);
    const ReadResult result = readBytes(bytes.bytes(), options);
    EXPECT_EQ(result.expansionStopped, ExpansionBudget::Stop::Disk);
    EXPECT_EQ(result.expandedBytes, 0);
    EXPECT_TRUE(filesUnder(expandFolder).isEmpty());
    ASSERT_EQ(result.problems.size(), 1);
    EXPECT_TRUE(result.problems[0].contains(u"40 files left packed"_s));
}

TEST_F(CoursewareTest, DuplicateKeysKeepTheFirst)
{
    CoursewareBytes bytes;
    bytes.header().folder(u"C"_s, u"_0"_s).file(u"a"_s, u"_0_1.txt"_s, "first");
    bytes.file(u"b"_s, u"_0_1.txt"_s, "second").folder(u"again"_s, u"_0"_s);
    const ReadResult result = readBytes(bytes.bytes(), expanding());
    EXPECT_EQ(keysOf(result), (QStringList{u"_0"_s, u"_0_1"_s}));
    EXPECT_EQ(result.rejectedRecords, 2);
    EXPECT_EQ(ReadWholeFile(JoinFolder(expandFolder, u"_0_1.txt"_s)), QByteArray("first"));
}

TEST_F(CoursewareTest, ImpossibleLengthsEndTheReadingLikeATruncatedFile)
{
    const QByteArray prefix = CoursewareBytes().header().folder(u"C"_s, u"_0"_s).bytes();
    const std::pair<const char *, QByteArray> rows[] = {
        {"negative size",
            CoursewareBytes()
                .int16(2)
                .text(u"a"_s)
                .text(u"_0_1.txt"_s)
                .int32(-5)
                .raw(QByteArray(32, 'z'))
                .bytes()},
        {"size past the end",
            CoursewareBytes()
                .int16(2)
                .text(u"a"_s)
                .text(u"_0_1.txt"_s)
                .int32(100)
                .raw(QByteArray(100, 'z'))
                .bytes()},
        {"largest size",
            CoursewareBytes().int16(2).text(u"a"_s).text(u"_0_1.txt"_s).int32(0x7fffffff).bytes()},
        {"negative count", CoursewareBytes().int16(1).int16(-2).raw("abcd").bytes()},
        {"count past the end", CoursewareBytes().int16(1).int16(30000).raw("abcd").bytes()},
        {"half a kind", QByteArray(1, '\x01')},
    };
    for (const auto &[what, tail] : rows) {
        SCOPED_TRACE(what);
        home.clearErrorLog();
        const ReadResult result = readBytes(prefix + tail, expanding());
        EXPECT_EQ(result.status, ReadStatus::Ok);
        EXPECT_FALSE(result.complete);
        EXPECT_EQ(keysOf(result), QStringList{u"_0"_s});
        EXPECT_FALSE(result.problems.isEmpty());
        EXPECT_TRUE(home.errorLog().contains("truncated courseware file"));
        EXPECT_TRUE(filesUnder(expandFolder).isEmpty());
    }
}

TEST_F(CoursewareTest, EveryTruncationIsHandled)
{
    const QByteArray whole = CoursewareBytes()
                                 .header(1, u"课程"_s, u"老师"_s)
                                 .folder(u"C"_s, u"_0"_s)
                                 .file(u"a"_s, u"_0_1.txt"_s, patterned(2000))
                                 .url(u"http://x"_s, u"_0_2"_s)
                                 .folder(u"f"_s, u"_0_3"_s)
                                 .bytes();
    const qsizetype full = readBytes(whole).records.size();
    ASSERT_EQ(full, 4);
    qsizetype previous = 0;
    for (qsizetype cut = 22; cut < whole.size(); ++cut) {
        const ReadResult result = readBytes(whole.left(cut), expanding());
        ASSERT_EQ(result.status, ReadStatus::Ok) << cut;
        EXPECT_GE(result.records.size(), previous) << cut;
        EXPECT_LT(result.records.size(), full) << cut;
        for (const CourseRecord &record : result.records)
            EXPECT_TRUE(record.kind != NodeKind::File || record.expanded) << cut;
        previous = result.records.size();
    }
}

TEST_F(CoursewareTest, DamagedDataLeavesNoFileButKeepsTheNode)
{
    QByteArray packed = ZlibCompress(patterned(10000));
    packed[packed.size() / 2] = char(packed.at(packed.size() / 2) ^ 0x5a);
    packed[packed.size() / 2 + 1] = char(packed.at(packed.size() / 2 + 1) ^ 0xa5);
    CoursewareBytes bytes;
    bytes.header().folder(u"C"_s, u"_0"_s).packedFile(u"bad"_s, u"_0_1.txt"_s, packed);
    bytes.packedFile(u"short"_s, u"_0_2.txt"_s, ZlibCompress(patterned(5000)).left(20));
    bytes.file(u"good"_s, u"_0_3.txt"_s, "good");
    const ReadResult result = readBytes(bytes.bytes(), expanding());
    ASSERT_EQ(keysOf(result), (QStringList{u"_0"_s, u"_0_1"_s, u"_0_2"_s, u"_0_3"_s}));
    EXPECT_FALSE(result.records.at(1).expanded);
    EXPECT_FALSE(result.records.at(2).expanded);
    EXPECT_TRUE(result.records.at(3).expanded);
    EXPECT_EQ(filesUnder(expandFolder), QStringList{u"_0_3.txt"_s});
}

TEST_F(CoursewareTest, ExpansionStopsAtTheLimit)
{
    const QByteArray bomb(4 << 20, '\0'); // four MiB of zeros pack into a few KiB
    const QByteArray small = patterned(100000);
    struct Row {
        const char *what;
        qint64 limit;
        qint64 inMemory;
        bool bombExpanded;
        bool fromBuffer = false; // read piecewise from the device
    };
    const Row rows[] = {
        {"in memory", 1 << 20, 64 << 20, false},
        {"streamed from memory", 1 << 20, 0, false},
        {"streamed from the device", 1 << 20, 0, false, true},
        {"streamed from the device, within the limit", 8 << 20, 0, true, true},
        {"past the memory ceiling, within the limit", 8 << 20, 1 << 20, true},
        {"exactly at the limit", 4 << 20, 64 << 20, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        QDir(expandFolder).removeRecursively();
        QDir().mkpath(expandFolder);
        home.clearErrorLog();
        CoursewareBytes bytes;
        bytes.header().folder(u"C"_s, u"_0"_s).file(u"bomb"_s, u"_0_1.txt"_s, bomb);
        bytes.file(u"small"_s, u"_0_2.txt"_s, small);
        const QString path = dir.filePath(u"bomb.lsn"_s);
        ASSERT_TRUE(bytes.save(path));
        ReadOptions options = expanding();
        options.expandLimit = row.limit;
        options.inMemoryLimit = row.inMemory;
        // On the reading thread, entries past the in-memory size stream
        // straight from the device.
        options.expandThreads = row.fromBuffer ? 1 : 0;
        const ReadResult result = row.fromBuffer ? readBytes(bytes.bytes(), options)
                                                 : ReadCoursewareFile(path, options);
        ASSERT_EQ(result.records.size(), 3);
        EXPECT_EQ(result.records.at(1).expanded, row.bombExpanded);
        EXPECT_EQ(QFile::exists(JoinFolder(expandFolder, u"_0_1.txt"_s)), row.bombExpanded);
        EXPECT_EQ(ReadWholeFile(JoinFolder(expandFolder, u"_0_2.txt"_s)), small);
        EXPECT_EQ(home.errorLog().contains("abandoned"), !row.bombExpanded);
    }
}

TEST(EntryExpander, StreamedAndInMemoryAgree)
{
    const QByteArray plain = patterned(3 << 20, 'k');
    const QByteArray packed = ZlibCompress(plain) + QByteArray(1, '\0');
    for (const qint64 inMemory : {qint64(64) << 20, qint64(1000)}) {
        EntryExpander expander(qint64(1) << 30, inMemory);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        EXPECT_EQ(expander.expand(packed, out).status, ExpandStatus::Ok);
        EXPECT_EQ(out.data(), plain);

        QBuffer in;
        in.setData(packed);
        in.open(QIODevice::ReadOnly);
        QBuffer streamed;
        streamed.open(QIODevice::WriteOnly);
        const ExpandOutcome outcome = expander.expandStream(in, packed.size(), streamed);
        EXPECT_EQ(outcome.status, ExpandStatus::Ok);
        EXPECT_EQ(outcome.written, plain.size());
        EXPECT_EQ(streamed.data(), plain);
    }
}

TEST_F(CoursewareTest, LargeEntriesStreamThroughTheWriter)
{
    const QString source = dir.filePath(u"big.wav"_s);
    const QByteArray content = patterned(700000, 'q');
    ASSERT_TRUE(WriteWholeFile(source, content));
    CourseDocument document;
    document.root
        = {u"_0"_s, u"C"_s, u"folder"_s, u"C"_s, {{u"_0_1"_s, u"big.wav"_s, u"wav"_s, source, {}}}};
    WriteOptions options;
    options.inMemoryLimit = 1000;
    qint64 lastDone = -1;
    qint64 lastTotal = 0;
    options.progress = [&](qint64 done, qint64 total) {
        EXPECT_GT(done, lastDone);
        lastDone = done;
        lastTotal = total;
    };
    const QString path = dir.filePath(u"big.lsn"_s);
    ASSERT_TRUE(WriteCoursewareFile(path, document, options).ok);
    EXPECT_EQ(lastDone, lastTotal);

    const ReadResult result = ReadCoursewareFile(path, expanding());
    ASSERT_TRUE(result.complete);
    ASSERT_EQ(result.records.size(), 2);
    EXPECT_EQ(ReadWholeFile(JoinFolder(expandFolder, u"_0_1.wav"_s)), content);
}

TEST_F(CoursewareTest, FailedSaveLeavesTheOldFile)
{
    const QString path = dir.filePath(u"keep.lsn"_s);
    ASSERT_TRUE(WriteWholeFile(path, "the old course"));
    const std::pair<const char *, CourseNode> rows[] = {
        {"missing source", {u"_0_1"_s, u"gone.jpg"_s, u"jpg"_s, dir.filePath(u"gone.jpg"_s), {}}},
        {"malformed key", {u"_0_../x"_s, u"f"_s, u"folder"_s, u"f"_s, {}}},
        {"overlong caption", {u"_0_1"_s, QString(40000, u'x'), u"folder"_s, u"f"_s, {}}},
    };
    for (const auto &[what, node] : rows) {
        SCOPED_TRACE(what);
        home.clearErrorLog();
        CourseDocument document;
        document.root = {u"_0"_s, u"C"_s, u"folder"_s, u"C"_s, {node}};
        const WriteResult result = WriteCoursewareFile(path, document);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_EQ(ReadWholeFile(path), QByteArray("the old course"));
        EXPECT_TRUE(home.errorLog().contains("Course Manage"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u"keep.lsn"_s})
            << "no leftovers";
    }
}

TEST_F(CoursewareTest, KeptFuzzerInputsAreReadSafely)
{
    QDir corpus(QStringLiteral(LUMO_COURSEWARE_CORPUS));
    const QStringList inputs = corpus.entryList(QDir::Files);
    ASSERT_FALSE(inputs.isEmpty());
    for (const QString &input : inputs) {
        SCOPED_TRACE(input.toStdString());
        ReadOptions options = expanding();
        options.expandLimit = 1 << 20;
        const ReadResult result = ReadCoursewareFile(corpus.filePath(input), options);
        for (const QString &file : filesUnder(dir.path()))
            EXPECT_TRUE(file.startsWith(u"expand/"_s)) << file.toStdString();
        QDir(expandFolder).removeRecursively();
        QDir().mkpath(expandFolder);
        Q_UNUSED(result)
    }
}

TEST_F(CoursewareTest, ParallelExpansionMatchesTheSerialOne)
{
    CoursewareBytes bytes;
    bytes.header().folder(u"C"_s, u"_0"_s);
    for (int i = 1; i <= 40; ++i) {
        if (i == 7)
            bytes.packedFile(u"bad"_s, u"_0_7.txt"_s, ZlibCompress(patterned(9000)).left(30));
        else if (i == 20)
            bytes.file(u"bomb"_s, u"_0_20.txt"_s, QByteArray(3 << 20, '\0'));
        else
            bytes.file(
                u"f"_s, u"_0_%1.txt"_s.arg(i), patterned(20000 + i * 1000, char('a' + i % 20)));
    }
    const QString path = dir.filePath(u"many.lsn"_s);
    ASSERT_TRUE(bytes.save(path));

    QList<QByteArray> contents[2];
    ReadResult results[2];
    for (int run = 0; run < 2; ++run) {
        QDir(expandFolder).removeRecursively();
        QDir().mkpath(expandFolder);
        ReadOptions options = expanding();
        options.expandLimit = 1 << 20;
        options.expandThreads = run == 0 ? 1 : 3;
        results[run] = ReadCoursewareFile(path, options);
        for (int i = 1; i <= 40; ++i)
            contents[run].append(ReadWholeFile(JoinFolder(expandFolder, u"_0_%1.txt"_s.arg(i))));
    }
    ASSERT_EQ(keysOf(results[0]), keysOf(results[1]));
    EXPECT_EQ(results[0].problems, results[1].problems);
    EXPECT_EQ(results[0].problems.size(), 2);
    EXPECT_EQ(results[0].expandedBytes, results[1].expandedBytes);
    for (qsizetype i = 0; i < results[0].records.size(); ++i) {
        EXPECT_EQ(results[0].records.at(i).expanded, results[1].records.at(i).expanded) << i;
        EXPECT_EQ(results[0].records.at(i).expandedSize, results[1].records.at(i).expandedSize)
            << i;
    }
    EXPECT_FALSE(results[1].records.at(7).expanded);
    EXPECT_FALSE(results[1].records.at(20).expanded);
    EXPECT_EQ(contents[0], contents[1]);
    EXPECT_EQ(contents[1].at(0), patterned(21000, char('a' + 1)));
}
