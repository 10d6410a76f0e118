#include "protocol/messages.h"
#include "protocol/tests/loopback.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

class Campus : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(wire.connected); }
    WireFixture wire;
};

TEST_F(Campus, SendOperations)
{
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendCampusLoginMsg(u"abc"_s); }),
        frame(mtCampusLogin, 0, 0, fromHex("616263000000")));
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendCampusLoginMsg(u" abc"_s); }),
        frame(mtCampusLogin, 0, 0, fromHex("6162630000000000")));
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) { s.SendCampusLoginMsg(QString()); }),
        frame(mtCampusLogin, 0, 0, {}));
    EXPECT_EQ(wire.sent([](clsRemoteSync &s) {
        s.SendCampusCourseListMsg(mvALLLIST);
        s.SendCampusListMsg();
        s.SendCampusChooseCourseMsg(1000, mvCANCEL);
        s.SendCampusNewCourseMsg();
        s.SendCampusUploadFailureMsg(5);
        s.SendCampusLogOutMsg();
    }),
        frame(mtCampusCourseList, 3, 0, {}) + frame(mtCampusList, 0, 0, {})
            + frame(mtCampusChooseCourse, 2, 0, fromHex("e8030000"))
            + frame(mtCampusNewCourse, 0, 0, {})
            + frame(mtCampusUploadComplete, 1, 0, fromHex("05000000"))
            + frame(mtCampusLogOut, 0, 0, {}));

    const QByteArray upload = wire.sent([](clsRemoteSync &s) {
        s.SendCampusUploadCompleteMsg(1, 2, u"Course"_s, 3, u"192.168.100.200"_s);
    });
    ASSERT_EQ(upload.size(), 16 + 127);
    EXPECT_EQ(upload.mid(4, 2), fromHex("1b00"));
    EXPECT_EQ(upload.mid(16 + 8, 7), QByteArray("Course\0", 7));
    EXPECT_EQ(upload.mid(16 + 112), QByteArray("192.168.100.200"));

    const QByteArray set = wire.sent([](clsRemoteSync &s) {
        s.SendCampusSetCourseMsg(9, u"Mon 9:00"_s, 30, QString(125, u'课'), u"数学"_s);
    });
    ASSERT_EQ(set.size(), 16 + 328);
    EXPECT_EQ(
        set.mid(16 + 28, 200), Wire::narrowBytes(QString(100, u'课'))); // 250 bytes cut to 200
    EXPECT_EQ(set.mid(16 + 228, 4), Wire::narrowBytes(u"数学"_s));
    EXPECT_EQ(set.mid(16 + 232), QByteArray(96, '\0'));
}

TEST_F(Campus, LoginLogoutChooseAndUploadReplies)
{
    EXPECT_EQ(wire.receive(frame(mtCampusLogin, 1, 0, {}) + frame(mtCampusLogin, 2, 0, {})
                  + frame(mtCampusLogin, 3, 0, {})),
        (QStringList{uR"j({"event":"GetMsgCampusLogIn","Result":true})j"_s,
            uR"j({"event":"GetMsgCampusLogIn","Result":false})j"_s,
            uR"j({"event":"SystemLog","strDebugMessage":"接收到的mtCmapusLogin消息 动作无法识别 3"})j"_s}));
    EXPECT_EQ(wire.receive(frame(mtCampusLogOut, 1, 0, {}) + frame(mtCampusLogOut, 2, 0, {})
                  + frame(mtCampusLogOut, 0, 0, {})),
        (QStringList{uR"j({"event":"GetMsgCampusLogOut","Result":true})j"_s,
            uR"j({"event":"GetMsgCampusLogOut","Result":false})j"_s,
            uR"j({"event":"SystemLog","strDebugMessage":"接收到的mtCmapusLogOut消息 动作无法识别 0"})j"_s}));
    EXPECT_EQ(
        wire.receive(frame(mtCampusChooseCourse, 1, 0, {}) + frame(mtCampusChooseCourse, 7, 0, {})
            + frame(mtCampusUploadComplete, 1, 0, {}) + frame(mtCampusUploadComplete, 0, 0, {})),
        (QStringList{uR"j({"event":"GetMsgCampusChooseCourse","Result":true})j"_s,
            uR"j({"event":"GetMsgCampusChooseCourse","Result":false})j"_s,
            uR"j({"event":"GetMsgCampusUploadComplete","Result":true})j"_s,
            uR"j({"event":"GetMsgCampusUploadComplete","Result":false})j"_s}));
    EXPECT_EQ(wire.receive(frame(mtCampusNewCourse, 1, 0, fromHex("2a000000"))
                  + frame(mtCampusNewCourse, 2, 0, fromHex("2a000000"))),
        (QStringList{uR"j({"event":"GetMsgCampusNewCourse","Result":true,"NewCourseID":42})j"_s,
            uR"j({"event":"GetMsgCampusNewCourse","Result":false,"NewCourseID":0})j"_s}));
}

TEST_F(Campus, CourseLists)
{
    Messages::CourseRecord course;
    course.courseID = 1000;
    course.categoryID = 3;
    course.fileName = u"lesson1.lsn"_s;
    course.teacher = u"王老师"_s;
    course.serverAddress = u"127.0.0.1"_s;
    course.serverPort = 2001;
    course.classTime = u"Mon 9:00"_s;
    course.description = u"first"_s;
    const QByteArray record = Messages::courseRecord(course);
    ASSERT_EQ(record.size(), CourseRecordSize);

    const QStringList events = wire.receive(frame(mtCampusCourseList, 3, 0, record + record));
    ASSERT_EQ(events.size(), 1);
    const QJsonObject event = QJsonDocument::fromJson(events[0].toUtf8()).object();
    EXPECT_EQ(event.value(u"Count"_s).toInt(), 2);
    EXPECT_EQ(event.value(u"CmdVerb"_s).toInt(), 3);
    const QString text = event.value(u"strCourseList"_s).toString();
    ASSERT_EQ(text.size(), 762);
    EXPECT_EQ(text.left(20), u"1000      3         "_s);
    EXPECT_EQ(text.mid(20, 100), u"lesson1.lsn"_s + QString(89, QChar(u'\0')));
    EXPECT_EQ(text.mid(120, 16), u"王老师"_s + QString(10, QChar(u'\0')) + u"   "_s);
    EXPECT_EQ(text.mid(151, 10), u"2001      "_s);
    EXPECT_EQ(text.mid(381, 381), text.left(381));

    EXPECT_EQ(wire.receive(frame(mtCampusCourseList, 5, 0, record + record)),
        QStringList{
            uR"j({"event":"SystemLog","strDebugMessage":"接收到的mtCampusCourseList消息 动作无法识别 5"})j"_s});
    EXPECT_EQ(wire.receive(frame(mtCampusCourseList, 1, 0, {})),
        QStringList{
            uR"j({"event":"GetMsgCampusCourseList","Count":0,"strCourseList":"","CmdVerb":1})j"_s});
}

TEST_F(Campus, LongListsAreDecodedToTheEnd)
{
    // 180 courses (65 340 bytes): beyond any 16-bit counter of records.
    Messages::CourseRecord course;
    QByteArray courses;
    for (int i = 0; i < 180; ++i) {
        course.courseID = i + 1;
        courses += Messages::courseRecord(course);
    }
    Receiver receiver;
    QStringList events = receiver.feed(frame(mtCampusCourseList, 1, 0, courses));
    ASSERT_EQ(events.size(), 1);
    QJsonObject event = QJsonDocument::fromJson(events[0].toUtf8()).object();
    EXPECT_EQ(event.value(u"Count"_s).toInt(), 180);
    EXPECT_EQ(event.value(u"strCourseList"_s).toString().mid(179 * 381, 10), u"180       "_s);

    Messages::CategoryRecord category;
    QByteArray categories;
    for (int i = 0; i < 176; ++i) {
        category.categoryID = i + 1;
        categories += Messages::categoryRecord(category);
    }
    events = receiver.feed(frame(mtCampusList, 0, 0, categories));
    ASSERT_EQ(events.size(), 1);
    event = QJsonDocument::fromJson(events[0].toUtf8()).object();
    EXPECT_EQ(event.value(u"Count"_s).toInt(), 176);
    EXPECT_EQ(event.value(u"strCampusList"_s).toString().mid(175 * 377, 10), u"176       "_s);
}

TEST_F(Campus, CategoryLists)
{
    Messages::CategoryRecord category{
        3, u"语文"_s, u"x"_s, u"text"_s, u"web.host"_s, u"w1"_s, u"w2"_s};
    const QByteArray record = Messages::categoryRecord(category);
    ASSERT_EQ(record.size(), CategoryRecordSize);
    QStringList events = wire.receive(frame(mtCampusList, 9, 0, record + record));
    ASSERT_EQ(events.size(), 1);
    QJsonObject event = QJsonDocument::fromJson(events[0].toUtf8()).object();
    EXPECT_EQ(event.value(u"Count"_s).toInt(), 2);
    const QString text = event.value(u"strCampusList"_s).toString();
    ASSERT_EQ(text.size(), 754);
    EXPECT_EQ(text.left(12), u"3         语文"_s);
    EXPECT_EQ(text.mid(330, 8), u"web.host"_s);
    EXPECT_EQ(text.mid(345, 2), u"w1"_s);
    EXPECT_EQ(text.mid(361, 2), u"w2"_s);

    // 400 bytes: the second record is completed with zero bytes and counted.
    events = wire.receive(frame(mtCampusList, 0, 0, record + record.left(29)));
    ASSERT_EQ(events.size(), 1);
    event = QJsonDocument::fromJson(events[0].toUtf8()).object();
    EXPECT_EQ(event.value(u"Count"_s).toInt(), 2);
    EXPECT_EQ(event.value(u"strCampusList"_s).toString().mid(377, 12), u"3         语文"_s);
}
