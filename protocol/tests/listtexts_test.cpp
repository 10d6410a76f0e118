// The list texts the events carry, read back into records: round trips from
// the servers' record builders through the receive path, and the field rules.
#include "protocol/listtexts.h"
#include "protocol/messages.h"
#include "protocol/tests/loopback.h"

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::StringLiterals;
using namespace ListTexts;

namespace {

// Receives `payload` as one frame and returns the list event's text and count.
struct ListEvent {
    qint32 count = -1;
    QString text;
};

ListEvent receiveList(quint8 type, qint32 verb, const QByteArray &payload)
{
    TestHome home;
    clsRemoteSync sync;
    ListEvent got;
    QObject::connect(
        &sync, &clsRemoteSync::GetMsgUserList, &sync, [&](qint32 count, const QString &text) {
            got = {count, text};
        });
    QObject::connect(&sync, &clsRemoteSync::GetMsgCampusCourseList, &sync,
        [&](qint32 count, const QString &text) {
            got = {count, text};
        });
    QObject::connect(
        &sync, &clsRemoteSync::GetMsgCampusList, &sync, [&](qint32 count, const QString &text) {
            got = {count, text};
        });
    sync.ReceiveBytes(frame(type, verb, 0, payload));
    return got;
}

QString field(const QString &text, int width)
{
    return text.leftJustified(width, u' ', true);
}

} // namespace

TEST(ListTexts, UserListRoundTrip)
{
    const QList<UserInfo> users{{12, u"Li"_s, 4, 1}, {2147483647, u"Teacher Zhang"_s, 0xfc, 2},
        {7, u"  sixteen-chars-x "_s, 0, 0}, {0, QString(), 255, 255}};
    Wire::Failure failure;
    QByteArray payload = Messages::userList(4, users, failure);
    // Nicks are sent as stripped text but read as ANSI: servers that hold
    // Chinese nicks write them in GBK.
    const QByteArray gbk = Wire::fixedWidth(Wire::narrowBytes(u"张三老师"_s), 16);
    payload.replace(22 + 4, 16, gbk);
    const ListEvent event = receiveList(mtUserList, 1, payload);
    ASSERT_EQ(event.count, 4);
    const Parsed<RosterRecord> parsed = parseUserList(event.text, event.count);
    EXPECT_TRUE(parsed.refused.isEmpty()) << parsed.refused.join(u'\n').toStdString();
    ASSERT_EQ(parsed.records.size(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(parsed.records[i].uiUserID, users[i].uiUserID);
        EXPECT_EQ(parsed.records[i].uiStatus, users[i].uiStatus);
        EXPECT_EQ(parsed.records[i].uiUserType, users[i].uiUserType);
    }
    EXPECT_EQ(parsed.records[0].uiUserNick, u"Li"_s); // the 14 NULs are cut
    EXPECT_EQ(parsed.records[1].uiUserNick, u"张三老师"_s); // 8 bytes of GBK
    EXPECT_EQ(parsed.records[2].uiUserNick, u"sixteen-chars-x"_s); // stripped, then 15 bytes
    EXPECT_EQ(parsed.records[3].uiUserNick, QString());
}

TEST(ListTexts, CourseAndCategoryListsRoundTrip)
{
    const QList<Messages::CourseRecord> courses{
        {12, 3, u"lesson1.lsn"_s, u"王老师"_s, u"192.168.100.200"_s, 2001, u"周一 9:00"_s,
            u"  描述 with blanks  "_s},
        {2147483647, 0, QString(255, u'f'), u"t"_s, u"h"_s, 65535, {}, {}}};
    QByteArray payload;
    for (const auto &c : courses)
        payload += Messages::courseRecord(c);
    const ListEvent event = receiveList(mtCampusCourseList, mvALLLIST, payload);
    ASSERT_EQ(event.count, 2);
    const Parsed<CourseRecord> parsed = parseCourseList(event.text, event.count);
    ASSERT_EQ(parsed.records.size(), 2);
    const CourseRecord &a = parsed.records[0];
    EXPECT_EQ(a.CourseID, 12);
    EXPECT_EQ(a.CategoryID, 3);
    EXPECT_EQ(a.FileName, u"lesson1.lsn"_s);
    EXPECT_EQ(a.Teacher, u"王老师"_s);
    EXPECT_EQ(a.ServerAddress, u"192.168.100.200"_s);
    EXPECT_EQ(a.ServerPort, 2001);
    EXPECT_EQ(a.ClassTime, u"周一 9:00"_s);
    EXPECT_EQ(a.Description, u"描述 with blanks"_s);
    EXPECT_EQ(a.CourseName(), u"Course12"_s);
    EXPECT_FALSE(a.bChecked);
    EXPECT_EQ(parsed.records[1].CourseID, 2147483647);
    EXPECT_EQ(parsed.records[1].FileName, QString(100, u'f')); // cut to its field
    EXPECT_EQ(parsed.records[1].ServerPort, 65535);

    const QList<Messages::CategoryRecord> categories{
        {7, u"数学"_s, u"x"_s, u"numbers"_s, u"127.0.0.1:65535"_s, u"a-b c"_s, u"2_2"_s},
        {8, u"web"_s, {}, {}, u"web.host /x"_s, {}, {}}};
    // 400 bytes: the second record is cut short and completed with zero bytes.
    payload = Messages::categoryRecord(categories[0]) + Messages::categoryRecord(categories[1]);
    const ListEvent list = receiveList(mtCampusList, 0, payload);
    ASSERT_EQ(list.count, 2);
    const Parsed<CategoryRecord> cats = parseCategoryList(list.text, list.count);
    ASSERT_EQ(cats.records.size(), 2);
    EXPECT_EQ(cats.records[0].CategoryID, 7);
    EXPECT_EQ(cats.records[0].Name, u"数学"_s);
    EXPECT_EQ(cats.records[0].Text, u"numbers"_s);
    EXPECT_EQ(cats.records[0].WebHost, u"127.0.0.1:65535"_s);
    EXPECT_EQ(cats.records[0].FirstWord, u"abc"_s);
    EXPECT_EQ(cats.records[0].SecondWord, u"22"_s);
    EXPECT_EQ(cats.records[0].FolderName(), u"campus7"_s);
    EXPECT_EQ(cats.records[0].ComboText(), u"[7]数学"_s);
    EXPECT_EQ(categoryFromComboText(cats.records[0].ComboText()), 7);
    // An address, a blank, a slash and a letter: the address and the letter.
    EXPECT_EQ(cats.records[1].WebHost, u"web.hostx"_s);

    const ListEvent shortList = receiveList(mtCampusList, 0, payload.left(400));
    const Parsed<CategoryRecord> cut = parseCategoryList(shortList.text, shortList.count);
    ASSERT_EQ(cut.records.size(), 2);
    EXPECT_EQ(cut.records[1].CategoryID, 8);
    EXPECT_EQ(cut.records[1].Name, u"web"_s); // 29 bytes of the record were there
    EXPECT_TRUE(cut.records[1].WebHost.isEmpty());
}

TEST(ListTexts, UserFieldRulesFromTheTextItself)
{
    // ID 0000000012, nick Li and 14 blanks, status "  4", type "  1".
    QString text = u"0000000012"_s + field(u"Li"_s, 16) + u"  4"_s + u"  1"_s;
    // Blanks and NULs inside numeric fields are ignored: "1 2" reads as 12.
    text += field(u"1 2"_s, 10) + field(u" Wu \0\0"_s, 16) + u"1\0 "_s + u"2  "_s;
    // A numeric field empty after filtering refuses its record only.
    text += field(QString(), 10) + field(u"ghost"_s, 16) + u"0  1  "_s;
    // A status that does not fit a byte refuses its record.
    text += field(u"5"_s, 10) + field(u"x"_s, 16) + u"256"_s + u"1  "_s;
    text += field(u"6"_s, 10) + field(u"last"_s, 16) + u"0  1  "_s;
    ASSERT_EQ(text.size(), 5 * 32);
    const Parsed<RosterRecord> parsed = parseUserList(text, 6);
    ASSERT_EQ(parsed.records.size(), 3);
    EXPECT_EQ(parsed.records[0].uiUserID, 12);
    EXPECT_EQ(parsed.records[0].uiUserNick, u"Li"_s);
    EXPECT_EQ(parsed.records[0].uiStatus, 4);
    EXPECT_EQ(parsed.records[0].uiUserType, 1);
    EXPECT_EQ(parsed.records[1].uiUserID, 12);
    EXPECT_EQ(parsed.records[1].uiUserNick, u"Wu"_s);
    EXPECT_EQ(parsed.records[1].uiStatus, 1);
    EXPECT_EQ(parsed.records[1].uiUserType, 2);
    EXPECT_EQ(parsed.records[2].uiUserNick, u"last"_s);
    // Two refused records and a count beyond the text, each named.
    ASSERT_EQ(parsed.refused.size(), 3) << parsed.refused.join(u'\n').toStdString();
    EXPECT_TRUE(parsed.refused[0].contains(u"record 2"_s));
    EXPECT_TRUE(parsed.refused[1].contains(u"status"_s));
    EXPECT_TRUE(parsed.refused[2].contains(u"announces 6"_s));
    // The count limits what is read.
    EXPECT_EQ(parseUserList(text, 1).records.size(), 1);
    EXPECT_TRUE(parseUserList(text, -3).records.isEmpty());
}

TEST(ListTexts, CourseFieldRulesFromTheTextItself)
{
    // Course 12 padded with blanks, text fields of blanks only, a port that
    // does not fit 32 bits.
    QString good = field(u"12"_s, 10) + field(u"3"_s, 10) + field(u"a.lsn\0\0junk"_s, 100)
        + QString(16 + 15, u' ') + field(u"80"_s, 10) + QString(20 + 200, u' ');
    QString badPort = good;
    badPort.replace(151, 10, u"2147483648"_s);
    const Parsed<CourseRecord> parsed = parseCourseList(good + badPort, 2);
    ASSERT_EQ(parsed.records.size(), 1);
    EXPECT_EQ(parsed.records[0].CourseID, 12);
    EXPECT_EQ(parsed.records[0].FileName, u"a.lsn"_s); // only the part before the NUL
    EXPECT_TRUE(parsed.records[0].Teacher.isEmpty());
    EXPECT_TRUE(parsed.records[0].Description.isEmpty());
    EXPECT_EQ(parsed.records[0].ServerPort, 80);
    ASSERT_EQ(parsed.refused.size(), 1);
    EXPECT_TRUE(parsed.refused[0].contains(u"port"_s));

    EXPECT_EQ(categoryFromComboText(u"[12]Maths"_s), 12);
    EXPECT_EQ(categoryFromComboText(u"12]Maths"_s), -1);
    EXPECT_EQ(categoryFromComboText(u"[x]Maths"_s), -1);
}

// Numbers are read in place; the rule they must keep is "only ASCII digits
// and letters count, and what remains reads as a decimal number in range",
// checked here against that rule spelled out on random fields of digits,
// letters, blanks, NULs, signs and digits of other scripts.
TEST(ListTexts, NumericFieldsReadAsTheirDigitsAndLettersWould)
{
    const QString alphabet = u"0123456789 \0-+aZ１é٣"_s;
    quint32 seed = 99;
    const auto next = [&seed](quint32 bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % bound;
    };
    const auto reference = [](QStringView field, qint64 max) -> std::optional<qint64> {
        QString kept;
        for (const QChar c : field) {
            if (c.unicode() < 128 && c.isLetterOrNumber())
                kept += c;
        }
        bool ok = false;
        const qint64 value = kept.toLongLong(&ok, 10);
        if (kept.isEmpty() || !ok || value < 0 || value > max)
            return std::nullopt;
        return value;
    };
    for (int round = 0; round < 4000; ++round) {
        QString record(32, Qt::Uninitialized);
        for (QChar &c : record) {
            // Mostly digits, so that numbers of every length come up.
            c = next(3) != 0 ? QChar(u'0' + char16_t(next(10))) : alphabet[next(alphabet.size())];
        }
        const auto id = reference(QStringView(record).mid(0, 10), 2147483647);
        const auto status = reference(QStringView(record).mid(26, 3), 255);
        const auto type = reference(QStringView(record).mid(29, 3), 255);
        const Parsed<RosterRecord> parsed = parseUserList(record, 1);
        SCOPED_TRACE(record.toStdString());
        ASSERT_EQ(parsed.records.size(), id && status && type ? 1 : 0);
        if (!parsed.records.isEmpty()) {
            EXPECT_EQ(parsed.records[0].uiUserID, *id);
            EXPECT_EQ(parsed.records[0].uiStatus, *status);
            EXPECT_EQ(parsed.records[0].uiUserType, *type);
        }
    }
}
