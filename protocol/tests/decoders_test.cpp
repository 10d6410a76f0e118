// Every builder's payload read back by its decoder: the two sides of each
// wire layout agree, and the decoders keep to the failure rules.
#include "protocol/decoders.h"
#include "protocol/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace Qt::StringLiterals;
using FrameCodec::viewPayload;

TEST(Decoders, ReadBackWhatTheBuildersWrite)
{
    const Messages::Built note = Messages::note(7, 9, u"hi 你好"_s);
    auto n = Messages::decodeNote(viewPayload(mtNotes, note.verb, 7, note.payload));
    EXPECT_EQ(n.record.FromID, 7);
    EXPECT_EQ(n.record.ToID, 9);
    EXPECT_EQ(n.record.Message.toString(), u"hi 你好"_s);
    EXPECT_FALSE(n.failure);

    const QByteArray board
        = Messages::whiteBoard(1, 2, 3, 4, 5, 0xff00, u"mark"_s, 12, u"SimSun"_s);
    auto w = Messages::decodeWhiteBoard(viewPayload(mtWhiteBoard, 6, 7, board));
    EXPECT_EQ(w.record.ShapeType, 6);
    EXPECT_EQ(w.record.Color, 0xff00);
    EXPECT_EQ(w.record.strMark.toString(), u"mark"_s);
    EXPECT_EQ(w.record.FontSize, 12);
    EXPECT_EQ(w.record.FontName.toString(), u"SimSun"_s);
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

// The list texts are written field by field into storage sized once; the
// per-field helpers are the reference. Random bytes cover NULs, GBK pairs,
// bytes the code page cannot read, overflowing numbers and a cut-short last
// category record.
TEST(Decoders, ListTextsMatchTheFieldByFieldReference)
{
    quint32 seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return quint8(seed >> 16);
    };
    const auto randomBytes = [&](qsizetype size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &c : bytes) {
            const quint8 r = next();
            // Mostly ASCII, some NULs, some high bytes.
            c = char(r < 150 ? 0x20 + r % 90 : r < 200 ? 0 : r);
        }
        return bytes;
    };
    const auto number = [](QByteArrayView record, qsizetype at) -> qint32 {
        Wire::Failure ignored;
        return Wire::Reader(record, ignored).int32(at);
    };
    for (int round = 0; round < 80; ++round) {
        const QByteArray users = randomBytes(qsizetype(next() % 8) * UserRecordSize);
        QByteArray usable = users;
        for (qsizetype at = 0; at < usable.size(); at += UserRecordSize) {
            usable[at + 3] = char(quint8(usable[at + 3]) & 0x7f);
            // Most nicks are ASCII (written a whole record at once) and
            // most user numbers short: every digit count from 1 to 10.
            if (round % 4 != 0) {
                for (qsizetype i = at + 4; i < at + 20; ++i)
                    usable[i] = char(quint8(usable[i]) & 0x7f);
            }
            if (round % 2 == 0) {
                const int digits = 1 + next() % 10;
                qint64 id = 0;
                for (int d = 0; d < digits; ++d)
                    id = id * 10 + next() % 10;
                Wire::putInt32(usable.data() + at, qint32(id % 2147483648));
            }
        }
        // One nick that needs the code page among ASCII ones: the records
        // on either side of it are still written whole.
        if (round % 4 == 1 && !usable.isEmpty())
            usable[qsizetype(next() % (usable.size() / UserRecordSize)) * UserRecordSize + 4
                + next() % 16]
                = char(0xc4);
        QString expected;
        for (qsizetype at = 0; at < usable.size(); at += UserRecordSize) {
            const QByteArrayView r = QByteArrayView(usable).sliced(at, UserRecordSize);
            Wire::appendNumberField(expected, number(r, 0), 10);
            Wire::appendAnsiField(expected, r.sliced(4, 16), 16);
            Wire::appendNumberField(expected, quint8(r[20]), 3);
            Wire::appendNumberField(expected, quint8(r[21]), 3);
        }
        const auto list = Messages::decodeUserList(viewPayload(mtUserList, 1, 0, usable));
        ASSERT_FALSE(list.refused);
        EXPECT_EQ(list.record.strUserList(), expected) << "round " << round;
        EXPECT_EQ(list.record.strUserList().size(), usable.size() / UserRecordSize * 32);

        const QByteArray courses = randomBytes(qsizetype(next() % 4) * CourseRecordSize + 7);
        expected.clear();
        Wire::Failure overflow; // what reading every number field leaves
        for (qsizetype at = 0; at + CourseRecordSize <= courses.size(); at += CourseRecordSize) {
            const QByteArrayView r = QByteArrayView(courses).sliced(at, CourseRecordSize);
            Wire::Reader reader(r, overflow);
            for (const qsizetype field : {0, 4, 139})
                reader.int32(field);
            Wire::appendNumberField(expected, number(r, 0), 10);
            Wire::appendNumberField(expected, number(r, 4), 10);
            for (const auto &[from, width] : {std::pair{8, 100}, {108, 16}, {124, 15}})
                Wire::appendAnsiField(expected, r.sliced(from, width), width);
            Wire::appendNumberField(expected, number(r, 139), 10);
            Wire::appendAnsiField(expected, r.sliced(143, 20), 20);
            Wire::appendAnsiField(expected, r.sliced(163, 200), 200);
        }
        const auto courseList
            = Messages::decodeCourseList(viewPayload(mtCampusCourseList, 1, 0, courses));
        EXPECT_EQ(courseList.record.strCourseList(), expected) << "round " << round;
        EXPECT_EQ(courseList.failure.number, overflow.number) << "round " << round;

        const QByteArray categories = randomBytes(
            qsizetype(next() % 3) * CategoryRecordSize + (round % 2 ? qsizetype(next()) : 0));
        expected.clear();
        for (qsizetype at = 0; at < categories.size(); at += CategoryRecordSize) {
            const QByteArray r = Wire::fixedWidth(
                QByteArrayView(categories)
                    .sliced(at)
                    .first(qMin<qsizetype>(CategoryRecordSize, categories.size() - at)),
                CategoryRecordSize);
            Wire::appendNumberField(expected, number(r, 0), 10);
            for (const auto &[from, width] :
                {std::pair{4, 20}, {24, 100}, {124, 200}, {324, 15}, {339, 16}, {355, 16}})
                Wire::appendAnsiField(expected, QByteArrayView(r).sliced(from, width), width);
        }
        const auto categoryList
            = Messages::decodeCategoryList(viewPayload(mtCampusList, 0, 0, categories));
        EXPECT_EQ(categoryList.record.strCampusList, expected) << "round " << round;
    }
}

// The inline decoders of the frequent messages take their own road when
// every field reads; whatever the payload, they must give what the checked
// decoders give, failures and warnings included. Payloads are the builders'
// own, then cut short, given overflowing numbers, wrong text lengths, a
// header length that disagrees, or random bytes.
TEST(Decoders, InlineDecodersAgreeWithTheCheckedOnes)
{
    quint32 seed = 777;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xffff;
    };
    const auto sameFailure = [](const auto &a, const auto &b) {
        return a.failure.number == b.failure.number
            && a.failure.description == b.failure.description && a.warning == b.warning
            && a.refused == b.refused;
    };
    const auto sameText = [](Wire::WideView a, Wire::WideView b) {
        return a.size() == b.size() && a.toString() == b.toString();
    };
    Wire::Failure ignored;
    const QList<UserInfo> users{
        {12, u"Li"_s, 4, 1}, {1234567890, u"student"_s, 255, 2}, {7, u"张三"_s, 0, 1}};
    int fastCases = 0;
    for (int round = 0; round < 6000; ++round) {
        QByteArray payload;
        switch (round % 5) {
        case 0: payload = Messages::note(5, int(next() % 3), u"note 你好"_s).payload; break;
        case 1:
            payload = Messages::whiteBoard(int(next()), 2, 3, 4, 5, 6,
                next() % 2 ? u"mark"_s : QString(), qint16(next() % 40),
                next() % 3 ? u"SimSun"_s : QString());
            break;
        case 2: payload = Messages::play(int(next()), int(next()), next() % 2); break;
        case 3: payload = Messages::answer(next() % 2); break;
        default: payload = Messages::userList(int(next() % 4), users, ignored); break;
        }
        switch (next() % 6) {
        case 0: payload.truncate(next() % (payload.size() + 1)); break;
        case 1: { // the top byte of a 32-bit field, overflowing
            const qsizetype at = qsizetype(next() % (payload.size() / 4 + 1)) * 4 + 3;
            if (at < payload.size())
                payload[at] = char(0x80 | next());
            break;
        }
        case 2: // any byte
            if (!payload.isEmpty())
                payload[next() % payload.size()] = char(next());
            break;
        case 3: payload.append(char(next())); break;
        case 4: payload = QByteArray(qsizetype(next() % 48), char(next())); break;
        default: break;
        }
        const qint32 verb = qint32(next() % 4);
        FrameCodec::FrameView frame = viewPayload(quint8(round % 5), verb, 9, payload);
        if (next() % 8 == 0)
            frame.length += qint32(next() % 5) - 2; // the header says otherwise
        SCOPED_TRACE(
            "round " + std::to_string(round) + ", payload " + Wire::hex(payload).toStdString());

        const auto note = Messages::decodeNote(frame);
        const auto checkedNote = Messages::Checked::decodeNote(frame);
        EXPECT_TRUE(sameFailure(note, checkedNote));
        EXPECT_EQ(note.record.FromID, checkedNote.record.FromID);
        EXPECT_EQ(note.record.ToID, checkedNote.record.ToID);
        EXPECT_TRUE(sameText(note.record.Message, checkedNote.record.Message));

        const auto board = Messages::decodeWhiteBoard(frame);
        const auto checkedBoard = Messages::Checked::decodeWhiteBoard(frame);
        const Messages::WhiteBoardMsg &w = board.record;
        const Messages::WhiteBoardMsg &c = checkedBoard.record;
        EXPECT_TRUE(sameFailure(board, checkedBoard));
        EXPECT_EQ(std::tuple(w.ShapeType, w.x1, w.y1, w.x2, w.y2, w.LineWidth, w.Color),
            std::tuple(c.ShapeType, c.x1, c.y1, c.x2, c.y2, c.LineWidth, c.Color));
        EXPECT_EQ(std::tuple(w.FontSize, w.markBytes, w.fontBytes, w.lengthsAgree),
            std::tuple(c.FontSize, c.markBytes, c.fontBytes, c.lengthsAgree));
        EXPECT_TRUE(sameText(w.strMark, c.strMark));
        EXPECT_TRUE(sameText(w.FontName, c.FontName));
        fastCases += !board.failure && board.warning.isEmpty();

        const auto play = Messages::decodePlay(frame);
        const auto checkedPlay = Messages::Checked::decodePlay(frame);
        EXPECT_TRUE(sameFailure(play, checkedPlay));
        EXPECT_EQ(std::tuple(play.record.TreeNodeID, play.record.PlayVerb, play.record.position,
                      play.record.mediaFile),
            std::tuple(checkedPlay.record.TreeNodeID, checkedPlay.record.PlayVerb,
                checkedPlay.record.position, checkedPlay.record.mediaFile));

        const auto answer = Messages::decodeAnswer(frame);
        const auto checkedAnswer = Messages::Checked::decodeAnswer(frame);
        EXPECT_TRUE(sameFailure(answer, checkedAnswer));
        EXPECT_EQ(answer.record.UserID, checkedAnswer.record.UserID);
        EXPECT_EQ(answer.record.boolYes, checkedAnswer.record.boolYes);

        const auto list = Messages::decodeUserList(frame);
        const auto checkedList = Messages::Checked::decodeUserList(frame);
        EXPECT_TRUE(sameFailure(list, checkedList));
        EXPECT_EQ(list.record.Count, checkedList.record.Count);
        EXPECT_EQ(list.record.CmdVerb, checkedList.record.CmdVerb);
        EXPECT_EQ(list.record.records.size(), checkedList.record.records.size());
        EXPECT_EQ(list.record.strUserList(), checkedList.record.strUserList());
        if (HasFailure())
            break;
    }
    // Both roads were taken often.
    EXPECT_GT(fastCases, 300);
}
