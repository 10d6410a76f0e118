// A server that floods the connection: the window's event loop must keep
// turning while the frames are dispatched, and nothing may be lost, doubled
// or reordered on the way.
#include "loopback.h"
#include "protocol/messages.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int Arrivals = 100000;
constexpr int Notes = 10000;

QByteArray arrival(qint32 id)
{
    Wire::Failure failure;
    const QByteArray record
        = Messages::userList(1, {UserInfo{id, u"u%1"_s.arg(id), 4, 1}}, failure);
    return frame(mtUserList, 3, 0, record);
}

QString noteText(int i)
{
    return u"note %1 from a classmate who types a lot"_s.arg(i);
}

// Work a handler of the window does for one event (a row, a line of text).
void busyFor(qint64 ns)
{
    QElapsedTimer t;
    t.start();
    while (t.nsecsElapsed() < ns) { }
}

// The longest time the event loop did not come round, measured by a
// zero-time timer firing as often as the loop lets it.
class StallProbe
{
public:
    StallProbe()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer,
            [this] { longestMs = qMax(longestMs, m_clock.restart()); });
        m_clock.start();
        m_timer.start();
    }
    qint64 longestMs = 0;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
};

} // namespace

TEST(Flood, RosterAndNoteFloodsLeaveTheEventLoopTurningAndArriveWholeInOrder)
{
    TestHome home;
    clsRemoteSync sync;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));

    // 100 000 arrivals (3.8 MB, more than the read-ahead) and 10 000 notes,
    // then the server closes: DisConnected must come after the last frame.
    QByteArray flood;
    flood.reserve(Arrivals * 38 + Notes * 128);
    for (int i = 1; i <= Arrivals; ++i)
        flood += arrival(i);
    for (int i = 0; i < Notes; ++i) {
        const Messages::Built note = Messages::note(7, 0, noteText(i));
        flood += frame(mtNotes, note.verb, 7, note.payload);
    }
    ASSERT_GT(flood.size(), clsRemoteSync::ReadAheadLimit);

    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        QTcpSocket *peer = server.nextPendingConnection();
        peer->write(flood);
        peer->disconnectFromHost(); // after everything was written
    });

    int arrivals = 0;
    int notes = 0;
    int outOfOrder = 0;
    bool closed = false;
    bool eventAfterClose = false;
    QObject::connect(&sync, &clsRemoteSync::GetMsgUserList, &sync,
        [&](qint32 count, const QString &text, qint16 verb) {
            eventAfterClose |= closed;
            ++arrivals;
            if (count != 1 || verb != 3 || text.section(u' ', 0, 0).toInt() != arrivals)
                ++outOfOrder;
            busyFor(30'000);
        });
    QObject::connect(&sync, &clsRemoteSync::GetNoteMessage, &sync,
        [&](qint32 from, qint32, const QString &message) {
            eventAfterClose |= closed;
            if (from != 7 || arrivals != Arrivals || message != noteText(notes))
                ++outOfOrder;
            ++notes;
            busyFor(30'000);
        });
    // A real event loop: qWaitFor sleeps between its rounds of events.
    QEventLoop loop;
    QObject::connect(&sync, &clsRemoteSync::DisConnected, &sync, [&] {
        closed = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);

    StallProbe probe;
    QElapsedTimer took;
    took.start();
    ASSERT_TRUE(sync.Connect(u"127.0.0.1"_s, QString::number(server.serverPort())));
    loop.exec();
    ASSERT_TRUE(closed);

    EXPECT_EQ(arrivals, Arrivals);
    EXPECT_EQ(notes, Notes);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_FALSE(eventAfterClose);
    EXPECT_EQ(sync.PendingBytes(), 0);
    // About 3.3 s of handler work in all; the loop waits one slice at most.
    EXPECT_LT(probe.longestMs, 1000);
    std::printf("longest stall of the event loop: %lld ms, all frames in %lld ms\n",
        qint64(probe.longestMs), qint64(took.elapsed()));
}

TEST(Flood, DisconnectInAHandlerDropsTheFramesStillWaiting)
{
    Loopback loop;
    ASSERT_TRUE(loop.connect());
    ASSERT_TRUE(loop.waitForEvents(1));
    QByteArray flood;
    for (int i = 1; i <= 20000; ++i)
        flood += arrival(i);
    int seen = 0;
    QObject::connect(loop.sync.get(), &clsRemoteSync::GetMsgUserList, loop.sync.get(), [&] {
        busyFor(10'000);
        if (++seen == 5000) {
            loop.sync->Disconnect();
            // A new connection starts clean: nothing of the old one follows.
            ASSERT_TRUE(
                loop.sync->Connect(u"127.0.0.1"_s, QString::number(loop.server.serverPort())));
        }
    });
    loop.serverWrite(flood);
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen >= 5000; }, 20000));
    QTest::qWait(300);
    EXPECT_EQ(seen, 5000);
    EXPECT_EQ(loop.sync->PendingBytes(), 0);
}
