#include "controls/notesmanage/clsnoteuserlist.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

TEST(NoteUserList, AddRules)
{
    clsNoteUserList store;
    const struct {
        qint32 id;
        QString nick;
        qint32 expected;
    } rows[] = {
        {5, u"Li"_s, 1}, {5, u"Wang"_s, 0}, // ID present
        {0, u"Zero"_s, 0}, {-2, u"Minus"_s, 0}, {6, u"Li"_s, 2}, // nicks may repeat
        {7, u"AVeryLongNickOfMoreThanSixteen"_s, 3}, // kept whole
    };
    for (const auto &row : rows)
        EXPECT_EQ(store.AddUser(row.id, row.nick), row.expected) << row.id;
    EXPECT_EQ(store.Count(), 3);
    EXPECT_EQ(store.GetUserByName(u"Li"_s), 5);
    EXPECT_EQ(store.GetUserNick(3), u"AVeryLongNickOfMoreThanSixteen"_s);
    EXPECT_EQ(store.GetUserByName(u"所有人"_s), 0);
    EXPECT_EQ(store.FindUserByID(0), 0);
    EXPECT_EQ(store.GetUserNick(0), QString());
    EXPECT_EQ(store.GetUserID(4), 0);
}

TEST(NoteUserList, RemovalAnswersThePositionAndShifts)
{
    clsNoteUserList store;
    for (qint32 id = 1; id <= 4; ++id)
        store.AddUser(id, u"N%1"_s.arg(id));
    EXPECT_EQ(store.RemoveUser(2), 2);
    EXPECT_EQ(store.RemoveUser(2), 0);
    EXPECT_EQ(store.RemoveUser(0), 0);
    EXPECT_EQ(store.GetUserID(2), 3);
    EXPECT_EQ(store.FindUserByID(4), 3);
    EXPECT_EQ(store.GetUserByID(4), u"N4"_s);
    EXPECT_EQ(store.GetUserByID(2), QString());
    EXPECT_TRUE(store.RemoveAllUsers());
    EXPECT_EQ(store.Count(), 0);
    EXPECT_FALSE(store.RemoveAllUsers());
    EXPECT_EQ(store.AddUser(3, u"N3"_s), 1);
}

// Arrivals and departures in any order, with nicks that repeat: the store
// answers every question as a literal array scanned from the everybody
// entry would, including after a flood of departures.
TEST(NoteUserList, AnswersLikeAScanThroughAFlood)
{
    struct Person {
        qint32 id;
        QString nick;
    };
    std::vector<Person> scan{{0, u"所有人"_s}};
    const auto positionOf = [&scan](qint32 id) {
        for (size_t p = 0; p < scan.size(); ++p)
            if (scan[p].id == id)
                return qint32(p);
        return 0;
    };
    clsNoteUserList store;
    QRandomGenerator random(20261208);
    for (int step = 0; step < 6000; ++step) {
        // Growing first, then mostly leaving, so holes pile up and close.
        const bool arrive = random.bounded(10) < (step < 3000 ? 7 : 2);
        const qint32 id = qint32(random.bounded(1500)) - 1;
        const QString nick = random.bounded(3) == 0 ? u"所有人"_s : u"N%1"_s.arg(id % 50);
        if (arrive) {
            const qint32 expected = id > 0 && positionOf(id) == 0 ? qint32(scan.size()) : 0;
            ASSERT_EQ(store.AddUser(id, nick), expected) << step;
            if (expected)
                scan.push_back({id, nick});
        } else {
            const qint32 expected = id > 0 ? positionOf(id) : 0;
            ASSERT_EQ(store.RemoveUser(id), expected) << step;
            if (expected)
                scan.erase(scan.begin() + expected);
        }
        ASSERT_EQ(store.Count(), qint32(scan.size() - 1)) << step;
        const qint32 probe = qint32(random.bounded(1500)) - 1;
        const qint32 at = positionOf(probe);
        ASSERT_EQ(store.FindUserByID(probe), at) << step;
        ASSERT_EQ(store.GetUserByID(probe), at ? scan[size_t(at)].nick : QString()) << step;
        qint32 firstHolder = 0;
        for (const Person &person : scan) {
            if (person.nick == nick) {
                firstHolder = person.id;
                break;
            }
        }
        ASSERT_EQ(store.GetUserByName(nick), firstHolder) << step;
        const qint32 position = qint32(random.bounded(quint32(scan.size() + 1)));
        const bool inside = position >= 1 && position < qint32(scan.size());
        ASSERT_EQ(store.GetUserID(position), inside ? scan[size_t(position)].id : 0) << step;
        ASSERT_EQ(store.GetUserNick(position), inside ? scan[size_t(position)].nick : QString())
            << step;
    }
}

} // namespace
