// One server-side connection against a raw socket: when it lets go of a
// peer, and with what reason; and a listening server that runs out of
// descriptors.
#include "common/testsupport/qtprinters.h"
#include "sim/core/peerconnection.h"
#include "sim/core/serverframe.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

class Peer : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        client.connectToHost(QHostAddress::LocalHost, server.serverPort());
        ASSERT_TRUE(server.waitForNewConnection(3000));
        peer = std::make_unique<PeerConnection>(server.nextPendingConnection());
        QObject::connect(peer.get(), &PeerConnection::closed,
            [this](const QString &why) { reasons.append(why); });
        QObject::connect(peer.get(), &PeerConnection::frameReceived,
            [this](const ServerFrame::Frame &) { ++frames; });
        ASSERT_TRUE(
            QTest::qWaitFor([this] { return client.state() == QTcpSocket::ConnectedState; }));
    }

    // A note frame as a client sends it (version byte 9).
    static QByteArray noteFrame()
    {
        QByteArray frame = ServerFrame::encode(1, 0, 11, "hello");
        frame[0] = 9;
        return frame;
    }

    QTcpServer server;
    QTcpSocket client;
    std::unique_ptr<PeerConnection> peer;
    QStringList reasons;
    int frames = 0;
};

TEST_F(Peer, FrameLeftHalfwayIsClosedAfterTheLimitWhileIdleStaysOpen)
{
    peer->setIncompleteFrameLimit(300);
    // Whole frames and then silence: nothing is pending, nothing expires.
    client.write(noteFrame());
    ASSERT_TRUE(QTest::qWaitFor([this] { return frames == 1; }));
    ASSERT_EQ(frames, 1) << "the client frame was not accepted by the server framing";
    QTest::qWait(600);
    EXPECT_TRUE(reasons.isEmpty());
    EXPECT_TRUE(peer->isOpen());

    // One byte every 100 ms: the clock runs from the frame's first byte, so
    // trickling does not keep the connection alive.
    const QByteArray frame = noteFrame();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 10 && reasons.isEmpty(); ++i) {
        client.write(frame.mid(i, 1));
        QTest::qWait(100);
    }
    ASSERT_TRUE(QTest::qWaitFor([this] { return !reasons.isEmpty(); }, 2000));
    EXPECT_LT(clock.elapsed(), 900);
    EXPECT_TRUE(reasons.first().startsWith(u"frame incomplete"_s)) << qPrintable(reasons.first());
    EXPECT_EQ(reasons.size(), 1);
    EXPECT_TRUE(QTest::qWaitFor([this] { return client.state() == QTcpSocket::UnconnectedState; }));
}

TEST_F(Peer, ARefusedHeaderIsReportedAsSuchNotAsAPeerClose)
{
    client.write(QByteArray(16, '\x55'));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !reasons.isEmpty(); }));
    EXPECT_TRUE(reasons.first().startsWith(u"unreadable frame header"_s))
        << qPrintable(reasons.first());
    QTest::qWait(50);
    EXPECT_EQ(reasons.size(), 1);
}

TEST_F(Peer, ClosesItStartedAreNotBlamedOnThePeer)
{
    peer->close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !reasons.isEmpty(); }));
    EXPECT_EQ(reasons.first(), u"closed by the server"_s);

    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress::LocalHost, 0));
    QTcpSocket leaving;
    leaving.connectToHost(QHostAddress::LocalHost, other.serverPort());
    ASSERT_TRUE(other.waitForNewConnection(3000));
    PeerConnection second(other.nextPendingConnection());
    QString why;
    QObject::connect(&second, &PeerConnection::closed, [&why](const QString &r) { why = r; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return leaving.state() == QTcpSocket::ConnectedState; }));
    leaving.disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !why.isEmpty(); }));
    EXPECT_EQ(why, u"closed by the peer"_s);
}

// Out of descriptors, a listening socket fails every accept; it pauses,
// reports once, and takes the waiting connection when descriptors are back.
TEST(AcceptGuard, PausesWhenOutOfDescriptorsAndResumes)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    QList<QJsonObject> logged;
    AcceptGuard::watch(
        &server, u"test"_s, [&](const QJsonObject &e) { logged.append(e); }, 200);
    QSignalSpy accepted(&server, &QTcpServer::newConnection);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.serverPort()); // its descriptor exists now

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowestFree); // no new descriptor at all
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    const bool paused = QTest::qWaitFor([&] { return !logged.isEmpty(); }, 3000);
    QTest::qWait(300); // several retries while still out of descriptors
    const qsizetype pauses = logged.size();
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);

    ASSERT_TRUE(paused);
    EXPECT_EQ(logged.first().value(u"sim"_s).toString(), u"accept-paused"_s);
    EXPECT_EQ(logged.first().value(u"server"_s).toString(), u"test"_s);
    EXPECT_LE(pauses, 4) << "retries must wait, not spin";
    EXPECT_EQ(accepted.size(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.hasPendingConnections(); }, 3000));
    std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
    EXPECT_EQ(socket->peerPort(), client.localPort());
}

} // namespace
