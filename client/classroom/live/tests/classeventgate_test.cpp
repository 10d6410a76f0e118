// The gate's release of a large backlog: handed on in arrival order, in
// slices that let the event loop turn, and a drop in between ends it.
#include "client/classroom/live/classeventgate.h"
#include "common/testsupport/testhome.h"
#include "protocol/clsremotesync.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

void busyFor(qint64 ns)
{
    QElapsedTimer t;
    t.start();
    while (t.nsecsElapsed() < ns) { }
}

} // namespace

TEST(ClassEventGate, ABacklogIsHandedOnInSlicesInOrderAndADropEndsIt)
{
    TestHome home;
    clsRemoteSync remote;
    ClassLive::ClassEventGate gate(remote);
    QList<qint32> seen;
    QObject::connect(&gate, &ClassLive::ClassEventGate::GetNoteMessage, &gate,
        [&seen](qint32 FromID, qint32, const QString &) {
            seen << FromID;
            busyFor(50'000);
        });

    // 10 000 events held during entry: half a second of handling.
    gate.hold();
    for (qint32 i = 1; i <= 10000; ++i)
        Q_EMIT remote.GetNoteMessage(i, 0, u"n"_s);
    EXPECT_EQ(gate.heldCount(), 10000);
    QElapsedTimer took;
    took.start();
    gate.release();
    // The first slice only: the window gets its turn before the rest.
    EXPECT_LT(took.elapsed(), 200);
    EXPECT_GT(seen.size(), 0);
    EXPECT_LT(seen.size(), 10000);
    // A newer event waits behind the backlog.
    Q_EMIT remote.GetNoteMessage(10001, 0, u"n"_s);
    EXPECT_NE(seen.last(), 10001);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() == 10001; }, 10000));
    bool ordered = true;
    for (qsizetype i = 0; i < seen.size(); ++i)
        ordered &= seen[i] == qint32(i + 1);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(gate.heldCount(), 0);

    // A lost connection during a long release drops what is left.
    seen.clear();
    gate.hold();
    for (qint32 i = 1; i <= 10000; ++i)
        Q_EMIT remote.GetNoteMessage(i, 0, u"n"_s);
    gate.release();
    gate.drop();
    const qsizetype handed = seen.size();
    QTest::qWait(100);
    EXPECT_EQ(seen.size(), handed);
    EXPECT_EQ(gate.heldCount(), 0);
    // Passing straight through again afterwards.
    Q_EMIT remote.GetNoteMessage(7, 0, u"n"_s);
    EXPECT_EQ(seen.last(), 7);
}
