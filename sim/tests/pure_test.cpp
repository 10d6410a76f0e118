// The simulator's pure parts: server-side framing, voice datagrams, teacher
// commands and scripts, the configuration and the web path guard.
#include "common/testsupport/qtprinters.h"
#include "protocol/messages.h"
#include "sim/core/serverframe.h"
#include "sim/core/simconfig.h"
#include "sim/core/simwebserver.h"
#include "sim/core/teachercommand.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray header(quint8 b0, quint8 type, quint16 length)
{
    QByteArray bytes(16, '\0');
    bytes[0] = char(b0);
    bytes[4] = char(type);
    bytes[14] = char(length & 0xff);
    bytes[15] = char(length >> 8);
    return bytes;
}

struct CutRow {
    const char *name;
    QByteArray buffer;
    ServerFrame::Status status;
    qsizetype length;
};

class ClientFrameCut : public testing::TestWithParam<CutRow>
{
};

TEST_P(ClientFrameCut, AcceptsWhatClientsSendAndRefusesTheRest)
{
    const ServerFrame::Cut cut = ServerFrame::cutClientFrame(GetParam().buffer);
    EXPECT_EQ(cut.status, GetParam().status);
    EXPECT_EQ(cut.length, GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(Rows, ClientFrameCut,
    testing::Values(
        // Types 13 and 14 only travel from client to server: the client's own
        // rule refuses them, the server's must not.
        CutRow{"ClientReady", header(9, 13, 0), ServerFrame::Status::Frame, 16},
        CutRow{"RefreshWhiteBoard", header(9, 14, 0), ServerFrame::Status::Frame, 16},
        CutRow{"CampusLogOut", header(9, 28, 2) + "ab", ServerFrame::Status::Frame, 18},
        CutRow{"TrailingBytesStay", header(9, 1, 2) + "abcd", ServerFrame::Status::Frame, 18},
        CutRow{"PayloadMissing", header(9, 1, 4) + "ab", ServerFrame::Status::Incomplete, 0},
        CutRow{"HeaderMissing", header(9, 1, 0).left(10), ServerFrame::Status::Incomplete, 0},
        CutRow{"WrongFirstByteAtOnce", QByteArray(1, '\x0a'), ServerFrame::Status::Refused, 0},
        CutRow{"Type15", header(9, 15, 0), ServerFrame::Status::Refused, 0},
        CutRow{"Type20", header(9, 20, 0), ServerFrame::Status::Refused, 0},
        CutRow{"Type29", header(9, 29, 0), ServerFrame::Status::Refused, 0},
        CutRow{"TypeSeenBeforeLength", header(9, 99, 0).left(5), ServerFrame::Status::Refused, 0},
        CutRow{"LargestPayload", header(9, 1, 32768) + QByteArray(32768, 'x'),
            ServerFrame::Status::Frame, 32784},
        // Refused from the header alone: nothing is buffered for it.
        CutRow{"PayloadTooLarge", header(9, 1, 32769), ServerFrame::Status::Refused, 0}),
    [](const testing::TestParamInfo<CutRow> &row) { return std::string(row.param.name); });

TEST(ServerFrame, EncodesTheHeaderTheClientExpectsAndDecodesItBack)
{
    const QByteArray frame = ServerFrame::encode(mtNotes, 1, 1234, QByteArray::fromHex("09000000"));
    EXPECT_EQ(frame.toHex(),
        QByteArray("090000000101d2040000000000000400"
                   "09000000"));
    const ServerFrame::Frame decoded = ServerFrame::decode(frame);
    EXPECT_EQ(decoded.type, mtNotes);
    EXPECT_EQ(decoded.verb, 1);
    EXPECT_EQ(decoded.id, 1234);
    EXPECT_EQ(decoded.payload, QByteArray::fromHex("09000000"));
}

struct CommandRow {
    const char *name;
    QString line;
    quint8 type;
    qint32 verb;
    QByteArray payload;
    qint32 actor = 0;
};

class TeacherMessageCommand : public testing::TestWithParam<CommandRow>
{
};

TEST_P(TeacherMessageCommand, BuildsTheWireMessage)
{
    TeacherCommand command;
    QString error;
    ASSERT_TRUE(ParseTeacherCommand(GetParam().line, command, error)) << error.toStdString();
    EXPECT_EQ(command.kind, TeacherCommand::Kind::Message);
    EXPECT_EQ(command.type, GetParam().type);
    EXPECT_EQ(command.verb, GetParam().verb);
    EXPECT_EQ(command.payload, GetParam().payload);
    EXPECT_EQ(command.actor, GetParam().actor);
}

INSTANTIATE_TEST_SUITE_P(Rows, TeacherMessageCommand,
    testing::Values(CommandRow{"Rectangle", u"rect 1 2 3 4 color=#ff0000 width=3"_s, mtWhiteBoard,
                        0, Messages::whiteBoard(1, 2, 3, 4, 3, 255, {}, 0, {})},
        // #RRGGBB is turned into the peers' R + 256 G + 65536 B.
        CommandRow{"BlueOval", u"oval 10 20 30 40 color=#0000ff"_s, mtWhiteBoard, 2,
            Messages::whiteBoard(10, 20, 30, 40, 2, 0xff0000, {}, 0, {})},
        CommandRow{"Circle", u"circle 0 0 9 9 color=65280"_s, mtWhiteBoard, 3,
            Messages::whiteBoard(0, 0, 9, 9, 2, 0x00ff00, {}, 0, {})},
        CommandRow{"LineKeepsCase", u"LINE 5 6 7 8"_s, mtWhiteBoard, 6,
            Messages::whiteBoard(5, 6, 7, 8, 2, 255, {}, 0, {})},
        CommandRow{"TextAtItsPoint", u"text 800 900 Hello 你好 size=20 font=Arial"_s, mtWhiteBoard,
            7, Messages::whiteBoard(800, 900, 800, 900, 0, 0, u"Hello 你好"_s, 20, u"Arial"_s)},
        CommandRow{"PointerMove", u"pointer 1500 1600"_s, mtWhiteBoard, 8,
            Messages::whiteBoard(255, 255, 1500, 1600, 0, 0, {}, 0, {})},
        CommandRow{"FinishedArrow", u"arrow 1500 1600"_s, mtWhiteBoard, 8,
            Messages::whiteBoard(1500, 1600, 1500, 1600, 0, 0, {}, 0, {})},
        CommandRow{"Clear", u"clear"_s, mtWhiteBoard, 255, QByteArray(32, '\0')},
        CommandRow{"PlayPage", u"play 5"_s, mtPlay, 0, Messages::play(5, 0, false)},
        CommandRow{"PlayMedia", u"play 7 verb=2 pos=1500 media"_s, mtPlay, 2,
            Messages::play(7, 1500, true)},
        CommandRow{"UrlKeepsItsText", u"url http://h/a?x=1&y=2"_s, mtUrl, 0,
            Wire::wideBytes(u"http://h/a?x=1&y=2"_s)},
        CommandRow{
            "YesNo", u"yesno 你听得清楚吗？"_s, mtYesNo, 1, Wire::wideBytes(u"你听得清楚吗？"_s)},
        CommandRow{"Ok", u"ok ready?"_s, mtOK, 1, Wire::wideBytes(u"ready?"_s)},
        CommandRow{"NotesOff", u"notes off"_s, mtEnable, 0, QByteArray(1, char(gsDisableNote))},
        CommandRow{"VoiceOn", u"voice on"_s, mtEnable, 0, QByteArray(1, char(gsEnableVoice))},
        CommandRow{"SpeakOff", u"speak off"_s, mtEnable, 0, QByteArray(1, char(gsDisableSpeak))},
        CommandRow{"WhiteboardOn", u"whiteboard on"_s, mtEnable, 0,
            QByteArray(1, char(gsEnableWhiteBoard))},
        CommandRow{
            "NoteToAll", u"note hello there"_s, mtNotes, 0, Wire::wideBytes(u"hello there"_s)},
        CommandRow{
            "NoteToOne", u"note to=9 hi"_s, mtNotes, 1, Messages::note(1, 9, u"hi"_s).payload},
        CommandRow{
            "MicVolume", u"mpvolume 1001 40000"_s, mtVolume, 0, Messages::twoNumbers(1001, 40000)},
        CommandRow{"SpeakerVolume", u"spvolume 0 5"_s, mtVolume, 1, Messages::twoNumbers(0, 5)},
        CommandRow{"ClassmateNote", u"as 1002 note 老师好"_s, mtNotes, 0,
            Wire::wideBytes(u"老师好"_s), 1002},
        CommandRow{
            "ClassmateAsksForMic", u"as 1002 mic request"_s, mtMicroPhoneRequestion, 1, {}, 1002},
        CommandRow{
            "ClassmateReturnsMic", u"as 1002 mic return"_s, mtMicroPhoneRequestion, 0, {}, 1002},
        CommandRow{"ClassmateAnswersNo", u"as 1003 answer no"_s, mtYesNo, 2,
            Messages::answer(false), 1003},
        CommandRow{"ClassmateOk", u"as 1003 ok"_s, mtOK, 2, Messages::answer(true), 1003}),
    [](const testing::TestParamInfo<CommandRow> &row) { return std::string(row.param.name); });

TEST(TeacherCommand, FloorPermitHandAndEnd)
{
    TeacherCommand command;
    QString error;
    ASSERT_TRUE(ParseTeacherCommand(u"grant 1002"_s, command, error));
    EXPECT_EQ(command.kind, TeacherCommand::Kind::Grant);
    EXPECT_EQ(command.target, 1002);
    ASSERT_TRUE(ParseTeacherCommand(u"takeback"_s, command, error));
    EXPECT_EQ(command.kind, TeacherCommand::Kind::TakeBack);
    ASSERT_TRUE(ParseTeacherCommand(u"permit 1001 whiteboard on"_s, command, error));
    EXPECT_EQ(command.kind, TeacherCommand::Kind::Permit);
    EXPECT_EQ(command.bit, 0x10);
    EXPECT_TRUE(command.on);
    ASSERT_TRUE(ParseTeacherCommand(u"as 1002 hand up"_s, command, error));
    EXPECT_EQ(command.kind, TeacherCommand::Kind::Hand);
    EXPECT_EQ(command.actor, 1002);
    EXPECT_TRUE(command.on);
    ASSERT_TRUE(ParseTeacherCommand(u"end"_s, command, error));
    EXPECT_EQ(command.kind, TeacherCommand::Kind::End);
}

class BadTeacherCommand : public testing::TestWithParam<QString>
{
};

TEST_P(BadTeacherCommand, IsRefusedWithAReason)
{
    TeacherCommand command;
    QString error;
    EXPECT_FALSE(ParseTeacherCommand(GetParam(), command, error));
    EXPECT_FALSE(error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, BadTeacherCommand,
    testing::Values(u""_s, u"dance"_s, u"rect 1 2 3"_s, u"rect 1 2 3 x"_s, u"rect 1 2 3 -4"_s,
        u"rect 1 2 3 4 color=#12"_s, u"line 1 2 3 4 width=w"_s, u"text 1 2"_s, u"play"_s,
        u"play 5 verb=256"_s, u"url"_s, u"notes maybe"_s, u"grant"_s, u"permit 5 fly on"_s,
        u"as 0 note hi"_s, u"as 5 grant 6"_s, u"as 5 hand sideways"_s, u"as 5 answer perhaps"_s,
        u"note"_s, u"mpvolume 1"_s));

TEST(TeacherScript, SortsByTimeKeepsLineOrderAndSkipsComments)
{
    QList<TimedCommand> commands;
    QString error;
    ASSERT_TRUE(ParseTeacherScript(
        u"# a lesson\n2 clear\n\n1.5 play 5\n2 note a #1 colour=#ff\n"_s, commands, error))
        << error.toStdString();
    ASSERT_EQ(commands.size(), 3);
    EXPECT_EQ(commands[0].atMs, 1500);
    EXPECT_EQ(commands[0].line, 4);
    EXPECT_EQ(commands[1].line, 2);
    EXPECT_EQ(commands[2].line, 5);
    // A "#" inside a line is text, not a comment.
    EXPECT_EQ(commands[2].command.payload, Wire::wideBytes(u"a #1 colour=#ff"_s));
}

TEST(TeacherScript, NamesTheFirstBadLine)
{
    QList<TimedCommand> commands;
    QString error;
    EXPECT_FALSE(ParseTeacherScript(u"1 clear\nsoon clear\n"_s, commands, error));
    EXPECT_TRUE(error.startsWith(u"line 2:"_s)) << error.toStdString();
    EXPECT_FALSE(ParseTeacherScript(u"1 clear\n3 jump\n"_s, commands, error));
    EXPECT_TRUE(error.startsWith(u"line 2:"_s)) << error.toStdString();
    EXPECT_TRUE(commands.isEmpty());
}

const char *const ValidConfig = R"({
  "users": [
    {"code": "demo", "id": 1001, "password": "demo", "nick": "demo"},
    {"code": "wang", "id": 9001, "nick": "王老师", "type": 2, "scripted": true}
  ],
  "categories": [{"id": 7, "name": "English"}],
  "classrooms": [{"name": "a", "teacher": 9001, "floor": "auto", "bundleEvery": 3}],
  "courses": [{"id": 12, "category": 7, "file": "demo.lsn", "booked": ["demo"]}]
})";

TEST(SimConfig, ReadsAValidConfigurationWithItsDefaults)
{
    SimConfig config;
    QString error;
    ASSERT_TRUE(ParseSimConfig(ValidConfig, u"/base"_s, config, error)) << error.toStdString();
    EXPECT_EQ(config.courseFolder, u"/base/courses"_s);
    ASSERT_EQ(config.courses.size(), 1);
    EXPECT_EQ(config.courses[0].classroom, u"a"_s); // the first classroom by default
    EXPECT_EQ(config.classrooms[0].initialStatus, 15);
    EXPECT_EQ(config.classrooms[0].bundleEvery, 3);
    ASSERT_NE(config.userByCode(u"wang"_s), nullptr);
    EXPECT_EQ(config.userByCode(u"wang"_s)->type, 2);
}

struct ConfigRow {
    const char *name;
    const char *from;
    const char *to;
};

class BadConfig : public testing::TestWithParam<ConfigRow>
{
};

TEST_P(BadConfig, IsRefusedWhole)
{
    QByteArray json(ValidConfig);
    ASSERT_TRUE(json.contains(GetParam().from));
    json.replace(GetParam().from, GetParam().to);
    SimConfig config;
    config.campusAddress = u"untouched"_s;
    QString error;
    EXPECT_FALSE(ParseSimConfig(json, u"/base"_s, config, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(config.campusAddress, u"untouched"_s);
}

INSTANTIATE_TEST_SUITE_P(Rows, BadConfig,
    testing::Values(ConfigRow{"NotJson", "\"users\": [", "\"users\" ["},
        ConfigRow{"ZeroId", "\"id\": 1001", "\"id\": 0"},
        ConfigRow{"TwiceTheSameId", "\"id\": 9001", "\"id\": 1001"},
        ConfigRow{"TypeThree", "\"type\": 2", "\"type\": 3"},
        // 17 bytes do not fit the classroom login's 16.
        ConfigRow{"LongPassword", "\"password\": \"demo\"", "\"password\": \"abcdefghijklmnopq\""},
        // Nine Chinese characters are 18 bytes in the roster's code page.
        ConfigRow{"LongNick", "\"nick\": \"demo\"", "\"nick\": \"一二三四五六七八九\""},
        ConfigRow{"TeacherNotScripted", ", \"scripted\": true", ""},
        ConfigRow{"TeacherIsAStudent", "\"type\": 2, ", ""},
        ConfigRow{"UnknownFloor", "\"auto\"", "\"loud\""},
        ConfigRow{"UnknownCategory", "\"category\": 7", "\"category\": 8"},
        ConfigRow{"FileWithFolder", "\"demo.lsn\"", "\"../demo.lsn\""},
        ConfigRow{"HiddenFile", "\"demo.lsn\"", "\".lsn\""},
        ConfigRow{"UnknownBooking", "\"booked\": [\"demo\"]", "\"booked\": [\"nobody\"]"},
        ConfigRow{"NoClassroom",
            "\"classrooms\": [{\"name\": \"a\", \"teacher\": 9001, \"floor\": \"auto\", "
            "\"bundleEvery\": 3}]",
            "\"classrooms\": []"}),
    [](const testing::TestParamInfo<ConfigRow> &row) { return std::string(row.param.name); });

TEST(SimWebServer, ServesOnlyPlainFilesOfTheFolder)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(u"demo.lsn"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QFile hidden(dir.filePath(u".secret"_s));
    ASSERT_TRUE(hidden.open(QIODevice::WriteOnly));
    hidden.close();
    const QString folder = dir.path();
    EXPECT_EQ(
        SimWebServer::fileInFolder(folder, u"demo.lsn"_s), QFileInfo(file).absoluteFilePath());
    EXPECT_EQ(
        SimWebServer::fileInFolder(folder, u"demo%2Elsn"_s), QFileInfo(file).absoluteFilePath());
    for (const QString &segment : {u""_s, u".secret"_s, u".."_s, u"%2e%2e"_s, u"..%2fdemo.lsn"_s,
             u"x%5cdemo.lsn"_s, u"missing.lsn"_s, u"demo.lsn%00"_s})
        EXPECT_TRUE(SimWebServer::fileInFolder(folder, segment).isEmpty()) << segment.toStdString();
}

} // namespace
