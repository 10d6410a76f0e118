// The relays against plain sockets standing in for the classroom's relay
// and for the engine.
#include "client/classroom/voice/voicerelays.h"
#include "common/errorlog.h"
#include "common/testsupport/testhome.h"
#include "protocol/clsremotesync.h"
#include "voice/wire/voicewire.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray packet(quint16 length, char fill)
{
    QByteArray bytes(8 + length, fill);
    bytes[0] = 'h';
    VoiceWire::setPayloadLength(bytes.data(), length);
    return bytes;
}

// What a socket received, in order, within `ms` (stops early at `count`).
QList<QNetworkDatagram> receive(QUdpSocket &socket, int count, int ms = 1000)
{
    QList<QNetworkDatagram> got;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            while (socket.hasPendingDatagrams())
                got << socket.receiveDatagram();
            return got.size() >= count;
        },
        ms));
    return got;
}

// The same, leaving out the relays' registrations (sent again at every
// keep-alive).
QList<QNetworkDatagram> receiveVoice(QUdpSocket &socket, int count, int ms = 1000)
{
    QList<QNetworkDatagram> got;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram d = socket.receiveDatagram();
                if (!VoiceWire::isRegistration(d.data()))
                    got << d;
            }
            return got.size() >= count;
        },
        ms));
    return got;
}

// Another program on this machine: `count` datagrams to 127.0.0.1:port
// from a process of its own.
// From an ephemeral port, or from `fromPort` on 127.0.0.1.
void sendFromAnotherProgram(
    quint16 port, const QByteArray &datagram, int count, quint16 fromPort = 0)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls here: the parent's threads are not in the child.
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        if (fromPort != 0) {
            sockaddr_in from{};
            from.sin_family = AF_INET;
            from.sin_port = htons(fromPort);
            from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (bind(fd, reinterpret_cast<const sockaddr *>(&from), sizeof from) != 0)
                _exit(1);
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; i < count; ++i) {
            sendto(fd, datagram.constData(), size_t(datagram.size()), 0,
                reinterpret_cast<const sockaddr *>(&to), sizeof to);
            if (i % 50 == 49)
                usleep(2000); // within the relay socket's receive buffer
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

class Relays : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.bind(QHostAddress::LocalHost, 0));
        remote.setRemoteIP(u"127.0.0.1"_s);
        remote.setRemotePort(QString::number(server.localPort()));
        relays = std::make_unique<ClassroomVoice::VoiceRelays>(
            ClassroomVoice::VoiceRelays::Deps{remote}, ClassroomVoice::VoiceRelays::Limits{200, 6});
        // A 20-byte key: only its first 16 bytes fit the registration.
        relays->onClientKey("0123456789abcdefWXYZ", 20);
        ASSERT_TRUE(relays->bUDPDistributed());
        ASSERT_NE(relays->LocalListenPort(), 0);
        ASSERT_NE(relays->LocalSpeakPort(), 0);
        ASSERT_TRUE(engine.bind(QHostAddress::LocalHost, relays->LocalListenPort()));
        const QList<QNetworkDatagram> registrations = receive(server, 6);
        ASSERT_EQ(registrations.size(), 6);
        for (const QNetworkDatagram &d : registrations)
            EXPECT_EQ(d.data(), "key=0123456789abcdef"_ba);
        relayAddress = registrations.first().senderAddress();
        relayPort = quint16(registrations.first().senderPort());
    }

    void fromServer(const QByteArray &datagram)
    {
        server.writeDatagram(datagram, relayAddress, relayPort);
    }

    static QString errorLog()
    {
        Global::FlushErrorLog();
        QFile file(Global::ErrorLogPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    TestHome home;
    clsRemoteSync remote;
    QUdpSocket server;
    QUdpSocket engine;
    std::unique_ptr<ClassroomVoice::VoiceRelays> relays;
    QHostAddress relayAddress;
    quint16 relayPort = 0;
};

TEST_F(Relays, ServerDatagramsAreSplitIntoWholePacketsForTheEngine)
{
    // Two packets (20 and 30 bytes of payload) in one datagram of 70.
    fromServer(packet(20, 'a') + packet(30, 'b'));
    // A header alone carries nothing; one byte of payload does.
    fromServer(packet(0, 'z'));
    fromServer(packet(1, 'c'));
    // The last packet claims more than the datagram holds: the whole one
    // before it goes on, the cut one does not.
    fromServer(packet(4, 'd') + packet(40, 'e').left(20));
    // A length of 0x8000 or more: nothing after it can be found again.
    QByteArray huge = packet(2, 'f') + packet(0, 'g') + packet(3, 'h');
    VoiceWire::setPayloadLength(huge.data() + 10, 0x8000);
    fromServer(huge);

    const QList<QNetworkDatagram> got = receive(engine, 6);
    QList<QByteArray> sizes;
    for (const QNetworkDatagram &d : got) {
        EXPECT_TRUE(d.senderAddress().isEqual(QHostAddress::LocalHost));
        sizes << QByteArray::number(d.data().size()) + d.data().at(8);
    }
    EXPECT_EQ(sizes, (QList<QByteArray>{"28a", "38b", "9c", "12d", "10f"}));
    EXPECT_EQ(got.value(1).data(), packet(30, 'b'));
    EXPECT_EQ(relays->packetsToEngine(), 5u);
    EXPECT_TRUE(errorLog().contains(u"UDPProxyRemote_DataArrival, Exit For"_s));
}

TEST_F(Relays, OnlyTheClassroomServerAndThisMachineAreHeard)
{
    // A stranger at another address and port writes to the server relay.
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress(u"127.0.0.2"_s), 0));
    stranger.writeDatagram(packet(10, 's'), relayAddress, relayPort);
    QUdpSocket samePlaceOtherPort;
    ASSERT_TRUE(samePlaceOtherPort.bind(QHostAddress::LocalHost, 0));
    samePlaceOtherPort.writeDatagram(packet(10, 's'), relayAddress, relayPort);
    EXPECT_TRUE(QTest::qWaitFor([&] { return relays->datagramsRefused() >= 2; }, 1000));
    // ... and to the speak relay, from a loopback address other than
    // 127.0.0.1 while the floor is open.
    relays->setSpeakOpen(true);
    stranger.writeDatagram(packet(10, 's'), QHostAddress::LocalHost, relays->LocalSpeakPort());
    EXPECT_TRUE(QTest::qWaitFor([&] { return relays->datagramsRefused() >= 3; }, 1000));
    fromServer(packet(3, 'k'));
    const QList<QNetworkDatagram> got = receive(engine, 1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got.first().data(), packet(3, 'k'));
    EXPECT_TRUE(receiveVoice(server, 1, 200).isEmpty());
}

TEST_F(Relays, TheMicrophoneReachesTheServerOnlyWhileTheFloorIsOpen)
{
    QUdpSocket microphone;
    ASSERT_TRUE(microphone.bind(QHostAddress::LocalHost, 0));
    const auto speak = [&](const QByteArray &bytes) {
        microphone.writeDatagram(bytes, QHostAddress::LocalHost, relays->LocalSpeakPort());
    };
    speak(packet(5, 'x')); // floor closed
    EXPECT_TRUE(receiveVoice(server, 1, 300).isEmpty());

    relays->setSpeakOpen(true);
    speak(packet(0, 'y')); // 8 bytes: dropped
    speak(packet(1, 'm')); // 9 bytes: passed unchanged
    QList<QNetworkDatagram> got = receiveVoice(server, 1);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got.first().data(), packet(1, 'm'));

    relays->setSpeakOpen(false);
    speak(packet(5, 'x'));
    EXPECT_TRUE(receiveVoice(server, 1, 300).isEmpty());
    EXPECT_EQ(relays->datagramsToServer(), 1u);
}

TEST_F(Relays, OnlyTheEnginesOwnSocketReachesTheServerAndOnlyWhileTheFloorIsOpen)
{
    // The local relay's port: where the engine's packets come from.
    fromServer(packet(3, 'k'));
    const QList<QNetworkDatagram> toEngine = receive(engine, 1);
    ASSERT_EQ(toEngine.size(), 1);
    const quint16 localRelay = quint16(toEngine.first().senderPort());
    const quint16 speakRelay = relays->LocalSpeakPort();

    QUdpSocket microphone; // the engine's socket: this process, kept open
    const auto speak = [&](int count, char fill) {
        for (int i = 0; i < count; ++i)
            microphone.writeDatagram(packet(20, fill), QHostAddress::LocalHost, speakRelay);
    };
    const auto refusedAtLeast = [&](quint64 count) {
        return QTest::qWaitFor([&] { return relays->datagramsRefused() >= count; }, 3000);
    };

    // Floor closed: neither the engine nor another program is heard.
    speak(5, 'c');
    sendFromAnotherProgram(localRelay, packet(20, 'x'), 200);
    sendFromAnotherProgram(speakRelay, packet(20, 'x'), 200);
    EXPECT_TRUE(receiveVoice(server, 1, 300).isEmpty());

    // Floor open: another program is refused on both local relays, the
    // engine passes.
    relays->setSpeakOpen(true);
    const quint64 refusedBefore = relays->datagramsRefused();
    sendFromAnotherProgram(localRelay, packet(20, 'y'), 200);
    sendFromAnotherProgram(speakRelay, packet(20, 'y'), 200);
    EXPECT_TRUE(refusedAtLeast(refusedBefore + 300)); // a few may be lost on the way
    speak(5, 'o');
    QList<QNetworkDatagram> got = receiveVoice(server, 5);
    // Strangers' datagrams still queued would show up here.
    got += receiveVoice(server, 1, 300);
    ASSERT_EQ(got.size(), 5);
    for (const QNetworkDatagram &d : got)
        EXPECT_EQ(d.data(), packet(20, 'o'));

    // The engine's socket goes and another program takes its port while
    // the floor is open: once the relay looks again, that program is
    // refused, however recently the port was found to be the engine's.
    const quint16 enginePort = microphone.localPort();
    microphone.close();
    QTest::qWait(400); // past the relay's look again
    const quint64 refusedBeforeTakeover = relays->datagramsRefused();
    sendFromAnotherProgram(speakRelay, packet(20, 't'), 20, enginePort);
    EXPECT_TRUE(refusedAtLeast(refusedBeforeTakeover + 20));
    EXPECT_TRUE(receiveVoice(server, 1, 300).isEmpty());

    // Floor closed again: the engine is not heard any more.
    relays->setSpeakOpen(false);
    speak(5, 'z');
    EXPECT_TRUE(receiveVoice(server, 1, 300).isEmpty());
    EXPECT_EQ(relays->datagramsToServer(), 5u);
}

TEST_F(Relays, KeepAliveRegistersAgainUntilTheConnectionEnds)
{
    const QList<QNetworkDatagram> again = receive(server, 1, 2000);
    ASSERT_EQ(again.size(), 1);
    EXPECT_EQ(again.first().data(), "key=0123456789abcdef"_ba);
    EXPECT_TRUE(errorLog().contains(
        u"Timer1_Timer,UDPProxyRemote.RemotePort="_s + QString::number(server.localPort())));

    // A late second key answer keeps the engine's ports.
    const quint16 listen = relays->LocalListenPort();
    relays->onClientKey("k", 1);
    EXPECT_EQ(relays->LocalListenPort(), listen);
    receive(server, 6);

    relays->stopServerRelay();
    EXPECT_FALSE(relays->bUDPDistributed());
    EXPECT_EQ(relays->serverRelayPort(), 0);
    EXPECT_TRUE(receive(server, 1, 500).isEmpty());
    fromServer(packet(3, 'k'));
    EXPECT_TRUE(receive(engine, 1, 300).isEmpty());
}

} // namespace

TEST_F(Relays, VoicePassesWhileTheOwnersThreadNeverReturnsToItsEventLoop)
{
    // From here on this thread only blocks in system calls, as a window
    // stuck in a long handler would.
    relays->setSpeakOpen(true);
    QUdpSocket microphone;
    ASSERT_TRUE(microphone.bind(QHostAddress::LocalHost, 0));
    // The server's next datagram that is not a registration (keep-alives
    // come every 200 ms here).
    const auto voiceBlocking = [&](int ms) {
        QDeadlineTimer deadline(ms);
        while (server.waitForReadyRead(int(deadline.remainingTime()))) {
            const QByteArray d = server.receiveDatagram().data();
            if (!VoiceWire::isRegistration(d))
                return d;
        }
        return QByteArray();
    };
    const auto roundTrip = [&](char fill) {
        fromServer(packet(6, fill) + packet(2, fill));
        microphone.writeDatagram(
            packet(4, fill), QHostAddress::LocalHost, relays->LocalSpeakPort());
        QByteArray toEngine;
        for (int i = 0; i < 2 && engine.waitForReadyRead(1000); ++i)
            toEngine += engine.receiveDatagram().data();
        EXPECT_EQ(toEngine, packet(6, fill) + packet(2, fill));
        EXPECT_EQ(voiceBlocking(1000), packet(4, fill));
    };
    roundTrip('a');

    // A reconnect: new local relays at once, a new server relay once the
    // key answer comes; the old ones are closed.
    const quint16 oldSpeak = relays->LocalSpeakPort();
    relays->stopServerRelay();
    EXPECT_EQ(relays->serverRelayPort(), 0);
    relays->onClientKey("0123456789abcdef", 16);
    relays->setSpeakOpen(true);
    EXPECT_NE(relays->LocalSpeakPort(), oldSpeak);
    engine.close();
    ASSERT_TRUE(engine.bind(QHostAddress::LocalHost, relays->LocalListenPort()));
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(server.waitForReadyRead(1000));
        const QNetworkDatagram registration = server.receiveDatagram();
        EXPECT_EQ(registration.senderPort(), relays->serverRelayPort());
        relayPort = quint16(registration.senderPort());
    }
    roundTrip('b');
    microphone.writeDatagram(packet(4, 'o'), QHostAddress::LocalHost, oldSpeak);
    EXPECT_TRUE(voiceBlocking(300).isEmpty());
}

TEST_F(Relays, GoingAwayInTheMiddleOfAFloodClosesEverySocket)
{
    relays->setSpeakOpen(true);
    const quint16 speak = relays->LocalSpeakPort();
    const quint16 serverRelay = relays->serverRelayPort();
    QUdpSocket microphone;
    ASSERT_TRUE(microphone.bind(QHostAddress::LocalHost, 0));
    for (int i = 0; i < 300; ++i) {
        fromServer(packet(40, 'f'));
        microphone.writeDatagram(packet(40, 'm'), QHostAddress::LocalHost, speak);
    }
    // Commands still waiting when the relays go: their sockets close too.
    relays->stopServerRelay();
    relays->SetupLocalRelays();
    const quint16 pendingSpeak = relays->LocalSpeakPort();
    relays.reset();

    for (const quint16 port : {speak, serverRelay, pendingSpeak}) {
        QUdpSocket again;
        EXPECT_TRUE(again.bind(port == serverRelay ? QHostAddress(QHostAddress::AnyIPv4)
                                                   : QHostAddress(QHostAddress::LocalHost),
            port))
            << port;
    }
}
