// The session's stages, its one teardown and the return after a lost
// connection, against a recording road and recording class units.
#include "client/session/studentsession.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using Stage = StudentSession::Stage;
using Exit = StudentSession::Exit;

struct Recorder : StudentSession::Road, StudentSession::ClassUnits {
    QStringList calls;
    // The servers answer a probe from this many probes on (0: never).
    int reachableFromProbe = 0;
    int probes = 0;
    void probeServers(std::function<void(bool)> answer) override
    {
        ++probes;
        const bool reachable = reachableFromProbe > 0 && probes >= reachableFromProbe;
        QTimer::singleShot(1, [answer = std::move(answer), reachable] { answer(reachable); });
    }
    // Each returnToClass() is answered by the test.
    int returns = 0;
    void leaveServer() override { calls << QStringLiteral("leaveServer"); }
    void returnToClass() override
    {
        ++returns;
        calls << QStringLiteral("returnToClass");
    }
    void classBegan() override { calls << QStringLiteral("classBegan"); }
    void classEnded(Exit how, bool connectionUp) override
    {
        calls << QStringLiteral("classEnded %1 %2")
                     .arg(QString::fromLatin1(QMetaEnum::fromType<Exit>().valueToKey(int(how))))
                     .arg(connectionUp ? QStringLiteral("up") : QStringLiteral("down"));
    }
};

StudentSession::Timing fastTiming()
{
    StudentSession::Timing timing;
    timing.returnPausesMs = {20, 40, 80};
    timing.returnLimitMs = 60 * 1000;
    timing.tickMs = 10;
    return timing;
}

void enterClass(StudentSession &session)
{
    session.roadStarted();
    session.bookingShown();
    session.classroomConnecting();
    session.classEntered();
}

} // namespace

TEST(StudentSession, EveryWayOutRunsTheOneTeardownBeforeTheConnectionCloses)
{
    for (const Exit how :
        {Exit::Disconnect, Exit::PutOut, Exit::LoginRefused, Exit::EntryFailed, Exit::Quit}) {
        Recorder r;
        StudentSession session(r, r, fastTiming());
        enterClass(session);
        ASSERT_EQ(session.stage(), Stage::InClass);
        QSignalSpy ended(&session, &StudentSession::classEnded);
        r.calls.clear();
        session.leave(how);
        const QString name = QString::fromLatin1(QMetaEnum::fromType<Exit>().valueToKey(int(how)));
        // The teardown first (a private talk's end still reaches the
        // partner), then the connection.
        EXPECT_EQ(r.calls, (QStringList{u"classEnded "_s + name + u" up"_s, u"leaveServer"_s}))
            << name.toStdString();
        EXPECT_EQ(session.stage(), Stage::Offline);
        EXPECT_EQ(ended.count(), 1);
        // A second way out finds nothing left to end, and nothing returns.
        session.leave(Exit::Disconnect);
        QTest::qWait(60);
        EXPECT_EQ(r.returns, 0);
        EXPECT_EQ(ended.count(), 1);
    }
}

TEST(StudentSession, LostClassComesBackAfterGrowingPausesWithoutReopeningAnything)
{
    Recorder r;
    StudentSession session(r, r, fastTiming());
    enterClass(session);
    QSignalSpy progress(&session, &StudentSession::returnProgress);
    QSignalSpy returned(&session, &StudentSession::returned);
    r.calls.clear();

    // Each pause is announced as it begins.
    QList<int> pauses;
    session.connectionLost();
    EXPECT_EQ(session.stage(), Stage::Returning);
    EXPECT_EQ(
        r.calls.mid(0, 2), (QStringList{u"classEnded ConnectionLost down"_s, u"leaveServer"_s}));
    pauses << progress.last().at(1).toInt();

    // Two tries fail (the servers are still down), the third gets in.
    for (int attempt = 1; attempt <= 3; ++attempt) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return r.returns == attempt; }, 2000)) << attempt;
        if (attempt < 3) {
            session.roadEnded();
            pauses << progress.last().at(1).toInt();
        }
    }
    EXPECT_EQ(pauses, (QList<int>{20, 40, 80}));
    session.classroomConnecting();
    EXPECT_EQ(session.stage(), Stage::Returning);
    session.classEntered();
    EXPECT_EQ(session.stage(), Stage::InClass);
    ASSERT_EQ(returned.count(), 1);
    EXPECT_GE(returned.first().first().toLongLong(), 20 + 40 + 80);
    EXPECT_EQ(r.calls.last(), u"classBegan"_s);
    // No further try once back.
    QTest::qWait(200);
    EXPECT_EQ(r.returns, 3);
}

TEST(StudentSession, DisconnectCallsOffAReturnAndTheLimitEndsIt)
{
    {
        Recorder r;
        StudentSession session(r, r, fastTiming());
        enterClass(session);
        session.connectionLost();
        QSignalSpy abandoned(&session, &StudentSession::returnAbandoned);
        session.disconnectRequested();
        EXPECT_EQ(session.stage(), Stage::Offline);
        ASSERT_EQ(abandoned.count(), 1);
        EXPECT_TRUE(abandoned.first().at(1).toBool());
        QTest::qWait(150);
        EXPECT_EQ(r.returns, 0);
    }
    {
        Recorder r;
        auto timing = fastTiming();
        timing.returnLimitMs = 100;
        StudentSession session(r, r, timing);
        enterClass(session);
        QSignalSpy abandoned(&session, &StudentSession::returnAbandoned);
        session.connectionLost();
        // Every try fails at once.
        QObject::connect(
            &session, &StudentSession::returnProgress, &session, [&](qint64, int next) {
                if (next == 0)
                    QMetaObject::invokeMethod(
                        &session, &StudentSession::roadEnded, Qt::QueuedConnection);
            });
        ASSERT_TRUE(QTest::qWaitFor([&] { return abandoned.count() == 1; }, 3000));
        EXPECT_FALSE(abandoned.first().at(1).toBool());
        EXPECT_GE(abandoned.first().at(0).toLongLong(), 100);
        EXPECT_EQ(session.stage(), Stage::Offline);
    }
}

TEST(StudentSession, ConnectionDroppedDuringAReturnTryTearsDownAndTriesAgain)
{
    Recorder r;
    StudentSession session(r, r, fastTiming());
    enterClass(session);
    session.connectionLost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.returns == 1; }, 2000));
    r.calls.clear();
    // The try reached the classroom, then the connection dropped again.
    session.connectionLost();
    EXPECT_EQ(r.calls, (QStringList{u"classEnded ConnectionLost down"_s, u"leaveServer"_s}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.returns == 2; }, 2000));
    EXPECT_EQ(session.stage(), Stage::Returning);
}

TEST(StudentSession, ServersBackDuringALongPauseAreFoundByProbesNotWaitedFor)
{
    Recorder r;
    StudentSession::Timing timing;
    timing.returnPausesMs = {20, 60000};
    timing.probeAfterMs = 100;
    timing.probeEveryMs = 20;
    StudentSession session(r, r, timing);
    enterClass(session);
    session.connectionLost();
    // The first pause is short: no probe.
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.returns == 1; }, 2000));
    EXPECT_EQ(r.probes, 0);
    // The servers answer the third probe of the long pause: the try starts
    // then, not a minute later.
    r.reachableFromProbe = 3;
    session.roadEnded();
    ASSERT_TRUE(QTest::qWaitFor([&] { return r.returns == 2; }, 3000));
    EXPECT_EQ(r.probes, 3);
    session.classEntered();
    QTest::qWait(100);
    EXPECT_EQ(r.probes, 3);
}
