// The campus and classroom servers and the voice relay, in-process, driven
// by bare protocol clients.
#include "common/testsupport/qtprinters.h"
#include "protocol/messages.h"
#include "sim/core/campusserver.h"
#include "sim/core/classroomserver.h"
#include "sim/core/teacherdesk.h"
#include "sim/core/voicepackets.h"
#include "sim/core/voicerelay.h"
#include "sim/tests/frameclient.h"
#include "voice/wire/voicewire.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const char *const Config = R"({
  "users": [
    {"code": "ann", "id": 11, "password": "pw-ann", "nick": "ann"},
    {"code": "bob", "id": 12, "password": "pw-bob", "nick": "bob"},
    {"code": "rt", "id": 91, "password": "pw-rt", "nick": "rt", "type": 2},
    {"code": "tea", "id": 90, "nick": "王老师", "type": 2, "scripted": true},
    {"code": "mate", "id": 21, "nick": "mate", "scripted": true}
  ],
  "categories": [{"id": 7, "name": "English", "text": "spoken English"}],
  "classrooms": [{"name": "a", "teacher": 90, "members": [21], "floor": "FLOOR", "bundleEvery": BUNDLE}],
  "courses": [
    {"id": 12, "category": 7, "file": "one.lsn", "teacher": "王老师", "booked": ["ann"]},
    {"id": 13, "category": 7, "file": "two.lsn", "teacher": "someone"}
  ]
})";

SimConfig makeConfig(const QString &floor = u"auto"_s, int bundle = 0)
{
    QByteArray json(Config);
    json.replace("FLOOR", floor.toUtf8());
    json.replace("BUNDLE", QByteArray::number(bundle));
    SimConfig config;
    QString error;
    EXPECT_TRUE(ParseSimConfig(json, u"/tmp"_s, config, error)) << error.toStdString();
    return config;
}

class Servers : public testing::Test
{
protected:
    void start(const QString &floor = u"auto"_s, int bundle = 0)
    {
        config = makeConfig(floor, bundle);
        const SimLog log = [this](const QJsonObject &entry) { logged.append(entry); };
        campus = std::make_unique<CampusServer>(config, log);
        classroom = std::make_unique<ClassroomServer>(config, config.classrooms.first(), log);
        ASSERT_TRUE(campus->listen());
        ASSERT_TRUE(classroom->listen());
        campus->setClassroomPort(u"a"_s, classroom->port());
        desk = std::make_unique<TeacherDesk>(classroom.get());
    }

    // A student in class, its first roster taken.
    std::unique_ptr<FrameClient> enter(qint32 id, const QString &password)
    {
        auto client = std::make_unique<FrameClient>();
        EXPECT_TRUE(client->connectTo(classroom->port()));
        client->login(id, password);
        EXPECT_TRUE(client->take(mtUserList, 1));
        return client;
    }

    void teacher(const QString &line)
    {
        QString error;
        ASSERT_TRUE(desk->run(line, error)) << error.toStdString();
    }

    SimConfig config;
    QList<QJsonObject> logged;
    std::unique_ptr<CampusServer> campus;
    std::unique_ptr<ClassroomServer> classroom;
    std::unique_ptr<TeacherDesk> desk;
};

struct CampusLoginRow {
    qint32 id;
    const char *password;
    qint32 verb;
};

class CampusLogin : public Servers, public testing::WithParamInterface<CampusLoginRow>
{
};

TEST_P(CampusLogin, AnswersSuccessOnlyForTheRightPassword)
{
    start();
    FrameClient client;
    ASSERT_TRUE(client.connectTo(campus->port()));
    client.send(mtCampusLogin, 0, GetParam().id,
        Messages::campusLogin(QString::fromUtf8(GetParam().password)));
    ASSERT_TRUE(client.take(mtCampusLogin, GetParam().verb));
}

INSTANTIATE_TEST_SUITE_P(Rows, CampusLogin,
    testing::Values(CampusLoginRow{11, "pw-ann", mvSUCCESS}, CampusLoginRow{11, "pw-bob", mvERROR},
        CampusLoginRow{11, " pw-ann", mvERROR}, CampusLoginRow{77, "pw-ann", mvERROR},
        // Members the simulator plays cannot be logged in from outside.
        CampusLoginRow{90, "", mvERROR}));

TEST_F(Servers, CampusAnswersNothingBeforeTheLogin)
{
    start();
    FrameClient client;
    ASSERT_TRUE(client.connectTo(campus->port()));
    client.send(mtCampusCourseList, mvALLLIST, 11);
    client.send(mtCampusList, 0, 11);
    EXPECT_TRUE(client.noFrame(mtCampusCourseList));
    EXPECT_TRUE(client.noFrame(mtCampusList, 0));
}

TEST_F(Servers, CampusListsFollowBookingAndCancelling)
{
    start();
    FrameClient client;
    ASSERT_TRUE(client.connectTo(campus->port()));
    client.send(mtCampusLogin, 0, 11, Messages::campusLogin(u"pw-ann"_s));
    ASSERT_TRUE(client.take(mtCampusLogin, mvSUCCESS));

    ServerFrame::Frame frame;
    client.send(mtCampusCourseList, mvSTUDENTLIST, 11);
    ASSERT_TRUE(client.take(mtCampusCourseList, mvSTUDENTLIST, &frame));
    Messages::CourseRecord expected;
    expected.courseID = 12;
    expected.categoryID = 7;
    expected.fileName = u"one.lsn"_s;
    expected.teacher = u"王老师"_s;
    expected.serverAddress = u"127.0.0.1"_s;
    expected.serverPort = classroom->port();
    EXPECT_EQ(frame.payload, Messages::courseRecord(expected));

    client.send(mtCampusCourseList, mvALLLIST, 11);
    ASSERT_TRUE(client.take(mtCampusCourseList, mvALLLIST, &frame));
    EXPECT_EQ(frame.payload.size(), 2 * CourseRecordSize);

    client.send(mtCampusChooseCourse, mvChoose, 11, Messages::number(13));
    ASSERT_TRUE(client.take(mtCampusChooseCourse, mvSUCCESS));
    // The cancel verb releases a choice (every reload of the booking list
    // sends it for each booked course): the bookings stay.
    client.send(mtCampusChooseCourse, mvCANCEL, 11, Messages::number(12));
    ASSERT_TRUE(client.take(mtCampusChooseCourse, mvSUCCESS));
    client.send(mtCampusChooseCourse, mvCANCEL, 11, Messages::number(13));
    ASSERT_TRUE(client.take(mtCampusChooseCourse, mvSUCCESS));
    EXPECT_EQ(campus->bookedCourses(11), QList<qint32>({12, 13}));
    client.send(mtCampusChooseCourse, mvChoose, 11, Messages::number(99));
    ASSERT_TRUE(client.take(mtCampusChooseCourse, mvERROR));

    client.send(mtCampusCourseList, mvSTUDENTLIST, 11);
    ASSERT_TRUE(client.take(mtCampusCourseList, mvSTUDENTLIST, &frame));
    ASSERT_EQ(frame.payload.size(), 2 * CourseRecordSize);
    EXPECT_EQ(frame.payload.mid(CourseRecordSize, 4), Messages::number(13));
}

TEST_F(Servers, CampusCategoryListNamesTheWebHostAndFolder)
{
    start();
    campus->setDefaultWebHost(u"10.1.2.3"_s);
    FrameClient client;
    ASSERT_TRUE(client.connectTo(campus->port()));
    client.send(mtCampusLogin, 0, 12, Messages::campusLogin(u"pw-bob"_s));
    ASSERT_TRUE(client.take(mtCampusLogin, mvSUCCESS));
    client.send(mtCampusList, 0, 12);
    ServerFrame::Frame frame;
    ASSERT_TRUE(client.take(mtCampusList, -1, &frame));
    Messages::CategoryRecord expected;
    expected.categoryID = 7;
    expected.name = u"English"_s;
    expected.extra = u"campus7"_s;
    expected.text = u"spoken English"_s;
    expected.webHost = u"10.1.2.3"_s;
    EXPECT_EQ(frame.payload, Messages::categoryRecord(expected));

    // Creating courses is the teacher's.
    client.send(mtCampusNewCourse, 0, 12);
    ASSERT_TRUE(client.take(mtCampusNewCourse, mvERROR));
}

TEST_F(Servers, RefusedLoginGetsAnEmptyRosterAndTheThirdClosesTheConnection)
{
    start();
    FrameClient client;
    ASSERT_TRUE(client.connectTo(classroom->port()));
    ServerFrame::Frame frame;
    for (const QString &password : {u"wrong"_s, u"pw-bob"_s}) {
        client.login(11, password);
        ASSERT_TRUE(client.take(mtUserList, 1, &frame));
        EXPECT_TRUE(frame.payload.isEmpty());
        EXPECT_EQ(client.socket.state(), QAbstractSocket::ConnectedState);
    }
    // Messages before a login are not routed.
    client.send(mtNotes, 0, 11, Wire::wideBytes(u"hi"_s));
    EXPECT_TRUE(client.noFrame(mtNotes));
    client.login(90, {});
    ASSERT_TRUE(client.take(mtUserList, 1, &frame));
    EXPECT_TRUE(frame.payload.isEmpty());
    EXPECT_TRUE(client.waitClosed());
}

TEST_F(Servers, NewcomerGetsTheRosterOthersTheArrivalAndTheLeaving)
{
    start();
    FrameClient ann;
    ASSERT_TRUE(ann.connectTo(classroom->port()));
    ann.login(11, u"pw-ann"_s);
    ServerFrame::Frame frame;
    ASSERT_TRUE(ann.take(mtUserList, 1, &frame));
    QByteArray expected;
    for (const auto &[id, nick, type] :
        {std::tuple{90, u"王老师"_s, 2}, {21, u"mate"_s, 1}, {11, u"ann"_s, 1}}) {
        QByteArray record(UserRecordSize, '\0');
        Wire::putInt32(record.data(), id);
        // Names in the code page the client reads them back with.
        record.replace(4, 16, Wire::fixedWidth(Wire::narrowBytes(nick), 16));
        record[20] = 15;
        record[21] = char(type);
        expected.append(record);
    }
    EXPECT_EQ(frame.payload, expected);

    auto bob = enter(12, u"pw-bob"_s);
    ASSERT_TRUE(ann.take(mtUserList, 3, &frame));
    EXPECT_EQ(frame.payload.size(), UserRecordSize);
    EXPECT_EQ(frame.payload.left(4), Messages::number(12));

    bob->socket.disconnectFromHost();
    ASSERT_TRUE(ann.take(mtLogin, 1, &frame));
    EXPECT_EQ(frame.id, 12);
    EXPECT_EQ(classroom->members().size(), 3);
}

TEST_F(Servers, SecondLoginOfTheSameStudentPutsTheFirstOut)
{
    start();
    auto first = enter(11, u"pw-ann"_s);
    auto second = enter(11, u"pw-ann"_s);
    ServerFrame::Frame frame;
    ASSERT_TRUE(first->take(mtLogin, 1, &frame));
    EXPECT_EQ(frame.id, 11);
    EXPECT_TRUE(first->waitClosed());
    EXPECT_EQ(classroom->members().size(), 3);
    second->send(mtNotes, 0, 11, Wire::wideBytes(u"still here"_s));
    EXPECT_TRUE(second->take(mtNotes, 0));
}

TEST_F(Servers, NotesGoToEverybodyOrToOne)
{
    start();
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    ServerFrame::Frame frame;
    // The header's user number is the connection's, whatever the sender wrote.
    ann->send(mtNotes, 0, 12, Wire::wideBytes(u"hello"_s));
    for (FrameClient *client : {ann.get(), bob.get()}) {
        ASSERT_TRUE(client->take(mtNotes, 0, &frame));
        EXPECT_EQ(frame.id, 11);
        EXPECT_EQ(Wire::wideText(frame.payload), u"hello"_s);
    }
    ann->send(mtNotes, 1, 11, Messages::note(11, 12, u"psst"_s).payload);
    ASSERT_TRUE(bob->take(mtNotes, 1, &frame));
    EXPECT_EQ(frame.payload, Messages::note(11, 12, u"psst"_s).payload);
    EXPECT_TRUE(ann->noFrame(mtNotes));
    ann->send(mtNotes, 1, 11, Messages::note(11, 55, u"nobody"_s).payload);
    EXPECT_TRUE(bob->noFrame(mtNotes));

    // With the class chat off a student's note to all is dropped; a note to
    // one person (raised hands, private talks) still passes.
    teacher(u"notes off"_s);
    ASSERT_TRUE(bob->take(mtEnable, 0, &frame));
    EXPECT_EQ(frame.payload, QByteArray(1, char(gsDisableNote)));
    ann->send(mtNotes, 0, 11, Wire::wideBytes(u"chat"_s));
    ann->send(mtNotes, 1, 11, Messages::note(11, 12, u"[举手]"_s).payload);
    ASSERT_TRUE(bob->take(mtNotes, 1));
    EXPECT_TRUE(bob->noFrame(mtNotes));
    teacher(u"note the teacher may"_s);
    ASSERT_TRUE(bob->take(mtNotes, 0, &frame));
    EXPECT_EQ(frame.id, 90);
}

TEST_F(Servers, OnlyTheTeacherStepsTheLessonAndOnlyPermittedStudentsDraw)
{
    start();
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    const QByteArray rect = Messages::whiteBoard(1, 2, 3, 4, 1, 0, {}, 0, {});
    ann->send(mtPlay, 0, 11, Messages::play(5, 0, false));
    ann->send(mtUrl, 0, 11, Wire::wideBytes(u"http://x/"_s));
    ann->send(mtEnable, 0, 11, QByteArray(1, char(gsDisableVoice)));
    ann->send(mtYesNo, 1, 11, Wire::wideBytes(u"?"_s));
    ann->send(mtWhiteBoard, 0, 11, rect);
    EXPECT_TRUE(bob->noFrame(mtPlay, 100));
    EXPECT_TRUE(bob->noFrame(mtUrl, 0));
    EXPECT_TRUE(bob->noFrame(mtEnable, 0));
    EXPECT_TRUE(bob->noFrame(mtYesNo, 0));
    EXPECT_TRUE(bob->noFrame(mtWhiteBoard, 0));

    teacher(u"permit 11 whiteboard on"_s);
    ServerFrame::Frame frame;
    ASSERT_TRUE(bob->take(mtUserList, 2, &frame));
    EXPECT_EQ(quint8(frame.payload[20]), 15 | 0x10);
    ann->send(mtWhiteBoard, 0, 11, rect);
    ASSERT_TRUE(bob->take(mtWhiteBoard, 0, &frame));
    EXPECT_EQ(frame.payload, rect);
    EXPECT_EQ(frame.id, 11);
    // A sign whose lengths disagree with its size is not relayed or kept.
    ann->send(mtWhiteBoard, 0, 11, rect + "xx");
    EXPECT_TRUE(bob->noFrame(mtWhiteBoard));
    EXPECT_EQ(classroom->boardSignCount(), 1);
}

TEST_F(Servers, BoardLogKeepsSignsButNotPointerMovesAndReplaysThem)
{
    start();
    auto ann = enter(11, u"pw-ann"_s);
    teacher(u"play 5"_s);
    teacher(u"rect 1 2 3 4"_s);
    teacher(u"pointer 100 100"_s);
    teacher(u"text 5 6 hi"_s);
    EXPECT_EQ(classroom->boardSignCount(), 2);
    for (const qint32 verb : {0, 8, 7})
        ASSERT_TRUE(ann->take(mtWhiteBoard, verb));

    ann->send(mtRefreshWhiteBoard, 0, 11);
    ServerFrame::Frame frame;
    ASSERT_TRUE(ann->take(mtWhiteBoard, 0));
    ASSERT_TRUE(ann->take(mtWhiteBoard, 7, &frame));
    EXPECT_EQ(frame.id, 90);
    EXPECT_TRUE(ann->noFrame(mtWhiteBoard));

    // A late arrival that reports ready sees the page, then its signs.
    auto bob = enter(12, u"pw-bob"_s);
    bob->send(mtClientReady, 0, 12);
    ASSERT_TRUE(bob->take(mtWhiteBoard, 7));
    ASSERT_GE(bob->frames.size(), 2);
    EXPECT_EQ(bob->frames.first().type, mtPlay);
    EXPECT_EQ(bob->frames.first().payload, Messages::play(5, 0, false));

    teacher(u"clear"_s);
    EXPECT_EQ(classroom->boardSignCount(), 0);
}

TEST_F(Servers, StatusReportsCannotGrantPermissions)
{
    start();
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    Wire::Failure failure;
    ann->send(mtUserList, 2, 11, Messages::userList(1, {UserInfo{11, {}, 0xff, 0}}, failure));
    ServerFrame::Frame frame;
    ASSERT_TRUE(bob->take(mtUserList, 2, &frame));
    // Hand, answer and activity as reported; of the permissions (whiteboard
    // 0x10, notes 0x08, speak 0x04) only those ann had: 0x0c.
    EXPECT_EQ(quint8(frame.payload[20]), 0xef);
    EXPECT_EQ(frame.payload.mid(4, 3), QByteArray("ann"));
    EXPECT_EQ(classroom->member(11)->status, 0xef);
    // Giving one up is allowed.
    ann->send(mtUserList, 2, 11, Messages::userList(1, {UserInfo{11, {}, 0x03, 0}}, failure));
    ASSERT_TRUE(bob->take(mtUserList, 2, &frame));
    EXPECT_EQ(quint8(frame.payload[20]), 0x03);
    // Nobody reports for somebody else.
    ann->send(mtUserList, 2, 11, Messages::userList(1, {UserInfo{12, {}, 0x80, 0}}, failure));
    EXPECT_TRUE(bob->noFrame(mtUserList));
    EXPECT_EQ(classroom->member(12)->status, 15);
}

TEST_F(Servers, AutomaticFloorGivesTheMicrophoneInTurn)
{
    start(u"auto"_s);
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    ann->send(mtMicroPhoneRequestion, 1, 11);
    ASSERT_TRUE(ann->take(mtMicroPhoneRequestion, 1));
    ServerFrame::Frame frame;
    ASSERT_TRUE(bob->take(mtUserList, 2, &frame));
    EXPECT_EQ(
        quint8(frame.payload[20]) & ClassroomServer::SpeakingBit, ClassroomServer::SpeakingBit);

    bob->send(mtMicroPhoneRequestion, 1, 12);
    EXPECT_TRUE(bob->noFrame(mtMicroPhoneRequestion));
    EXPECT_EQ(classroom->floorQueue(), QList<qint32>({12}));

    ann->send(mtMicroPhoneRequestion, 0, 11);
    ASSERT_TRUE(ann->take(mtMicroPhoneRequestion, 0));
    ASSERT_TRUE(bob->take(mtMicroPhoneRequestion, 1));
    EXPECT_EQ(classroom->floorHolder(), 12);

    // A speaker who leaves frees the floor.
    bob->socket.disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return classroom->floorHolder() == 0; }, 3000));
}

TEST_F(Servers, TeacherFloorWaitsForTheGrantAndSwitchesEndIt)
{
    start(u"teacher"_s);
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    ann->send(mtMicroPhoneRequestion, 1, 11);
    EXPECT_TRUE(ann->noFrame(mtMicroPhoneRequestion));
    teacher(u"grant 11"_s);
    ASSERT_TRUE(ann->take(mtMicroPhoneRequestion, 1));
    teacher(u"grant 12"_s);
    ASSERT_TRUE(ann->take(mtMicroPhoneRequestion, 0));
    ASSERT_TRUE(bob->take(mtMicroPhoneRequestion, 1));
    QString error;
    EXPECT_FALSE(desk->run(u"grant 90"_s, error)); // the teacher needs no floor

    teacher(u"voice off"_s);
    EXPECT_EQ(classroom->floorHolder(), 0);
    EXPECT_EQ(classroom->member(11)->status & 0x04, 0);
    ann->send(mtMicroPhoneRequestion, 1, 11);
    ASSERT_TRUE(ann->take(mtMicroPhoneRequestion, 0));
    teacher(u"voice on"_s);
    ann->send(mtMicroPhoneRequestion, 1, 11);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return classroom->floorQueue() == QList<qint32>({11}); }, 3000));
}

TEST_F(Servers, AnswersReachTheTeacherAndVolumesTheirStudent)
{
    start();
    auto rt = enter(91, u"pw-rt"_s);
    auto ann = enter(11, u"pw-ann"_s);
    auto bob = enter(12, u"pw-bob"_s);
    ann->send(mtYesNo, 2, 11, Messages::answer(true));
    ServerFrame::Frame frame;
    ASSERT_TRUE(rt->take(mtYesNo, 2, &frame));
    EXPECT_EQ(frame.id, 11);
    EXPECT_EQ(frame.payload, Messages::answer(true));
    EXPECT_TRUE(bob->noFrame(mtYesNo, 0));

    rt->send(mtVolume, 1, 91, Messages::twoNumbers(12, 30000));
    ASSERT_TRUE(bob->take(mtVolume, 1, &frame));
    EXPECT_EQ(frame.payload, Messages::twoNumbers(12, 30000));
    EXPECT_TRUE(ann->noFrame(mtVolume));
}

TEST_F(Servers, AStudentWhoStopsReadingIsDroppedAndTheOthersStay)
{
    start();
    QTcpSocket stalled;
    stalled.setReadBufferSize(1); // takes one byte and then nothing more
    stalled.connectToHost(QHostAddress::LocalHost, classroom->port());
    ASSERT_TRUE(stalled.waitForConnected(3000));
    Wire::Failure failure;
    stalled.write(ServerFrame::encode(mtLogin, 0, 12, Messages::login(1, u"pw-bob"_s, failure)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return classroom->member(12).has_value(); }, 3000));
    auto ann = enter(11, u"pw-ann"_s);

    const QString text(15000, u'x'); // 30000 bytes a note
    for (int i = 0; i < 400 && classroom->member(12); ++i) {
        teacher(u"note "_s + text);
        ASSERT_TRUE(ann->take(mtNotes, 0)); // the reader keeps up
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !classroom->member(12); }, 3000));
    ServerFrame::Frame frame;
    ASSERT_TRUE(ann->take(mtLogin, 1, &frame));
    EXPECT_EQ(frame.id, 12);
    teacher(u"note still teaching"_s);
    EXPECT_TRUE(ann->take(mtNotes, 0));
}

TEST_F(Servers, UnreadableHeaderClosesTheConnection)
{
    start();
    auto ann = enter(11, u"pw-ann"_s);
    ann->sendRaw(QByteArray::fromHex("0a000000010000000000000000000000"));
    EXPECT_TRUE(ann->waitClosed());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !classroom->member(11); }, 3000));
}

struct VoiceMember {
    std::unique_ptr<FrameClient> tcp;
    std::unique_ptr<QUdpSocket> udp;
};

class Voice : public Servers
{
protected:
    VoiceMember join(qint32 id, const QString &password)
    {
        VoiceMember member{enter(id, password), std::make_unique<QUdpSocket>()};
        member.tcp->send(mtGetClientKey, 0, id);
        ServerFrame::Frame frame;
        EXPECT_TRUE(member.tcp->take(mtGetClientKey, -1, &frame));
        EXPECT_EQ(frame.payload.size(), 16);
        EXPECT_TRUE(member.udp->bind(QHostAddress::LocalHost, 0));
        member.udp->writeDatagram(VoiceWire::registrationPacket(frame.payload),
            QHostAddress::LocalHost, classroom->port());
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return classroom->voiceRelay()->isRegistered(id); }, 3000));
        return member;
    }

    static QList<QByteArray> received(QUdpSocket &socket, int count, int ms = 2000)
    {
        QList<QByteArray> datagrams;
        (void)QTest::qWaitFor(
            [&] {
                while (socket.hasPendingDatagrams())
                    datagrams.append(socket.receiveDatagram().data());
                return datagrams.size() >= count;
            },
            ms);
        return datagrams;
    }
};

TEST_F(Voice, SpeakersDatagramsReachTheOthersOnly)
{
    start(u"auto"_s);
    VoiceMember ann = join(11, u"pw-ann"_s);
    VoiceMember bob = join(12, u"pw-bob"_s);
    const QByteArray packet = VoicePackets::packet(40, 'v', 1);

    // Nobody holds the floor yet.
    ann.udp->writeDatagram(packet, QHostAddress::LocalHost, classroom->port());
    EXPECT_TRUE(received(*bob.udp, 1, 200).isEmpty());

    ann.tcp->send(mtMicroPhoneRequestion, 1, 11);
    ASSERT_TRUE(ann.tcp->take(mtMicroPhoneRequestion, 1));
    ann.udp->writeDatagram(packet, QHostAddress::LocalHost, classroom->port());
    EXPECT_EQ(received(*bob.udp, 1), QList<QByteArray>({packet}));
    EXPECT_TRUE(received(*ann.udp, 1, 100).isEmpty());
    // Packets that arrive bundled leave one by one (nothing re-bundles here).
    const QByteArray second = VoicePackets::packet(10, 'w', 2);
    ann.udp->writeDatagram(packet + second, QHostAddress::LocalHost, classroom->port());
    EXPECT_EQ(received(*bob.udp, 2), QList<QByteArray>({packet, second}));

    // A listener's datagrams and a stranger's go nowhere.
    bob.udp->writeDatagram(packet, QHostAddress::LocalHost, classroom->port());
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress::LocalHost, 0));
    stranger.writeDatagram(VoiceWire::registrationPacket(QByteArray(16, 'k')),
        QHostAddress::LocalHost, classroom->port());
    stranger.writeDatagram(packet, QHostAddress::LocalHost, classroom->port());
    EXPECT_TRUE(received(*ann.udp, 1, 200).isEmpty());

    // Leaving the class ends the registration.
    bob.tcp->socket.disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !classroom->voiceRelay()->isRegistered(12); }, 3000));
}

TEST_F(Voice, RegistrationsLiveByTheirKeepAlive)
{
    start(u"auto"_s);
    classroom->voiceRelay()->setRegistrationLifetime(600, 50);
    VoiceMember ann = join(11, u"pw-ann"_s);
    VoiceMember bob = join(12, u"pw-bob"_s);
    ServerFrame::Frame frame;
    ann.tcp->send(mtGetClientKey, 0, 11);
    ASSERT_TRUE(ann.tcp->take(mtGetClientKey, -1, &frame)); // the same key again
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1500) {
        ann.udp->writeDatagram(VoiceWire::registrationPacket(frame.payload),
            QHostAddress::LocalHost, classroom->port());
        QTest::qWait(60);
    }
    EXPECT_TRUE(classroom->voiceRelay()->isRegistered(11));
    EXPECT_FALSE(classroom->voiceRelay()->isRegistered(12));
}

TEST_F(Voice, SomePacketsTravelBundledBackToBack)
{
    start(u"auto"_s, 2);
    VoiceMember ann = join(11, u"pw-ann"_s);
    VoiceMember bob = join(12, u"pw-bob"_s);
    ann.tcp->send(mtMicroPhoneRequestion, 1, 11);
    ASSERT_TRUE(ann.tcp->take(mtMicroPhoneRequestion, 1));
    QList<QByteArray> sent;
    for (quint32 i = 0; i < 3; ++i) {
        sent.append(VoicePackets::packet(quint16(20 + i), char('a' + i), i));
        ann.udp->writeDatagram(sent.last(), QHostAddress::LocalHost, classroom->port());
    }
    // Every second packet waits for the next: 1 | 2+3.
    EXPECT_EQ(received(*bob.udp, 2), QList<QByteArray>({sent[0], sent[1] + sent[2]}));
    // A held packet whose companion does not come goes out alone, late by
    // at most the bundle wait.
    ann.udp->writeDatagram(sent[0], QHostAddress::LocalHost, classroom->port());
    EXPECT_EQ(received(*bob.udp, 1), QList<QByteArray>({sent[0]}));
}

TEST_F(Voice, AnImpairedRelayLosesAndShufflesAlikeForTheSameSeed)
{
    start(u"auto"_s);
    VoiceRelay *relay = classroom->voiceRelay();
    relay->setImpairment({20, 60, 20, 9});
    VoiceMember ann = join(11, u"pw-ann"_s);
    VoiceMember bob = join(12, u"pw-bob"_s);
    ann.tcp->send(mtMicroPhoneRequestion, 1, 11);
    ASSERT_TRUE(ann.tcp->take(mtMicroPhoneRequestion, 1));
    QList<QByteArray> sent;
    for (quint32 i = 0; i < 100; ++i)
        sent.append(VoicePackets::packet(12, 'p', i));

    const auto playThrough = [&] {
        for (const QByteArray &packet : std::as_const(sent))
            ann.udp->writeDatagram(packet, QHostAddress::LocalHost, classroom->port());
        // Everything not lost is out 60 + 40 ms after the last went in.
        QList<QByteArray> heard = received(*bob.udp, int(sent.size()), 1500);
        QList<qsizetype> order;
        for (const QByteArray &datagram : std::as_const(heard))
            order.append(sent.indexOf(datagram));
        return order;
    };
    const QList<qsizetype> first = playThrough();
    EXPECT_FALSE(first.contains(-1)); // nothing made up or cut
    EXPECT_GE(first.size(), 65);
    EXPECT_LE(first.size(), 92);
    EXPECT_EQ(relay->impairedLost(), sent.size() - first.size());
    EXPECT_FALSE(std::is_sorted(first.begin(), first.end())); // overtaken on the way

    // The same seed again: the same datagrams lost.
    relay->setImpairment({20, 60, 20, 9});
    QList<qsizetype> second = playThrough();
    QList<qsizetype> firstSet = first;
    std::sort(firstSet.begin(), firstSet.end());
    std::sort(second.begin(), second.end());
    EXPECT_EQ(second, firstSet);
}

} // namespace
