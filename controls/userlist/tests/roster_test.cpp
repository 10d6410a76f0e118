#include "controls/userlist/clsuserlist.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <QRandomGenerator>

#include <vector>

using namespace UserStatusMask;

using namespace Qt::StringLiterals;

namespace {

struct CheckRow {
    UserStatusMaskType mask;
    quint8 status;
    StatusResultType expected;
};

class CheckStatusTable : public ::testing::TestWithParam<CheckRow>
{
};

TEST_P(CheckStatusTable, AnswersPerField)
{
    const CheckRow row = GetParam();
    EXPECT_EQ(clsUserList::CheckStatus(row.mask, row.status), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, CheckStatusTable,
    ::testing::Values(CheckRow{mtRaise, 0x80, srtRaise_Yes}, CheckRow{mtRaise, 0x7F, srtRaise_No},
        CheckRow{mtYesNO, 0x60, srtYes}, CheckRow{mtYesNO, 0xFF, srtYes},
        CheckRow{mtYesNO, 0x40, srtNo}, CheckRow{mtYesNO, 0x5F, srtNo},
        CheckRow{mtYesNO, 0x20, srtError}, CheckRow{mtYesNO, 0x00, srtError},
        CheckRow{mtSpeaking, 0x60, srtSpeaking_Yes}, CheckRow{mtSpeaking, 0x20, srtSpeaking_Yes},
        CheckRow{mtSpeaking, 0x40, srtSpeaking_No}, CheckRow{mtWhiteBoard, 0x10, srtWhiteboard_Yes},
        CheckRow{mtWhiteBoard, 0xEF, srtWhiteboard_No},
        CheckRow{mtEnableNote, 0x08, srtEnableNote_Yes},
        CheckRow{mtEnableNote, 0xF7, srtEnableNote_No},
        CheckRow{mtEnableSpeak, 0x04, srtEnableSpeak_Yes},
        CheckRow{mtEnableSpeak, 0xFB, srtEnableSpeak_No},
        CheckRow{mtPrepareBusyFree, 0x03, srtPrepare}, CheckRow{mtPrepareBusyFree, 0x82, srtBusy},
        CheckRow{mtPrepareBusyFree, 0x01, srtFree}, CheckRow{mtPrepareBusyFree, 0x80, srtError},
        CheckRow{mtOK, 0x00, srtError}, CheckRow{mtOK, 0xFF, srtError},
        CheckRow{UserStatusMaskType(0), 0xFF, srtError},
        CheckRow{UserStatusMaskType(9), 0x80, srtError}));

struct SetRow {
    quint8 status;
    UserStatusMaskType mask;
    int value;
    quint8 expected;
};

class SetBitStatusTable : public ::testing::TestWithParam<SetRow>
{
};

TEST_P(SetBitStatusTable, NewByte)
{
    const SetRow row = GetParam();
    const std::optional<quint8> result
        = clsUserList::SetBitStatus(row.status, row.mask, cStatus(row.value));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, SetBitStatusTable,
    ::testing::Values(SetRow{0x01, mtRaise, 128, 0x81}, SetRow{0xFF, mtRaise, 0, 0x7F},
        SetRow{0x03, mtYesNO, 96, 0x63}, SetRow{0x63, mtYesNO, 64, 0x43},
        SetRow{0x23, mtYesNO, 64, 0x43}, SetRow{0x03, mtSpeaking, 32, 0x23},
        // Clearing the speaking flag of a "yes" answer leaves a "no".
        SetRow{0x60, mtSpeaking, 0, 0x40}, SetRow{0x00, mtWhiteBoard, 16, 0x10},
        SetRow{0xFF, mtWhiteBoard, 0, 0xEF}, SetRow{0x00, mtEnableNote, 8, 0x08},
        SetRow{0xFF, mtEnableNote, 0, 0xF7}, SetRow{0x00, mtEnableSpeak, 4, 0x04},
        SetRow{0xFF, mtEnableSpeak, 0, 0xFB}, SetRow{0x02, mtPrepareBusyFree, 1, 0x01},
        SetRow{0x01, mtPrepareBusyFree, 2, 0x02}, SetRow{0x81, mtPrepareBusyFree, 3, 0x83},
        // A value the field does not accept clears the whole byte.
        SetRow{0x9F, mtRaise, 4, 0x00}, SetRow{0xFF, mtYesNO, 0, 0x00},
        SetRow{0xFF, mtYesNO, 32, 0x00}, SetRow{0xFF, mtSpeaking, 96, 0x00},
        SetRow{0xFF, mtPrepareBusyFree, 0, 0x00}, SetRow{0xFF, mtEnableSpeak, 8, 0x00}));

TEST(SetBitStatus, MaskWithoutFieldIsRefused)
{
    for (int mask : {int(mtOK), 0, 9, -1}) {
        SCOPED_TRACE(mask);
        EXPECT_FALSE(clsUserList::SetBitStatus(0x13, UserStatusMaskType(mask), csPrepare));
    }
}

TEST(SetBitStatus, YesThenSpeakingOffReadsAsNo)
{
    const quint8 yes = *clsUserList::SetBitStatus(0x03, mtYesNO, csYes);
    EXPECT_EQ(clsUserList::CheckStatus(mtSpeaking, yes), srtSpeaking_Yes);
    const quint8 quiet = *clsUserList::SetBitStatus(yes, mtSpeaking, csSpeaking_No);
    EXPECT_EQ(clsUserList::CheckStatus(mtYesNO, quiet), srtNo);
    EXPECT_EQ(clsUserList::CheckStatus(mtPrepareBusyFree, quiet), srtPrepare);
}

TEST(Roster, StartsWithOnlyTheReservedEntry)
{
    clsUserList roster;
    EXPECT_EQ(roster.Count(), 0);
    EXPECT_EQ(roster.UserType(), ccutTeacher);
    EXPECT_EQ(roster.myID(), 0);
    EXPECT_EQ(roster.FindUserByName(u"所有人"_s), 0);
    EXPECT_EQ(roster.FindUserByID(0), 0);
    EXPECT_EQ(roster.GetUserNick(0), QString());
    EXPECT_EQ(roster.FindTeacherID(), 0);
    EXPECT_FALSE(roster.RemoveAllUsers());
}

TEST(Roster, HostUserTypeIsStudentOnlyForOne)
{
    clsUserList roster;
    const int rows[][2] = {{1, 1}, {0, 2}, {2, 2}, {3, 2}, {-1, 2}};
    for (const auto &row : rows) {
        roster.setUserType(row[0]);
        EXPECT_EQ(roster.UserType(), row[1]) << "written " << row[0];
    }
}

struct AddRow {
    qint32 id;
    QString nick;
    qint32 expected;
};

TEST(Roster, AddUserRules)
{
    const QString twenty = u"ABCDEFGHIJKLMNOPQRST"_s;
    const QString twentyOther = u"ABCDEFGHIJKLMNOPxyzw"_s;
    const std::vector<AddRow> rows = {
        {5, u"Li"_s, 1},
        {5, u"Li"_s, 0}, // same ID and nick
        {5, u"Wang"_s, 0}, // same ID
        {6, u"Li"_s, 0}, // same nick, other ID
        {0, u"Zero"_s, 0},
        {-3, u"Negative"_s, 0},
        {7, u"li"_s, 2}, // nicks compare case by case
        {8, twenty, 3},
        // Shares the stored 16 characters but not the uncut nick.
        {9, twentyOther, 4},
        {10, twenty.left(16), 0}, // equals a stored nick
        {11, u"所有人"_s, 5}, // the reserved entry is not a user
        {12, u"所有人"_s, 0},
    };
    clsUserList roster;
    for (const AddRow &row : rows) {
        SCOPED_TRACE(row.id);
        EXPECT_EQ(roster.AddUser(row.id, row.nick, 0x03, 1), row.expected);
    }
    EXPECT_EQ(roster.Count(), 5);
    EXPECT_EQ(roster.GetUserNick(3), twenty.left(16));
    EXPECT_EQ(roster.FindUserByName(twenty), 0);
    EXPECT_EQ(roster.FindUserByName(twenty.left(16)), 3); // the first of the two
    EXPECT_EQ(roster.GetUserIDByName(twenty.left(16)), 8);
    EXPECT_EQ(roster.FindUserByName(u"所有人"_s), 0); // the search meets position 0 first
    EXPECT_EQ(roster.FindUserByID(11), 5);
}

TEST(Roster, CutNeverSplitsASurrogatePair)
{
    clsUserList roster;
    const QString nick = u"ABCDEFGHIJKLMNO"_s + QString::fromUcs4(U"\U0001F600") + u"Z"_s;
    ASSERT_EQ(roster.AddUser(1, nick, 0, 1), 1);
    EXPECT_EQ(roster.GetUserNick(1), u"ABCDEFGHIJKLMNO"_s);
}

TEST(Roster, RemovalShiftsLaterUsers)
{
    clsUserList roster;
    for (int id = 1; id <= 4; ++id)
        roster.AddUser(id * 10, u"U%1"_s.arg(id), quint8(id), 1);
    EXPECT_FALSE(roster.RemoveUser(99));
    EXPECT_FALSE(roster.RemoveUser(0));
    EXPECT_TRUE(roster.RemoveUser(20));
    EXPECT_FALSE(roster.RemoveUser(20));
    EXPECT_EQ(roster.Count(), 3);
    const qint32 expectedIDs[] = {0, 10, 30, 40, 0};
    for (int position = 0; position <= 4; ++position)
        EXPECT_EQ(roster.GetUserID(position), expectedIDs[position]) << position;
    EXPECT_EQ(roster.FindUserByID(40), 3);
    EXPECT_EQ(roster.FindUserByName(u"U3"_s), 2);
    EXPECT_EQ(roster.GetUserStatus(30), 3);
    // The removed nick is free again and goes to the end.
    EXPECT_EQ(roster.AddUser(21, u"U2"_s, 0, 1), 4);
    EXPECT_TRUE(roster.RemoveAllUsers());
    EXPECT_EQ(roster.Count(), 0);
    EXPECT_EQ(roster.FindUserByID(10), 0);
    EXPECT_FALSE(roster.RemoveAllUsers());
}

// Room made ahead (with counts a peer might send: too small, negative,
// absurd) changes no answer, whether given to an empty or a filled roster.
TEST(Roster, ReservingRoomChangesNoAnswer)
{
    clsUserList roster;
    roster.AddUser(7, u"seven"_s, 1, 2);
    for (const qint32 count : {-5, 0, 1, 3000, 2147483647})
        roster.ReserveUsers(count);
    for (int id = 100; id < 2100; ++id)
        ASSERT_EQ(roster.AddUser(id, u"U%1"_s.arg(id), 0x0F, 1), id - 98);
    EXPECT_EQ(roster.AddUser(150, u"other"_s, 0, 1), 0);
    EXPECT_EQ(roster.AddUser(3000, u"U150"_s, 0, 1), 0);
    EXPECT_EQ(roster.FindUserByID(7), 1);
    EXPECT_EQ(roster.FindUserByName(u"U2099"_s), 2001);
    EXPECT_EQ(roster.FindTeacherID(), 7);
    EXPECT_TRUE(roster.RemoveAllUsers());
    roster.ReserveUsers(10);
    EXPECT_EQ(roster.AddUser(5, u"U5"_s, 0, 1), 1);
}

TEST(Roster, LookupsOfAbsentUsers)
{
    clsUserList roster;
    EXPECT_EQ(roster.GetUserStatusEx(5, mtRaise), StatusResultType(0));
    roster.AddUser(5, u"Li"_s, 0xE7, 1);
    EXPECT_EQ(roster.GetUserStatusEx(6, mtRaise), StatusResultType(0));
    EXPECT_EQ(roster.GetUserStatusEx(5, mtRaise), srtRaise_Yes);
    EXPECT_EQ(roster.GetUserStatusEx(5, mtOK), srtError);
    EXPECT_EQ(roster.GetUserStatus(6), 0);
    EXPECT_EQ(roster.GetUserType(6), 0);
    EXPECT_EQ(roster.GetUserNameByID(6), QString());
    EXPECT_EQ(roster.GetUserNameByID(5), u"Li"_s);
    EXPECT_EQ(roster.GetUser(2), utUser());
    EXPECT_EQ(roster.GetUser(-1), utUser());
    EXPECT_FALSE(roster.SetUserStatus(6, 1));
    EXPECT_FALSE(roster.SetUserType(6, 2));
}

TEST(Roster, SetUserStatusExWritesTheFieldOrRefuses)
{
    clsUserList roster;
    roster.AddUser(5, u"Li"_s, 0x63, 1);
    EXPECT_EQ(roster.SetUserStatusEx(5, mtSpeaking, csSpeaking_No), std::optional<bool>(true));
    EXPECT_EQ(roster.GetUserStatus(5), 0x43);
    EXPECT_EQ(roster.SetUserStatusEx(6, mtRaise, csRaise_Yes), std::optional<bool>(false));
    // A mask without a field fails and leaves the byte alone, present or not.
    EXPECT_EQ(roster.SetUserStatusEx(5, mtOK, csYes), std::nullopt);
    EXPECT_EQ(roster.SetUserStatusEx(6, UserStatusMaskType(0), csYes), std::nullopt);
    EXPECT_EQ(roster.GetUserStatus(5), 0x43);
    // An unaccepted value clears the stored byte.
    EXPECT_EQ(roster.SetUserStatusEx(5, mtRaise, csPrepare), std::optional<bool>(true));
    EXPECT_EQ(roster.GetUserStatus(5), 0);
}

TEST(Roster, FirstTeacherInRosterOrder)
{
    clsUserList roster;
    roster.AddUser(3, u"S"_s, 0, ccutStudent);
    EXPECT_EQ(roster.FindTeacherID(), 0);
    roster.AddUser(9, u"T1"_s, 0, ccutTeacher);
    roster.AddUser(4, u"T2"_s, 0, ccutTeacher);
    EXPECT_EQ(roster.FindTeacherID(), 9);
    EXPECT_TRUE(roster.SetUserType(3, ccutTeacher));
    EXPECT_EQ(roster.FindTeacherID(), 3);
    EXPECT_TRUE(roster.SetUserType(3, ccutStudent));
    EXPECT_TRUE(roster.RemoveUser(9));
    EXPECT_EQ(roster.FindTeacherID(), 4);
    EXPECT_EQ(roster.GetUserType(4), ccutTeacher);
}

// A literal reading of the roster: one array scanned from position 0. The
// indexed roster must answer every search the same way after any sequence
// of changes.
class ScanningRoster
{
public:
    ScanningRoster() { m_users.push_back({u"所有人"_s, 0, 0, AulixUserType(0)}); }

    qint32 add(qint32 id, const QString &nick, quint8 type)
    {
        if (id <= 0 || findByID(id) != 0)
            return 0;
        for (size_t i = 1; i < m_users.size(); ++i)
            if (m_users[i].UserNick == nick)
                return 0;
        m_users.push_back({nick.left(16), id, 0, AulixUserType(type)});
        return qint32(m_users.size() - 1);
    }
    bool remove(qint32 id)
    {
        const qint32 p = findByID(id);
        if (p == 0)
            return false;
        m_users.erase(m_users.begin() + p);
        return true;
    }
    qint32 findByID(qint32 id) const
    {
        for (size_t i = 0; i < m_users.size(); ++i)
            if (m_users[i].UserID == id)
                return qint32(i);
        return 0;
    }
    qint32 findByName(const QString &nick) const
    {
        for (size_t i = 0; i < m_users.size(); ++i)
            if (m_users[i].UserNick == nick)
                return qint32(i);
        return 0;
    }
    qint32 teacher() const
    {
        for (size_t i = 1; i < m_users.size(); ++i)
            if (m_users[i].UserType == ccutTeacher)
                return m_users[i].UserID;
        return 0;
    }
    void setType(qint32 id, quint8 type)
    {
        if (const qint32 p = findByID(id))
            m_users[size_t(p)].UserType = AulixUserType(type);
    }
    qint32 count() const { return qint32(m_users.size() - 1); }
    qint32 idAt(qint32 position) const
    {
        return position < 1 || position > count() ? 0 : m_users[size_t(position)].UserID;
    }

private:
    std::vector<utUser> m_users;
};

TEST(Roster, IndexesAnswerLikeAScan)
{
    QRandomGenerator random(20261207);
    clsUserList roster;
    ScanningRoster reference;
    // Few distinct IDs and nicks, so duplicates and reuse are frequent.
    const auto nickOf = [](quint32 n) {
        return n % 5 == 0 ? u"LongNickSharedPrefix%1"_s.arg(n) : u"N%1"_s.arg(n % 40);
    };
    for (int step = 0; step < 4000; ++step) {
        const qint32 id = qint32(random.bounded(60)) - 2;
        const QString nick = nickOf(random.bounded(80));
        switch (random.bounded(5)) {
        case 0:
        case 1: {
            const quint8 type = quint8(random.bounded(3));
            ASSERT_EQ(roster.AddUser(id, nick, 0, type), reference.add(id, nick, type)) << step;
            break;
        }
        case 2: ASSERT_EQ(roster.RemoveUser(id), reference.remove(id)) << step; break;
        case 3: {
            const quint8 type = quint8(random.bounded(3));
            roster.SetUserType(id, type);
            reference.setType(id, type);
            break;
        }
        case 4:
            if (random.bounded(40) == 0) {
                roster.RemoveAllUsers();
                reference = ScanningRoster();
            }
            break;
        }
        ASSERT_EQ(roster.Count(), reference.count()) << step;
        ASSERT_EQ(roster.FindUserByID(id), reference.findByID(id)) << step;
        ASSERT_EQ(roster.FindUserByName(nick), reference.findByName(nick)) << step;
        ASSERT_EQ(roster.FindUserByName(nick.left(16)), reference.findByName(nick.left(16)))
            << step;
        ASSERT_EQ(roster.FindTeacherID(), reference.teacher()) << step;
        const qint32 position = qint32(random.bounded(reference.count() + 2));
        ASSERT_EQ(roster.GetUserID(position), reference.idAt(position)) << step;
        ASSERT_EQ(roster.GetUserIDByName(nick), reference.idAt(reference.findByName(nick))) << step;
    }
}

// Departures in any order from a large class, with arrivals in between:
// every position still names the right user, ranks and lookups agree, and
// the reserved entry stays out of reach.
TEST(Roster, DepartureFloodKeepsPositions)
{
    clsUserList roster;
    std::vector<qint32> order;
    std::vector<QString> nicks; // beside `order`: each user's nick
    for (qint32 id = 1; id <= 3000; ++id) {
        ASSERT_EQ(roster.AddUser(id, u"U%1"_s.arg(id), 0, id % 500 == 7 ? 2 : 1), id);
        order.push_back(id);
        nicks.push_back(u"U%1"_s.arg(id));
    }
    QRandomGenerator random(7);
    qint32 nextID = 5000;
    while (order.size() > 1) {
        const size_t at = random.bounded(quint32(order.size()));
        const qint32 gone = order[at];
        ASSERT_TRUE(roster.RemoveUser(gone));
        EXPECT_EQ(roster.FindUserByName(nicks[at]), 0);
        order.erase(order.begin() + qsizetype(at));
        nicks.erase(nicks.begin() + qsizetype(at));
        if (random.bounded(4) == 0) {
            // A newcomer takes the nick that just left.
            ASSERT_EQ(roster.AddUser(nextID, u"U%1"_s.arg(gone), 0, 1), qint32(order.size() + 1));
            order.push_back(nextID++);
            nicks.push_back(u"U%1"_s.arg(gone));
        }
        ASSERT_EQ(roster.Count(), qint32(order.size()));
        if (order.size() % 97 == 0) {
            for (size_t i = 0; i < order.size(); ++i) {
                ASSERT_EQ(roster.GetUserID(qint32(i + 1)), order[i]) << i;
                ASSERT_EQ(roster.FindUserByID(order[i]), qint32(i + 1)) << i;
                ASSERT_EQ(roster.FindUserByName(nicks[i]), qint32(i + 1)) << i;
            }
        }
    }
    EXPECT_EQ(roster.GetUserID(0), 0);
    EXPECT_EQ(roster.GetUserID(2), 0);
    EXPECT_EQ(roster.FindUserByName(u"所有人"_s), 0);
    EXPECT_EQ(roster.FindUserByID(order.front()), 1);
    EXPECT_TRUE(roster.RemoveUser(order.front()));
    EXPECT_EQ(roster.Count(), 0);
    EXPECT_EQ(roster.AddUser(1, u"U1"_s, 0, 1), 1);
}

// A crowd leaving in arrival order, from the middle of the class, with
// newcomers now and then: every position and rank stays right while one
// word's departures pile up before the counts catch up.
TEST(Roster, ArrivalOrderDeparturesKeepPositions)
{
    clsUserList roster;
    std::vector<qint32> order;
    for (qint32 id = 1; id <= 1000; ++id) {
        ASSERT_EQ(roster.AddUser(id, u"U%1"_s.arg(id), 0, 1), id);
        order.push_back(id);
    }
    roster.RemoveUser(1000); // the last one: no hole yet
    order.pop_back();
    qint32 nextID = 2000;
    for (qint32 gone = 130; gone <= 700; ++gone) {
        ASSERT_TRUE(roster.RemoveUser(gone));
        order.erase(std::find(order.begin(), order.end(), gone));
        if (gone % 50 == 0) {
            ASSERT_EQ(roster.AddUser(nextID, u"N%1"_s.arg(nextID), 0, 1), qint32(order.size() + 1));
            order.push_back(nextID++);
        }
        for (const size_t i :
            {size_t(0), size_t(128), size_t(129), size_t(130), order.size() - 1}) {
            if (i >= order.size())
                continue;
            ASSERT_EQ(roster.GetUserID(qint32(i + 1)), order[i]) << gone << " " << i;
            ASSERT_EQ(roster.FindUserByID(order[i]), qint32(i + 1)) << gone << " " << i;
        }
    }
    for (size_t i = 0; i < order.size(); ++i)
        ASSERT_EQ(roster.GetUserID(qint32(i + 1)), order[i]) << i;
}

} // namespace

// IDs that all land on one place of a table placed by ID value (multiples
// of a large power of two), mixed with a dense run, removed and searched
// in between: every answer stays that of a scan, absent IDs among them.
TEST(Roster, CrowdedAndDenseIDsAnswerLikeAScan)
{
    clsUserList roster;
    ScanningRoster reference;
    std::vector<qint32> ids;
    for (qint32 k = 1; k <= 1500; ++k) {
        ids.push_back(k << 16);
        ids.push_back(k);
    }
    for (size_t i = 0; i < ids.size(); ++i) {
        const QString nick = u"C%1"_s.arg(i);
        ASSERT_EQ(roster.AddUser(ids[i], nick, 0, 1), reference.add(ids[i], nick, 1)) << i;
        // A second add of any earlier ID is refused, however crowded.
        ASSERT_EQ(roster.AddUser(ids[i / 2], u"again"_s, 0, 1), 0) << i;
    }
    for (size_t i = 0; i < ids.size(); i += 3)
        ASSERT_EQ(roster.RemoveUser(ids[i]), reference.remove(ids[i])) << i;
    for (qint32 k = 1; k <= 1600; ++k) {
        for (const qint32 id : {k << 16, k, (k << 16) + 1, k + 70000}) {
            ASSERT_EQ(roster.FindUserByID(id), reference.findByID(id)) << id;
            ASSERT_EQ(roster.RemoveUser(id) ? 1 : 0, reference.remove(id) ? 1 : 0) << id;
            ASSERT_EQ(roster.Count(), reference.count()) << id;
        }
    }
    EXPECT_EQ(roster.Count(), 0);
}

// Right after a departure, before anything else changes, the nick that left
// (the empty one too: a hole's nick is empty) finds nobody, and the next
// arrival with it is the new first holder; the last slot, taken again at
// once, answers for the newcomer's nick only.
TEST(Roster, NickOfADepartureIsGoneAtOnce)
{
    clsUserList roster;
    roster.AddUser(1, QString(), 0, 1);
    roster.AddUser(2, u"B"_s, 0, 1);
    roster.AddUser(3, u"C"_s, 0, 1);
    ASSERT_TRUE(roster.RemoveUser(1));
    EXPECT_EQ(roster.FindUserByName(QString()), 0);
    EXPECT_EQ(roster.GetUserIDByName(QString()), 0);
    EXPECT_EQ(roster.FindUserByName(u"B"_s), 1);
    EXPECT_EQ(roster.AddUser(4, QString(), 0, 1), 3);
    EXPECT_EQ(roster.GetUserIDByName(QString()), 4);
    ASSERT_TRUE(roster.RemoveUser(4));
    EXPECT_EQ(roster.AddUser(5, u"E"_s, 0, 1), 3);
    EXPECT_EQ(roster.FindUserByName(QString()), 0);
    EXPECT_EQ(roster.GetUserIDByName(u"E"_s), 5);
    ASSERT_TRUE(roster.RemoveUser(2));
    ASSERT_TRUE(roster.RemoveUser(3));
    EXPECT_EQ(roster.FindUserByName(u"B"_s), 0);
    EXPECT_EQ(roster.FindUserByName(u"C"_s), 0);
    EXPECT_EQ(roster.GetUserIDByName(u"E"_s), 5);
    EXPECT_EQ(roster.FindUserByName(u"E"_s), 1);
}
