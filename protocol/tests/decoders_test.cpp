// Every builder's payload read back by its decoder: the two sides of each
// wire layout agree, and the decoders keep to the failure rules.
#include "protocol/decoders.h"
#include "protocol/messages.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using FrameCodec::viewPayload;

TEST(Decoders, ReadBackWhatTheBuildersWrite)
{
    const Messages::Built note = Messages::note(7, 9, u"hi 你好"_s);
    auto n = Messages::decodeNote(viewPayload(mtNotes, note.verb, 7, note.payload));
    EXPECT_EQ(n.record.FromID, 7);
    EXPECT_EQ(n.record.ToID, 9);
    EXPECT_EQ(n.record.Message, u"hi 你好"_s);
    EXPECT_FALSE(n.failure);

    const QByteArray board
        = Messages::whiteBoard(1, 2, 3, 4, 5, 0xff00, u"mark"_s, 12, u"SimSun"_s);
    auto w = Messages::decodeWhiteBoard(viewPayload(mtWhiteBoard, 6, 7, board));
    EXPECT_EQ(w.record.ShapeType, 6);
    EXPECT_EQ(w.record.Color, 0xff00);
    EXPECT_EQ(w.record.strMark, u"mark"_s);
    EXPECT_EQ(w.record.FontSize, 12);
    EXPECT_EQ(w.record.FontName, u"SimSun"_s);
    EXPECT_TRUE(w.record.lengthsAgree);
    EXPECT_FALSE(w.failure);

    auto p = Messages::decodePlay(viewPayload(mtPlay, 2, 7, Messages::play(12, 90, true)));
    EXPECT_EQ(p.record.TreeNodeID, 12);
    EXPECT_EQ(p.record.position, 90);
    EXPECT_EQ(p.record.mediaFile, true);

    Wire::Failure failure;
    const QList<UserInfo> users{{12, u"  Li "_s, 4, 1}, {0x7fffffff, u"张三"_s, 0x80, 2}};
    auto u = Messages::decodeUserRecords(
        viewPayload(mtUserList, 2, 7, Messages::userList(2, users, failure)));
    ASSERT_EQ(u.record.size(), 2);
    EXPECT_EQ(u.record[0].uiUserNick, u"Li"_s);
    EXPECT_EQ(u.record[1].uiUserID, 0x7fffffff);
    EXPECT_EQ(u.record[1].uiStatus, 0x80);
    EXPECT_EQ(u.record[1].uiUserType, 2);

    auto login = Messages::decodeLogin(
        viewPayload(mtLogin, 0, 7, Messages::login(1, u"secret"_s, failure)));
    EXPECT_EQ(login.record.UserType, 1);
    EXPECT_EQ(login.record.password, QByteArray("secret") + QByteArray(10, '\0'));

    auto set = Messages::decodeSetCourse(viewPayload(mtCampusSetCourse, 0, 7,
        Messages::setCourse(12, u"Mon 9:00"_s, 30, u"课程 描述"_s, u"Course"_s)));
    EXPECT_EQ(set.record.CourseID, 12);
    EXPECT_EQ(set.record.CourseTime, u"Mon 9:00"_s);
    EXPECT_EQ(set.record.MaxUserNumber, 30);
    EXPECT_EQ(set.record.CourseDesc, u"课程 描述"_s);
    EXPECT_EQ(set.record.CourseName, u"Course"_s);
    EXPECT_FALSE(set.failure);

    auto up = Messages::decodeUploadComplete(viewPayload(mtCampusUploadComplete, 0, 7,
        Messages::uploadComplete(12, 3, u"name"_s, 5, u"127.0.0.1"_s)));
    EXPECT_EQ(up.record.CampusID, 3);
    EXPECT_EQ(up.record.CourseName, u"name"_s);
    EXPECT_EQ(up.record.TeacherID, 5);
    EXPECT_EQ(up.record.CourseIP, u"127.0.0.1"_s);

    auto yes = Messages::decodeAnswer(viewPayload(mtYesNo, 2, 5, Messages::answer(true)));
    EXPECT_EQ(yes.record.UserID, 5);
    EXPECT_TRUE(yes.record.boolYes);
    auto vol = Messages::decodeVolume(viewPayload(mtVolume, 0, 5, Messages::twoNumbers(8, 60)));
    EXPECT_EQ(vol.record.UserID, 8);
    EXPECT_EQ(vol.record.VolumeValue, 60);
}

TEST(Decoders, ShortAndOverflowingPayloadsFailSoftly)
{
    // Too short for every field: each decoder reports index 9 and reads 0.
    const QByteArray three("\x01\x02\x03", 3);
    EXPECT_EQ(Messages::decodeNote(viewPayload(mtNotes, 1, 7, three)).failure.number, 9);
    EXPECT_EQ(
        Messages::decodeNumber(viewPayload(mtCampusChooseCourse, 1, 7, three)).failure.number, 9);
    EXPECT_EQ(
        Messages::decodeSetCourse(viewPayload(mtCampusSetCourse, 0, 7, three)).failure.number, 9);
    EXPECT_TRUE(Messages::decodeLogin(viewPayload(mtLogin, 0, 7, three)).refused);

    // A whiteboard whose mark length points past the payload.
    QByteArray board = Messages::whiteBoard(1, 2, 3, 4, 5, 6, u"ab"_s, 9, u"c"_s);
    Wire::putInt32(board.data() + 24, 0x7ffffff0);
    auto w = Messages::decodeWhiteBoard(viewPayload(mtWhiteBoard, 1, 7, board));
    EXPECT_EQ(w.failure.number, 9);
    EXPECT_FALSE(w.record.lengthsAgree);
    EXPECT_TRUE(w.warning.startsWith(u"[Warnning] String Length in WhiteBoard is wrong"_s));
    EXPECT_EQ(w.record.x1, 1);

    // A user number with its top bit set refuses the list and names the record.
    Wire::Failure failure;
    QByteArray users = Messages::userList(2, {{1, u"a"_s, 0, 1}, {2, u"b"_s, 0, 1}}, failure);
    users[22 + 3] = char(0x80);
    auto list = Messages::decodeUserList(viewPayload(mtUserList, 1, 0, users));
    EXPECT_TRUE(list.refused);
    EXPECT_EQ(list.failure.number, 6);
    EXPECT_TRUE(list.warning.contains(u"record 2 of 2"_s)) << list.warning.toStdString();
    // The server-side reader leaves that record out and keeps the other.
    auto records = Messages::decodeUserRecords(viewPayload(mtUserList, 2, 0, users));
    ASSERT_EQ(records.record.size(), 1);
    EXPECT_EQ(records.record[0].uiUserID, 1);
    EXPECT_EQ(records.failure.number, 6);
}
