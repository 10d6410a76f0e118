#include "controls/notesmanage/clsnoteuserlist.h"

#include <gtest/gtest.h>

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

} // namespace
