// End to end: the simulator program against headless students (lumo-cli),
// each in its own process, as the demo and the client's tests use them.
#include "common/testsupport/qtprinters.h"
#include "common/testsupport/testhome.h"
#include "protocol/msgtypes.h"
#include "sim/core/voicepackets.h"
#include "voice/wire/voicewire.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkDatagram>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A process that speaks JSON lines on standard output.
class JsonProcess
{
public:
    ~JsonProcess()
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.closeWriteChannel();
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    bool start(const QString &program, const QStringList &arguments)
    {
        process.setProgram(program);
        process.setArguments(arguments);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start();
        return process.waitForStarted(5000);
    }

    void send(const QJsonObject &command)
    {
        process.write(QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n');
    }

    void sendLine(const QByteArray &line) { process.write(line + '\n'); }

    // Waits for a line not taken before that matches, and takes it.
    std::optional<QJsonObject> take(
        const std::function<bool(const QJsonObject &)> &match, int ms = 5000)
    {
        std::optional<QJsonObject> found;
        (void)QTest::qWaitFor(
            [&] {
                readLines();
                for (qsizetype i = 0; i < lines.size(); ++i) {
                    if (match(lines[i])) {
                        found = lines.takeAt(i);
                        return true;
                    }
                }
                return false;
            },
            ms);
        return found;
    }

    std::optional<QJsonObject> event(
        const QString &name, const QJsonObject &fields = {}, int ms = 5000)
    {
        return take(
            [&](const QJsonObject &line) {
                if (line.value(u"event"_s).toString() != name)
                    return false;
                for (auto it = fields.begin(); it != fields.end(); ++it) {
                    if (line.value(it.key()) != it.value())
                        return false;
                }
                return true;
            },
            ms);
    }

    std::optional<QJsonObject> log(const QString &what, int ms = 5000)
    {
        return take(
            [&](const QJsonObject &line) { return line.value(u"sim"_s).toString() == what; }, ms);
    }

    void readLines()
    {
        m_partial.append(process.readAllStandardOutput());
        qsizetype newline;
        while ((newline = m_partial.indexOf('\n')) >= 0) {
            const QJsonDocument document = QJsonDocument::fromJson(m_partial.left(newline));
            m_partial.remove(0, newline + 1);
            if (document.isObject())
                lines.append(document.object());
        }
    }

    QProcess process;
    QList<QJsonObject> lines;

private:
    QByteArray m_partial;
};

const char *const Config = R"({
  "users": [
    {"code": "ann", "id": 11, "password": "pw-ann", "nick": "ann"},
    {"code": "bob", "id": 12, "password": "pw-bob", "nick": "bob"},
    {"code": "tea", "id": 90, "nick": "teacher", "type": 2, "scripted": true},
    {"code": "mate", "id": 21, "nick": "mate", "scripted": true}
  ],
  "categories": [{"id": 7, "name": "English"}],
  "classrooms": [{"name": "a", "teacher": 90, "members": [21], "floor": "auto", "script": "lesson.txt"}],
  "courses": [
    {"id": 12, "category": 7, "file": "one.lsn", "booked": ["ann"]},
    {"id": 13, "category": 7, "file": "two.lsn"}
  ]
})";

const char *const Lesson = R"(# every kind of teacher action, a moment apart
0.1 rect 10 20 30 40 color=#ff0000 width=3
0.1 oval 1 2 3 4
0.1 roundrect 1 2 3 4
0.1 line 1 2 3 4
0.1 text 50 60 hi size=9 font=Arial
0.1 pointer 70 80
0.1 clear
0.2 play 5 verb=2 pos=1500 media
0.2 url {web}/demo/page.html
0.2 yesno ready?
0.2 ok listen
0.2 notes off
0.2 voice off
0.2 speak off
0.2 whiteboard off
0.3 grant 11
0.3 takeback
0.3 mpvolume 11 40000
0.3 spvolume 11 50000
0.3 note to=11 for you
0.3 as 21 hand up
0.3 note bye
0.4 end
)";

class EndToEnd : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeFile(u"sim.json"_s, Config);
        writeFile(u"lesson.txt"_s, Lesson);
        QDir(dir.path()).mkpath(u"courses/campus7"_s);
        writeFile(u"courses/campus7/one.lsn"_s, "Aulix Nova Courseware.");
    }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void startSim(const QStringList &extra = {})
    {
        ASSERT_TRUE(sim.start(QStringLiteral(LUMO_SIM_PATH),
            QStringList{u"--config"_s, dir.filePath(u"sim.json"_s)} + extra));
        // The ports come first.
        const auto first
            = sim.take([](const QJsonObject &line) { return line.contains(u"campus"_s); });
        ASSERT_TRUE(first);
        ports = *first;
        ASSERT_EQ(ports.value(u"classroom"_s), ports.value(u"voice"_s));
    }

    std::unique_ptr<JsonProcess> student(
        const QString &server, qint32 id, const QString &password, bool campus = false)
    {
        auto cli = std::make_unique<JsonProcess>();
        QStringList arguments{u"--host"_s, u"127.0.0.1"_s, u"--port"_s,
            QString::number(ports.value(server).toInt()), u"--id"_s, QString::number(id),
            u"--password"_s, password};
        if (campus)
            arguments.append(u"--campus"_s);
        EXPECT_TRUE(cli->start(QStringLiteral(LUMO_CLI_PATH), arguments));
        return cli;
    }

    std::unique_ptr<JsonProcess> inClass(qint32 id, const QString &password)
    {
        auto cli = student(u"classroom"_s, id, password);
        EXPECT_TRUE(cli->event(u"GetMsgUserList"_s, {{u"CmdVerb"_s, 1}}));
        return cli;
    }

    QByteArray get(const QString &path, int *status)
    {
        QNetworkAccessManager manager;
        QNetworkReply *reply = manager.get(QNetworkRequest(
            QUrl(u"http://127.0.0.1:%1%2"_s.arg(ports.value(u"web"_s).toInt()).arg(path))));
        (void)QTest::qWaitFor([&] { return reply->isFinished(); }, 5000);
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray body = reply->readAll();
        delete reply;
        return body;
    }

    TestHome home;
    QTemporaryDir dir;
    JsonProcess sim;
    QJsonObject ports;
};

TEST_F(EndToEnd, WebPagesNameTheUserAndServeCourseware)
{
    startSim({u"--no-console"_s});
    int status = 0;
    EXPECT_EQ(get(u"/askdesk/balance/getuserid.asp?username=bob"_s, &status), QByteArray("12"));
    EXPECT_EQ(status, 200);
    get(u"/askdesk/balance/getuserid.asp?username=nobody"_s, &status);
    EXPECT_EQ(status, 404);
    EXPECT_EQ(get(u"/askdesk/balance/"_s, &status), QByteArray("127.0.0.1"));
    EXPECT_EQ(get(u"/CampusDir/campus7/one.lsn"_s, &status), QByteArray("Aulix Nova Courseware."));
    EXPECT_EQ(status, 200);
    for (const QString &path :
        {u"/CampusDir/campus7/two.lsn"_s, u"/CampusDir/campus7/..%2Fsim.json"_s,
            u"/CampusDir/other/one.lsn"_s, u"/CampusDir/campus7/%2e%2e"_s}) {
        get(path, &status);
        EXPECT_EQ(status, 404) << path.toStdString();
    }
}

TEST_F(EndToEnd, CampusLoginAndLists)
{
    startSim({u"--no-console"_s});
    auto refused = student(u"campus"_s, 11, u"wrong"_s, true);
    ASSERT_TRUE(refused->event(u"GetMsgCampusLogIn"_s, {{u"Result"_s, false}}));

    auto ann = student(u"campus"_s, 11, u"pw-ann"_s, true);
    ASSERT_TRUE(ann->event(u"GetMsgCampusLogIn"_s, {{u"Result"_s, true}}));
    ann->send({{u"call"_s, u"SendCampusCourseListMsg"_s}, {u"CmdVerb"_s, mvSTUDENTLIST}});
    ann->send({{u"call"_s, u"SendCampusCourseListMsg"_s}, {u"CmdVerb"_s, mvALLLIST}});
    ann->send({{u"call"_s, u"SendCampusListMsg"_s}});
    const auto booked = ann->event(u"GetMsgCampusCourseList"_s, {{u"CmdVerb"_s, 1}});
    ASSERT_TRUE(booked);
    EXPECT_EQ(booked->value(u"Count"_s).toInt(), 1);
    const QString record = booked->value(u"strCourseList"_s).toString();
    ASSERT_EQ(record.size(), 381);
    EXPECT_EQ(record.left(20), u"12        7         "_s);
    EXPECT_TRUE(record.mid(20).startsWith(u"one.lsn"_s));
    EXPECT_EQ(record.mid(136, 9), u"127.0.0.1"_s);
    EXPECT_EQ(record.mid(151, 10).trimmed().toInt(), ports.value(u"classroom"_s).toInt());
    const auto all = ann->event(u"GetMsgCampusCourseList"_s, {{u"CmdVerb"_s, 3}});
    ASSERT_TRUE(all);
    EXPECT_EQ(all->value(u"Count"_s).toInt(), 2);
    const auto categories = ann->event(u"GetMsgCampusList"_s);
    ASSERT_TRUE(categories);
    EXPECT_EQ(categories->value(u"Count"_s).toInt(), 1);
    EXPECT_EQ(categories->value(u"strCampusList"_s).toString().size(), 377);

    ann->send({{u"call"_s, u"SendCampusChooseCourseMsg"_s}, {u"CourseID"_s, 13},
        {u"CmdVerb"_s, mvChoose}});
    EXPECT_TRUE(ann->event(u"GetMsgCampusChooseCourse"_s, {{u"Result"_s, true}}));
    ann->send({{u"call"_s, u"SendCampusCourseListMsg"_s}, {u"CmdVerb"_s, mvSTUDENTLIST}});
    const auto rebooked = ann->event(u"GetMsgCampusCourseList"_s, {{u"CmdVerb"_s, 1}});
    ASSERT_TRUE(rebooked);
    EXPECT_EQ(rebooked->value(u"Count"_s).toInt(), 2);
}

TEST_F(EndToEnd, TwoStudentsMeetTalkAndOneGetsTheMicrophone)
{
    startSim({u"--no-console"_s, u"--script-start"_s, u"never"_s});
    auto ann = student(u"classroom"_s, 11, u"pw-ann"_s);
    const auto roster = ann->event(u"GetMsgUserList"_s, {{u"CmdVerb"_s, 1}});
    ASSERT_TRUE(roster);
    EXPECT_EQ(roster->value(u"Count"_s).toInt(), 3); // teacher, classmate, ann

    auto bob = inClass(12, u"pw-bob"_s);
    const auto arrival = ann->event(u"GetMsgUserList"_s, {{u"CmdVerb"_s, 3}});
    ASSERT_TRUE(arrival);
    EXPECT_TRUE(arrival->value(u"strUserList"_s).toString().startsWith(u"12        bob"_s));

    ann->send({{u"call"_s, u"SendNoteMessage"_s}, {u"FromID"_s, 11}, {u"ToID"_s, 0},
        {u"Message"_s, u"大家好"_s}});
    EXPECT_TRUE(bob->event(
        u"GetNoteMessage"_s, {{u"FromID"_s, 11}, {u"ToID"_s, 0}, {u"Message"_s, u"大家好"_s}}));
    EXPECT_TRUE(ann->event(u"GetNoteMessage"_s, {{u"FromID"_s, 11}, {u"Message"_s, u"大家好"_s}}));
    bob->send({{u"call"_s, u"SendNoteMessage"_s}, {u"FromID"_s, 12}, {u"ToID"_s, 11},
        {u"Message"_s, u"only you"_s}});
    EXPECT_TRUE(ann->event(
        u"GetNoteMessage"_s, {{u"FromID"_s, 12}, {u"ToID"_s, 11}, {u"Message"_s, u"only you"_s}}));

    bob->send({{u"call"_s, u"SendMicroPhoneRequestion"_s}, {u"boolRequestion"_s, true}});
    EXPECT_TRUE(bob->event(u"GetMsgMicroPhoneHold"_s));
    const auto speaking = ann->event(u"GetMsgUserList"_s, {{u"CmdVerb"_s, 2}});
    ASSERT_TRUE(speaking);
    EXPECT_TRUE(speaking->value(u"strUserList"_s).toString().startsWith(u"12        bob"_s));
    EXPECT_EQ(
        speaking->value(u"strUserList"_s).toString().mid(26, 3).trimmed().toInt() & 0x20, 0x20);

    bob->send({{u"call"_s, u"Disconnect"_s}});
    EXPECT_TRUE(ann->event(u"GetMsgLogOut"_s, {{u"UserID"_s, 12}}));
    // Nobody saw the private note but its addressee.
    EXPECT_FALSE(ann->event(u"GetNoteMessage"_s, {{u"Message"_s, u"only you"_s}}, 100));
}

TEST_F(EndToEnd, TeacherScriptActionsArriveAsTheirEvents)
{
    startSim({u"--no-console"_s, u"--exit-after-script"_s});
    auto ann = inClass(11, u"pw-ann"_s);
    // A student's ready starts the lesson.
    ann->send({{u"call"_s, u"SendMsgClientReady"_s}});
    ASSERT_TRUE(sim.log(u"script-started"_s));

    EXPECT_TRUE(ann->event(u"GetMsgWhiteBoard"_s,
        {{u"ShapeType"_s, 0}, {u"x1"_s, 10}, {u"y1"_s, 20}, {u"x2"_s, 30}, {u"y2"_s, 40},
            {u"LineWidth"_s, 3}, {u"Color"_s, 255}}));
    for (const int shape : {2, 4, 6})
        EXPECT_TRUE(ann->event(u"GetMsgWhiteBoard"_s, {{u"ShapeType"_s, shape}})) << shape;
    EXPECT_TRUE(ann->event(u"GetMsgWhiteBoard"_s,
        {{u"ShapeType"_s, 7}, {u"strMessage"_s, u"hi"_s}, {u"FontSize"_s, 9},
            {u"FontName"_s, u"Arial"_s}}));
    EXPECT_TRUE(ann->event(u"GetMsgWhiteBoard"_s,
        {{u"ShapeType"_s, 8}, {u"x1"_s, 255}, {u"x2"_s, 70}, {u"y2"_s, 80}}));
    EXPECT_TRUE(ann->event(u"GetMsgWhiteBoard"_s, {{u"ShapeType"_s, 255}}));
    EXPECT_TRUE(ann->event(u"GetMsgPlayNew"_s,
        {{u"TreeNodeID"_s, 5}, {u"PlayVerb"_s, 2}, {u"boolMediaFile"_s, true}}));
    const auto url = ann->event(u"GetMsgURL"_s);
    ASSERT_TRUE(url);
    EXPECT_EQ(url->value(u"strURL"_s).toString(),
        u"http://127.0.0.1:%1/demo/page.html"_s.arg(ports.value(u"web"_s).toInt()));
    EXPECT_TRUE(ann->event(u"GetMsgYESNOPrompt"_s, {{u"strMessage"_s, u"ready?"_s}}));
    EXPECT_TRUE(ann->event(u"GetMsgOKPrompt"_s, {{u"strMessage"_s, u"listen"_s}}));
    EXPECT_TRUE(ann->event(u"GetMsgGlobalNoteStatus"_s, {{u"boolValue"_s, false}}));
    EXPECT_TRUE(ann->event(u"GetMsgGlobalVoiceStatus"_s, {{u"boolValue"_s, false}}));
    EXPECT_TRUE(ann->event(u"GetMsgGlobalSpeakStatus"_s, {{u"boolValue"_s, false}}));
    EXPECT_TRUE(ann->event(u"GetMsgGlobalWhiteBoardStatus"_s, {{u"boolValue"_s, false}}));
    EXPECT_TRUE(ann->event(u"GetMsgMicroPhoneHold"_s));
    EXPECT_TRUE(ann->event(u"GetMsgMicroPhoneRelease"_s));
    EXPECT_TRUE(ann->event(u"GetMsgMPVolume"_s, {{u"UserID"_s, 11}, {u"VolumeValue"_s, 40000}}));
    EXPECT_TRUE(ann->event(u"GetMsgSPVolume"_s, {{u"UserID"_s, 11}, {u"VolumeValue"_s, 50000}}));
    EXPECT_TRUE(ann->event(
        u"GetNoteMessage"_s, {{u"FromID"_s, 90}, {u"ToID"_s, 11}, {u"Message"_s, u"for you"_s}}));
    const auto hand = ann->event(u"GetMsgUserList"_s, {{u"CmdVerb"_s, 2}});
    ASSERT_TRUE(hand);
    EXPECT_TRUE(hand->value(u"strUserList"_s).toString().startsWith(u"21        mate"_s));
    EXPECT_GE(hand->value(u"strUserList"_s).toString().mid(26, 3).trimmed().toInt(), 128);
    EXPECT_TRUE(ann->event(
        u"GetNoteMessage"_s, {{u"FromID"_s, 90}, {u"ToID"_s, 0}, {u"Message"_s, u"bye"_s}}));

    // The student's answer reaches the teacher's desk.
    ann->send({{u"call"_s, u"SendAnswerMsg"_s}, {u"boolYes"_s, true}});
    const auto answer = sim.log(u"answer"_s);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->value(u"boolYes"_s), QJsonValue(true));

    ASSERT_TRUE(sim.log(u"script-finished"_s));
    ASSERT_TRUE(sim.process.waitForFinished(5000));
    EXPECT_EQ(sim.process.exitCode(), 0);
}

TEST_F(EndToEnd, VoiceFromOneRegisteredRelayReachesTheOther)
{
    startSim({u"--no-console"_s, u"--script-start"_s, u"never"_s});
    auto ann = inClass(11, u"pw-ann"_s);
    auto bob = inClass(12, u"pw-bob"_s);
    QUdpSocket annRelay;
    QUdpSocket bobRelay;
    const quint16 voicePort = quint16(ports.value(u"voice"_s).toInt());
    for (auto [cli, relay, id] :
        {std::tuple{ann.get(), &annRelay, 11}, std::tuple{bob.get(), &bobRelay, 12}}) {
        cli->send({{u"call"_s, u"SendMsgGetClientKey"_s}});
        const auto key = cli->event(u"GetMsgClientKey"_s);
        ASSERT_TRUE(key);
        EXPECT_EQ(key->value(u"KeyLength"_s).toInt(), 16);
        ASSERT_TRUE(relay->bind(QHostAddress::LocalHost, 0));
        relay->writeDatagram(VoiceWire::registrationPacket(QByteArray::fromHex(
                                 key->value(u"UserClientKey"_s).toString().toLatin1())),
            QHostAddress::LocalHost, voicePort);
        const auto registered = sim.log(u"voice-registered"_s);
        ASSERT_TRUE(registered);
        EXPECT_EQ(registered->value(u"UserID"_s).toInt(), id);
    }
    ann->send({{u"call"_s, u"SendMicroPhoneRequestion"_s}, {u"boolRequestion"_s, true}});
    ASSERT_TRUE(ann->event(u"GetMsgMicroPhoneHold"_s));

    const QByteArray packet = VoicePackets::packet(160, 'v', 7);
    annRelay.writeDatagram(packet, QHostAddress::LocalHost, voicePort);
    QByteArray heard;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            if (bobRelay.hasPendingDatagrams())
                heard = bobRelay.receiveDatagram().data();
            return !heard.isEmpty();
        },
        5000));
    EXPECT_EQ(heard, packet);
}

TEST_F(EndToEnd, WithoutArgumentsItServesTheDemoAndQuitsOnCommand)
{
    JsonProcess demo;
    ASSERT_TRUE(demo.start(QStringLiteral(LUMO_SIM_PATH), {}));
    const auto first = demo.take([](const QJsonObject &) { return true; });
    ASSERT_TRUE(first);
    for (const QString &key : {u"web"_s, u"campus"_s, u"classroom"_s, u"voice"_s})
        EXPECT_GT(first->value(key).toInt(), 0) << key.toStdString();
    // The demo course, when this build could make it, is served for its
    // category.
    if (QFile::exists(QFileInfo(QStringLiteral(LUMO_SIM_PATH))
                          .dir()
                          .filePath(u"demo/courses/campus7/demo.lsn"_s))) {
        ports = *first;
        int status = 0;
        EXPECT_TRUE(
            get(u"/CampusDir/campus7/demo.lsn"_s, &status).startsWith("Aulix Nova Courseware."));
        EXPECT_EQ(status, 200);
    }
    demo.sendLine("roster");
    const auto roster = demo.log(u"roster"_s);
    ASSERT_TRUE(roster);
    EXPECT_GE(roster->value(u"members"_s).toArray().size(), 3);
    demo.sendLine("rect 1 2");
    EXPECT_TRUE(demo.log(u"console-error"_s));
    demo.sendLine("quit");
    ASSERT_TRUE(demo.process.waitForFinished(5000));
    EXPECT_EQ(demo.process.exitCode(), 0);
}

} // namespace
