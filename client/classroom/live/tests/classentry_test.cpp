// Class entry and the roster against a connection fed by hand: the entry's
// states, its time limits and failures, the held events, roster decoding.
#include "client/classroom/live/tests/coursefixture.h"
#include "client/classroom/live/tests/testclient.h"

#include <QSignalSpy>

using namespace Qt::StringLiterals;
using namespace LiveTest;
using ClassLive::ClassEntry;

namespace {

// One user-list record: ID 10, nick 16, status 3, type 3 characters.
QString record(const QString &id, const QString &nick, const QString &status, const QString &type)
{
    return id.leftJustified(10, u' ') + nick.leftJustified(16, u' ')
        + status.rightJustified(3, u' ') + type.rightJustified(3, u' ');
}

const QString Teacher = record(u"0000000090"_s, u"王老师"_s, u"15"_s, u"2"_s);
const QString Ann = record(u"0000000011"_s, u"ann"_s, u"15"_s, u"1"_s);

ClassEntry::Limits quick()
{
    ClassEntry::Limits limits;
    limits.pauseMs = 10;
    limits.relayWaitMs = 50;
    limits.fetchMs = 2000;
    limits.loadMs = 5000;
    return limits;
}

class Entry : public ClassFixture
{
protected:
    std::unique_ptr<TestClient> client(const QString &path)
    {
        auto c = std::make_unique<TestClient>(path, quick());
        c->session.MyID = 11;
        c->remote.setMyID(11);
        return c;
    }

    static void firstRoster(TestClient &c, const QString &text = Teacher + Ann)
    {
        Q_EMIT c.remote.GetMsgUserList(int(text.size() / 32), text, 1);
    }

    static bool reaches(TestClient &c, ClassEntry::State state, int ms = 5000)
    {
        return QTest::qWaitFor([&] { return c.live->entry().state() == state; }, ms);
    }
};

TEST_F(Entry, MissingCoursewareIsDownloadedFirstAndAFailedDownloadLeavesTheClass)
{
    const QString path = dir.path() + u"/Course/one.lsn"_s;
    auto c = client(path);
    QSignalSpy leave(&c->live->entry(), &ClassLive::ClassEntry::leaveRequested);
    firstRoster(*c);
    EXPECT_EQ(c->live->entry().state(), ClassEntry::State::Pausing);
    EXPECT_TRUE(c->live->gate().isHolding());
    ASSERT_TRUE(QTest::qWaitFor([&] { return leave.size() == 1; }, 5000));
    EXPECT_EQ(c->fetch.asked, QStringList{path});
    ASSERT_EQ(c->prompter.shown.size(), 1);
    EXPECT_EQ(
        c->prompter.shown[0].text, u"这堂课的课件还没有下载完，不能进入教室，请稍后再试一次"_s);
    EXPECT_EQ(c->live->entry().state(), ClassEntry::State::AwaitFirstRoster);
    EXPECT_FALSE(c->live->gate().isHolding());
    EXPECT_FALSE(c->session.bInClass);

    // Downloaded the second time: the class is entered, relays set up
    // locally once the key answer is overdue.
    c->fetch.result = [this](const QString &to) {
        QDir().mkpath(QFileInfo(to).path());
        return QFile::copy(coursePath, to);
    };
    firstRoster(*c);
    ASSERT_TRUE(reaches(*c, ClassEntry::State::InClass));
    EXPECT_EQ(c->relays.localSetups, 1);
    EXPECT_TRUE(c->session.bInClass);
    EXPECT_TRUE(c->course->Connected());
    EXPECT_EQ(c->voice.calls, QStringList{u"listen 127.0.0.1 4101 4102"_s});
    EXPECT_EQ(c->window.panelText.value(1), u"连接"_s);
}

TEST_F(Entry, ACoursewareFileThatCannotBeOpenedLeavesTheClassWithTheManagersMessage)
{
    const QString path = dir.path() + u"/broken.lsn"_s;
    QFile broken(path);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(64, 'x'));
    broken.close();
    auto c = client(path);
    QSignalSpy leave(&c->live->entry(), &ClassLive::ClassEntry::leaveRequested);
    firstRoster(*c);
    ASSERT_TRUE(QTest::qWaitFor([&] { return leave.size() == 1; }, 5000));
    ASSERT_EQ(c->prompter.shown.size(), 1);
    EXPECT_EQ(c->prompter.shown[0].text, u"不是合法的Lumo Class课件文件,请重新下载"_s);
    EXPECT_EQ(c->live->entry().state(), ClassEntry::State::AwaitFirstRoster);
    EXPECT_TRUE(c->fetch.asked.isEmpty());
}

TEST_F(Entry, HeldEventsFollowInArrivalOrderAndALostConnectionDropsThem)
{
    auto c = client(coursePath);
    c->relays.distributed = true;
    firstRoster(*c);
    Q_EMIT c->remote.GetNoteMessage(90, 0, u"stale"_s);
    EXPECT_EQ(c->live->gate().heldCount(), 1);
    Q_EMIT c->remote.DisConnected(u"127.0.0.1"_s);
    EXPECT_EQ(c->live->entry().state(), ClassEntry::State::AwaitFirstRoster);
    EXPECT_EQ(c->live->gate().heldCount(), 0);

    firstRoster(*c);
    Q_EMIT c->remote.GetNoteMessage(90, 0, u"one"_s);
    // An arrival, a status change taking ann's voice and notes away, a
    // second note: each handled after entry, in this order.
    const QString bob = record(u"12"_s, u"bob"_s, u"15"_s, u"1"_s);
    Q_EMIT c->remote.GetMsgUserList(1, bob, 3);
    Q_EMIT c->remote.GetMsgUserList(1, record(u"11"_s, u"ann"_s, u"3"_s, u"1"_s), 2);
    Q_EMIT c->remote.GetNoteMessage(12, 0, u"two"_s);
    EXPECT_FALSE(c->history().contains(u"one"_s));
    EXPECT_EQ(c->users->Count(), 2);
    ASSERT_TRUE(reaches(*c, ClassEntry::State::InClass));
    EXPECT_EQ(c->relays.localSetups, 0);
    const QString h = c->history();
    EXPECT_FALSE(h.contains(u"stale"_s));
    const auto at = [&](const QString &s) { return h.indexOf(s); };
    ASSERT_GE(at(u"one"_s), 0);
    EXPECT_LT(at(u"one"_s), at(u"[老师王老师来了]"_s));
    EXPECT_LT(at(u"[老师王老师来了]"_s), at(u"[bob来了]"_s));
    EXPECT_LT(at(u"[bob来了]"_s), at(u"two"_s));
    EXPECT_EQ(c->users->Count(), 3);
    EXPECT_FALSE(c->window.sendNotesEnabled);
    EXPECT_FALSE(c->notes->SendEnabled());
    EXPECT_EQ(c->window.panelText.value(2), u"空闲"_s);
    EXPECT_FALSE(c->session.bWhiteBoardPermitted);
}

TEST_F(Entry, RosterRecordsThatCannotBeReadAreSkippedAndLogged)
{
    auto c = client(coursePath);
    c->relays.distributed = true;
    const QString text = Teacher
        + record(u"00000000ab"_s, u"bad id"_s, u"4"_s, u"1"_s) // letters are kept: no number
        + record(u"21"_s, u"bad status"_s, u"999"_s, u"1"_s) // above a byte
        + record(u"1 2"_s, u"  Li"_s, u"  4"_s, u"  1"_s) + Ann;
    firstRoster(*c, text);
    ASSERT_TRUE(reaches(*c, ClassEntry::State::InClass));
    EXPECT_EQ(c->users->Count(), 3);
    EXPECT_EQ(c->users->GetUserByID(12).UserNick, u"Li"_s);
    EXPECT_EQ(c->users->GetUserStatus(12), 4);
    EXPECT_EQ(c->users->GetUserByID(21).UserID, 0);
    EXPECT_TRUE(c->state.bTeacherArrivalPending);
    const QByteArray log = home.errorLog();
    EXPECT_TRUE(log.contains("RemoteSync_GetMsgUserList"));
    EXPECT_GE(log.count("RemoteSync_GetMsgUserList"), 2);

    // A roster without the teacher clears the announcement; one whose
    // status change record is unreadable changes nothing.
    Q_EMIT c->remote.GetMsgUserList(1, Ann, 1);
    EXPECT_FALSE(c->state.bTeacherArrivalPending);
    Q_EMIT c->remote.GetMsgUserList(1, record(u"11"_s, u"ann"_s, u"x"_s, u"1"_s), 2);
    EXPECT_EQ(c->users->GetUserStatus(11), 15);

    // Count 0 is a refused login, whatever the verb: told, then the class
    // is left (the session's teardown empties the lists).
    QSignalSpy refused(&c->live->roster(), &ClassLive::RosterBinder::loginRefused);
    Q_EMIT c->remote.GetMsgUserList(0, QString(), 3);
    EXPECT_EQ(refused.size(), 1);
    EXPECT_EQ(c->prompter.shown.last().title, u"登录错误提示："_s);
}

} // namespace
