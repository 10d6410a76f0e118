#include "common/errorlog.h"
#include "protocol/messages.h"
#include "protocol/tests/loopback.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {
const QString Note5 = uR"j({"event":"GetNoteMessage","FromID":5,"ToID":0,"Message":"a"})j"_s;
const QString Note6 = uR"j({"event":"GetNoteMessage","FromID":6,"ToID":0,"Message":"b"})j"_s;
} // namespace

TEST(Connection, ConnectedEventAndState)
{
    Loopback loop;
    EXPECT_EQ(loop.sync->State(), u"0"_s);
    ASSERT_TRUE(loop.connect());
    ASSERT_TRUE(loop.waitForEvents(1));
    EXPECT_EQ(loop.events[0],
        uR"j({"event":"Connected","strRemoteIP":"127.0.0.1","strRemotePort":")j"_s
            + QString::number(loop.server.serverPort()) + u"\"}"_s);
    EXPECT_TRUE(loop.sync->bConnectOk());
    EXPECT_EQ(loop.sync->LocalIP(), u"127.0.0.1"_s);
    EXPECT_NE(loop.sync->LocalPort(), u"0"_s);
}

TEST(Connection, GoesOutFromTheBindAddressAndRefusesOneItCannotUse)
{
    Loopback loop;
    loop.sync->setBindAddress(u"127.0.0.2"_s);
    ASSERT_TRUE(loop.sync->Connect(u"127.0.0.1"_s, QString::number(loop.server.serverPort())));
    ASSERT_TRUE(loop.waitForEvents(1));
    EXPECT_TRUE(loop.events[0].startsWith(u"{\"event\":\"Connected\""_s));
    EXPECT_EQ(loop.sync->LocalIP(), u"127.0.0.2"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loop.server.hasPendingConnections(); }, 3000));
    EXPECT_EQ(loop.server.nextPendingConnection()->peerAddress().toString(), u"127.0.0.2"_s);

    // Not an address, or one this machine does not have: no connection is
    // tried, the log says why.
    for (const QString &bad : {u"not-an-address"_s, u"192.0.2.1"_s}) {
        loop.sync->setBindAddress(bad);
        EXPECT_FALSE(loop.sync->Connect(u"127.0.0.1"_s, QString::number(loop.server.serverPort())));
        EXPECT_NE(loop.sync->State(), u"7"_s);
    }
    QTest::qWait(100);
    EXPECT_FALSE(loop.server.hasPendingConnections());
    EXPECT_TRUE(loop.home.errorLog().contains("cannot go out from 192.0.2.1"));
}

TEST(Connection, TwoFramesInOneArrivalAreDispatchedInOrder)
{
    Loopback loop;
    ASSERT_TRUE(loop.connect());
    loop.serverWrite(frame(mtNotes, 0, 5, Wire::wideBytes(u"a"_s))
        + frame(mtNotes, 0, 6, Wire::wideBytes(u"b"_s)));
    ASSERT_TRUE(loop.waitForEvents(3));
    EXPECT_EQ(loop.messageEvents().mid(1), (QStringList{Note5, Note6}));
    EXPECT_EQ(loop.sync->PendingBytes(), 0);
}

TEST(Connection, SplitFrameIsDispatchedOnceWhenComplete)
{
    Loopback loop;
    ASSERT_TRUE(loop.connect());
    ASSERT_TRUE(loop.waitForEvents(1));
    const QByteArray bytes = frame(mtNotes, 0, 5, Wire::wideBytes(u"a"_s));
    loop.serverWrite(bytes.left(5));
    (void)QTest::qWaitFor([&] { return loop.sync->PendingBytes() == 5; }, 2000);
    loop.serverWrite(bytes.mid(5, 11));
    (void)QTest::qWaitFor([&] { return loop.sync->PendingBytes() == 16; }, 2000);
    EXPECT_EQ(loop.events.size(), 1);
    loop.serverWrite(bytes.mid(16));
    ASSERT_TRUE(loop.waitForEvents(2));
    EXPECT_EQ(loop.events.last(), Note5);
    EXPECT_EQ(loop.sync->PendingBytes(), 0);
}

TEST(Receive, LeftOverByteStartsTheNextFrame)
{
    Receiver receiver;
    const QByteArray second = frame(mtNotes, 0, 6, Wire::wideBytes(u"b"_s));
    EXPECT_EQ(receiver.feed(frame(mtNotes, 0, 5, Wire::wideBytes(u"a"_s)) + second.left(1)),
        QStringList{Note5});
    EXPECT_EQ(receiver.sync.PendingBytes(), 1);
    EXPECT_EQ(receiver.feed(second.mid(1)), QStringList{Note6});
    EXPECT_EQ(receiver.sync.PendingBytes(), 0);
}

TEST(Receive, DisabledReceiverDropsWholeFramesAndKeepsTheStream)
{
    Receiver receiver;
    const QByteArray a = frame(mtNotes, 0, 5, Wire::wideBytes(u"a"_s));
    const QByteArray b = frame(mtNotes, 0, 6, Wire::wideBytes(u"b"_s));
    const QByteArray big = frame(mtUrl, 0, 1, Wire::wideBytes(QString(3000, u'u')));
    // A frame begun while enabled and finished while disabled is dropped
    // whole, and so are the frames after it.
    EXPECT_TRUE(receiver.feed(a.left(3)).isEmpty());
    receiver.sync.setbEnabled(false);
    EXPECT_TRUE(receiver.feed(a.mid(3) + big.left(100)).isEmpty());
    EXPECT_EQ(receiver.sync.PendingBytes(), 100);
    EXPECT_TRUE(receiver.feed(big.mid(100) + b.left(7)).isEmpty());
    EXPECT_EQ(receiver.sync.PendingBytes(), 7);
    // Enabled again mid-frame: the stream is still in step.
    receiver.sync.setbEnabled(true);
    EXPECT_EQ(receiver.feed(b.mid(7) + a), (QStringList{Note6, Note5}));
    EXPECT_EQ(receiver.sync.PendingBytes(), 0);
}

TEST(Connection, ConnectDropsAPartialFrameOfTheLastConnection)
{
    Loopback loop;
    ASSERT_TRUE(loop.connect());
    ASSERT_TRUE(loop.waitForEvents(1));
    loop.serverWrite(frame(mtNotes, 0, 5, Wire::wideBytes(u"a"_s)).left(9));
    ASSERT_TRUE(QTest::qWaitFor([&] { return loop.sync->PendingBytes() == 9; }, 3000));
    // A partial frame while disabled stays too, until the next connection.
    loop.sync->setbEnabled(false);
    ASSERT_TRUE(loop.connect());
    EXPECT_EQ(loop.sync->PendingBytes(), 0);
    loop.sync->setbEnabled(true);
    loop.events.clear();
    loop.serverWrite(frame(mtNotes, 0, 6, Wire::wideBytes(u"b"_s)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return loop.messageEvents().contains(Note6); }, 3000))
        << loop.events.join(u'\n').toStdString();
    EXPECT_EQ(loop.sync->PendingBytes(), 0);
}

TEST(Receive, LargestPayloadIsDispatchedWhole)
{
    Receiver receiver;
    const QString text(65534 / 2, u'x');
    const QStringList events = receiver.feed(frame(mtUrl, 0, 1, Wire::wideBytes(text)));
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(
        events[0], uR"j({"event":"GetMsgURL","lngLength":65534,"strURL":")j"_s + text + u"\"}"_s);
}

TEST(Receive, HandlerMayFeedMoreBytesWhileDispatching)
{
    Receiver receiver;
    const QByteArray second = frame(mtNotes, 0, 6, Wire::wideBytes(u"b"_s));
    bool fed = false;
    QObject::connect(&receiver.sync, &clsRemoteSync::GetNoteMessage, &receiver.sync,
        [&](qint32 from, qint32, const QString &) {
            if (from == 5 && !fed) {
                fed = true;
                receiver.sync.ReceiveBytes(second);
            }
        });
    receiver.feed(frame(mtNotes, 0, 5, Wire::wideBytes(u"a"_s))
        + frame(mtNotes, 0, 7, Wire::wideBytes(u"c"_s)));
    // The bytes fed inside the first handler queue behind the frame already
    // buffered; nothing is lost, doubled or reordered.
    ASSERT_EQ(receiver.events.size(), 3);
    EXPECT_EQ(receiver.events[0], Note5);
    EXPECT_TRUE(receiver.events[1].contains(u"\"FromID\":7"_s));
    EXPECT_EQ(receiver.events[2], Note6);
}

TEST(Receive, HandlerMayDeleteTheObject)
{
    TestHome home;
    auto *sync = new clsRemoteSync;
    int notes = 0;
    QObject::connect(sync, &clsRemoteSync::GetNoteMessage, sync, [&] {
        ++notes;
        delete sync;
    });
    sync->ReceiveBytes(frame(mtNotes, 0, 5, Wire::wideBytes(u"a"_s))
        + frame(mtNotes, 0, 6, Wire::wideBytes(u"b"_s)));
    EXPECT_EQ(notes, 1);
}

TEST(Connection, RefusedHeaderClosesTheConnection)
{
    Loopback loop;
    ASSERT_TRUE(loop.connect());
    ASSERT_TRUE(loop.waitForEvents(1));
    loop.serverWrite(frame(mtNotes, 0, 5, Wire::wideBytes(u"a"_s)) + frame(mtClientReady, 0, 5, {})
        + frame(mtNotes, 0, 6, Wire::wideBytes(u"b"_s)));
    ASSERT_TRUE(loop.waitForEvents(4));
    EXPECT_EQ(loop.events[1], Note5);
    EXPECT_TRUE(loop.events[2].startsWith(
        u"{\"event\":\"SystemLog\",\"strDebugMessage\":\"[Error] Frame header refused"_s))
        << loop.events[2].toStdString();
    EXPECT_EQ(loop.events[3], uR"j({"event":"DisConnected","strRemoteIP":"127.0.0.1"})j"_s);
    EXPECT_EQ(loop.sync->PendingBytes(), 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return loop.peer->state() != QAbstractSocket::ConnectedState; }, 3000));
}

TEST(Connection, PeerCloseRaisesDisConnectedOnly)
{
    Loopback loop;
    ASSERT_TRUE(loop.connect());
    ASSERT_TRUE(loop.waitForEvents(1));
    loop.peer->disconnectFromHost();
    ASSERT_TRUE(loop.waitForEvents(2));
    QTest::qWait(50);
    EXPECT_EQ(loop.events.mid(1),
        QStringList{uR"j({"event":"DisConnected","strRemoteIP":"127.0.0.1"})j"_s});
    EXPECT_TRUE(loop.sync->bConnectOk()); // never set back
}

TEST(Connection, RefusedConnectionIsASocketErrorInState9)
{
    Loopback loop;
    const quint16 port = loop.server.serverPort();
    loop.server.close();
    ASSERT_TRUE(loop.sync->Connect(u"127.0.0.1"_s, QString::number(port)));
    ASSERT_TRUE(loop.waitForEvents(1));
    EXPECT_TRUE(loop.events[0].startsWith(u"{\"event\":\"SocketError\",\"Number\":10061,"_s))
        << loop.events[0].toStdString();
    EXPECT_EQ(loop.sync->State(), u"9"_s);
    loop.sync->Disconnect();
    EXPECT_EQ(loop.sync->State(), u"0"_s);
}

TEST(Connection, DefaultsDisconnectAndBadPort)
{
    Loopback loop;
    loop.sync->setRemoteIP(u"10.9.9.9"_s);
    loop.sync->setRemotePort(u"99"_s);
    // Connecting with no arguments goes to the defaults, whatever was set.
    // Disconnect at once: no traffic leaves the machine.
    EXPECT_TRUE(loop.sync->Connect());
    loop.sync->Disconnect();
    EXPECT_EQ(loop.sync->RemoteIP(), clsRemoteSync::DefaultRemoteIP);
    EXPECT_EQ(loop.sync->RemotePort(), u"2001"_s);
    ASSERT_EQ(loop.events.size(), 1);
    EXPECT_EQ(loop.events[0], uR"j({"event":"DisConnected","strRemoteIP":""})j"_s);

    EXPECT_FALSE(loop.sync->Connect(u"127.0.0.1"_s, u"port"_s));
    EXPECT_TRUE(loop.home.errorLog().startsWith("RemoteSync\r\nConnect\r\n"));
}

TEST(Connection, PropertiesRefuseValuesTheHeaderCannotCarry)
{
    TestHome home;
    clsRemoteSync sync;
    sync.setLanguage(8);
    sync.setversion(32);
    EXPECT_EQ(sync.Language(), 1);
    EXPECT_EQ(sync.version(), 1);
    sync.setLanguage(7);
    sync.setversion(31);
    EXPECT_EQ(sync.Language(), 7);
    EXPECT_EQ(sync.version(), 31);
    EXPECT_TRUE(sync.Record(true));
    EXPECT_FALSE(sync.Record(false));
}

TEST(Connection, SendStampsIdentityAndFailsWhenClosed)
{
    Loopback loop;
    MsgContent msg;
    msg.mcCommandType = mtNotes;
    EXPECT_FALSE(loop.sync->Send(msg));
    ASSERT_EQ(loop.systemLog().size(), 1);
    EXPECT_TRUE(loop.systemLog()[0].startsWith(u"Error in Send [40006]"_s));

    loop.sync->SendNoteMessage(1, 0, u"x"_s);
    EXPECT_EQ(loop.systemLog().last(), u"Error in SendNotMessage."_s);

    ASSERT_TRUE(loop.connect());
    loop.sync->setMyID(77);
    loop.sync->setversion(2);
    loop.sync->setLanguage(3);
    msg.mcDatas = "zz";
    msg.mcLength = 2;
    EXPECT_TRUE(loop.sync->Send(msg));
    EXPECT_EQ(msg.mcID, 77);
    EXPECT_EQ(loop.serverRead(18),
        fromHex("130000000100"
                "4d000000"
                "00000000"
                "0200")
            + "zz");
}

TEST(Connection, SendFailsOnceTheWriteQueueIsFull)
{
    Loopback loop;
    ASSERT_TRUE(loop.connect());
    const QString url(32767, u'w'); // 65534 payload bytes, the largest frame
    const qint64 frameBytes = 16 + 65534;
    const int fit = int(clsRemoteSync::MaxPendingWrite / frameBytes);
    // No return to the event loop: nothing is written meanwhile.
    for (int i = 0; i < fit + 3; ++i)
        loop.sync->SendURLMsg(url);
    const QStringList log = loop.systemLog();
    ASSERT_EQ(log.size(), 6) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log[0].startsWith(u"Error in Send [10055]No buffer space available: "_s))
        << log[0].toStdString();
    EXPECT_TRUE(log[0].contains(QString::number(fit * frameBytes) + u" bytes wait"_s));
    EXPECT_EQ(log[1], u"Error in SendURLMsg."_s);
    // Once the server reads, sending works again.
    const QByteArray read = loop.serverRead(fit * frameBytes, 20000);
    EXPECT_EQ(read.size(), fit * frameBytes);
    loop.sync->SendURLMsg(u"x"_s);
    EXPECT_EQ(loop.systemLog().size(), 6);
    EXPECT_EQ(loop.serverRead(18), frame(mtUrl, 0, 0, Wire::wideBytes(u"x"_s)));
}

TEST(Connection, LoginPayloadAndLimits)
{
    Loopback loop;
    ASSERT_TRUE(loop.connect());
    EXPECT_TRUE(loop.sync->Login(1, u"abcdefghijklmnop"_s));
    EXPECT_EQ(loop.serverRead(34), frame(mtLogin, 0, 0, fromHex("0100") + "abcdefghijklmnop"));
    EXPECT_TRUE(loop.sync->Login(1, u"密码"_s));
    EXPECT_EQ(
        loop.serverRead(34), frame(mtLogin, 0, 0, fromHex("0100c65b0178") + QByteArray(12, 0)));

    EXPECT_FALSE(loop.sync->Login(1, u"abcdefghijklmnopq"_s));
    EXPECT_FALSE(loop.sync->Login(256, u"a"_s));
    EXPECT_TRUE(loop.sync->LogOut(1));
    EXPECT_EQ(loop.serverRead(16), frame(mtLogin, 1, 0, {}));
}
