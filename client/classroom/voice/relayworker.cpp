#include "client/classroom/voice/relayworker.h"

#include "common/errorlog.h"
#include "voice/wire/voicewire.h"

#include <QFile>
#include <QSet>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <iterator>

#include <dirent.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace ClassroomVoice {

namespace {

const QString TraceModule = u"User Form"_s;

// A datagram of a header or less carries no voice: every party drops it.
constexpr qint64 MinimumDatagram = VoiceWire::HeaderSize + 1;
constexpr qsizetype MaxDatagram = 65536;

constexpr qint64 EngineRecheckMs = 250;
constexpr qint64 RefusedRecheckMs = 1000;
constexpr int MaxLookupsPerSecond = 40;

// The socket inodes in one of /proc/net/udp{,6} that could send from
// 127.0.0.1:port (bound to it, to the wildcard address, or to its IPv6
// form); false when the table cannot be read.
bool socketsOnPort(const QString &table, quint16 port, QSet<quint64> &inodes)
{
    // Addresses as the tables write them: 32-bit words in host order.
    static const QByteArray senders[] = {"0100007F", "00000000", "00000000000000000000000000000000",
        "0000000000000000FFFF00000100007F"};
    QFile file(table);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        // sl local_address rem_address st tx:rx tr:when retrnsmt uid timeout inode
        if (fields.size() < 10 || !fields[1].endsWith(wanted))
            continue;
        const QByteArray address = fields[1].chopped(wanted.size());
        if (std::find(std::begin(senders), std::end(senders), address) == std::end(senders))
            continue;
        bool ok = false;
        const quint64 inode = fields[9].toULongLong(&ok);
        if (ok && inode != 0)
            inodes.insert(inode);
    }
    return true;
}

} // namespace

std::optional<QSet<quint64>> UdpSocketsOnPort(quint16 port)
{
    QSet<quint64> onPort;
    const bool v4 = socketsOnPort(u"/proc/net/udp"_s, port, onPort);
    const bool v6 = socketsOnPort(u"/proc/net/udp6"_s, port, onPort);
    if (!v4 && !v6)
        return std::nullopt;
    return onPort;
}

std::optional<bool> OwnedByThisProcess(quint16 port)
{
    const std::optional<QSet<quint64>> sockets = UdpSocketsOnPort(port);
    if (!sockets)
        return std::nullopt;
    return OwnedByThisProcess(*sockets);
}

std::optional<bool> OwnedByThisProcess(const QSet<quint64> &onPort)
{
    if (onPort.isEmpty())
        return false;
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return std::nullopt;
    QSet<quint64> ours;
    while (const dirent *entry = readdir(dir)) {
        char path[300];
        char target[64];
        std::snprintf(path, sizeof path, "/proc/self/fd/%s", entry->d_name);
        const ssize_t n = readlink(path, target, sizeof target - 1);
        if (n <= 0)
            continue;
        target[n] = 0;
        unsigned long long inode = 0;
        if (std::sscanf(target, "socket:[%llu]", &inode) == 1 && onPort.contains(inode))
            ours.insert(inode);
    }
    closedir(dir);
    // A socket of another program sharing the port could speak as the
    // engine: then none is taken.
    return ours.size() == onPort.size();
}

namespace {

bool isLocalHost(const QHostAddress &address)
{
    return address.isEqual(QHostAddress::LocalHost, QHostAddress::ConvertV4MappedToIPv4);
}

std::unique_ptr<QUdpSocket> boundSocket(const QHostAddress &address, quint16 port = 0)
{
    auto socket = std::make_unique<QUdpSocket>();
    if (!socket->bind(address, port)) {
        Global::WriteErrorLog(TraceModule, u"UDPProxy bind"_s, socket->errorString(), __LINE__);
        return nullptr;
    }
    return socket;
}

} // namespace

RelayWorker::RelayWorker(int keepAliveMs, QObject *parent)
    : QObject(parent)
    , m_keepAliveMs(keepAliveMs)
{
    m_clock.start();
}

RelayWorker::~RelayWorker() = default;

RelayWorker::Ports RelayWorker::setupLocal()
{
    m_local.reset();
    m_speak.reset();
    // The engine's listening port is only borrowed here: the engine binds
    // it itself when it starts listening.
    {
        QUdpSocket borrow;
        if (borrow.bind(QHostAddress::LocalHost, 0))
            m_listenPort = borrow.localPort();
    }
    // Both local relays are bound to the loopback address, so only this
    // machine reaches them; their readers also check the sender.
    m_local = boundSocket(QHostAddress::LocalHost);
    m_speak = boundSocket(QHostAddress::LocalHost);
    if (m_local)
        connect(m_local.get(), &QUdpSocket::readyRead, this, &RelayWorker::readLocal);
    if (m_speak)
        connect(m_speak.get(), &QUdpSocket::readyRead, this, &RelayWorker::readSpeak);
    return {m_listenPort, m_speak ? m_speak->localPort() : quint16(0)};
}

void RelayWorker::pointAtServer(
    const QHostAddress &server, quint16 port, const QByteArray &registration, int repeats)
{
    stopServer();
    m_server = server;
    m_serverPort = port;
    m_registration = registration;
    m_remote = boundSocket(server.protocol() == QAbstractSocket::IPv6Protocol
            ? QHostAddress(QHostAddress::AnyIPv6)
            : QHostAddress(QHostAddress::AnyIPv4));
    if (!m_remote)
        return;
    connect(m_remote.get(), &QUdpSocket::readyRead, this, &RelayWorker::readServer);
    for (int i = 0; i < repeats; ++i)
        m_remote->writeDatagram(m_registration, m_server, m_serverPort);
    if (!m_keepAlive) {
        m_keepAlive = new QTimer(this);
        connect(m_keepAlive, &QTimer::timeout, this, &RelayWorker::keepAlive);
    }
    m_keepAlive->start(m_keepAliveMs);
}

void RelayWorker::stopServer()
{
    if (m_keepAlive)
        m_keepAlive->stop();
    m_remote.reset();
    m_serverPort = 0;
}

void RelayWorker::shutdown()
{
    stopServer();
    delete m_keepAlive;
    m_keepAlive = nullptr;
    m_local.reset();
    m_speak.reset();
}

quint16 RelayWorker::serverRelayPort() const
{
    return m_remote ? m_remote->localPort() : 0;
}

void RelayWorker::keepAlive()
{
    if (!m_remote)
        return;
    Global::WriteErrorLog(TraceModule,
        u"Timer1_Timer,UDPProxyRemote.RemotePort="_s + QString::number(m_serverPort), {}, __LINE__);
    m_remote->writeDatagram(m_registration, m_server, m_serverPort);
}

qint64 RelayWorker::readOne(QUdpSocket &socket, QHostAddress &from, quint16 &fromPort)
{
    // One datagram per arrival signal, without asking first whether one is
    // there: the signal says so, and reading re-arms it for the next one.
    // Two system calls a packet (read, send), as a bare forwarding loop.
    if (m_datagram.isEmpty())
        m_datagram.resize(MaxDatagram);
    // A datagram longer than the buffer cannot come over IPv4; were one to,
    // its tail would be cut and the split would drop the last packet.
    return socket.readDatagram(m_datagram.data(), m_datagram.size(), &from, &fromPort);
}

void RelayWorker::readServer()
{
    QHostAddress from;
    quint16 fromPort = 0;
    qint64 size = 0;
    if (m_remote && (size = readOne(*m_remote, from, fromPort)) >= 0) {
        const QByteArrayView datagram(m_datagram.constData(), size);
        if (fromPort != m_serverPort
            || !from.isEqual(m_server, QHostAddress::ConvertV4MappedToIPv4)) {
            counters.refused.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        if (datagram.size() < MinimumDatagram || !m_local) {
            counters.dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        const VoiceWire::Split split = VoiceWire::splitDatagram(datagram);
        for (const QByteArrayView packet : split.packets) {
            m_local->writeDatagram(
                packet.data(), packet.size(), QHostAddress(QHostAddress::LocalHost), m_listenPort);
            counters.toEngine.fetch_add(1, std::memory_order_relaxed);
        }
        switch (split.reason) {
        case VoiceWire::Dropped::Nothing:
        case VoiceWire::Dropped::EmptyPacket: break;
        case VoiceWire::Dropped::CutShort:
            // The last packet ends outside the datagram: dropped, not
            // completed with zeros that the engine would play as noise.
            counters.dropped.fetch_add(1, std::memory_order_relaxed);
            Global::WriteErrorLog(
                TraceModule, u"UDPProxyRemote_DataArrival, Exit For"_s, {}, __LINE__);
            break;
        case VoiceWire::Dropped::LengthOverLimit:
            counters.dropped.fetch_add(1, std::memory_order_relaxed);
            Global::WriteErrorLog(TraceModule, u"UDPProxyRemote_DataArrival"_s,
                u"length field out of range, "_s + QString::number(split.droppedBytes)
                    + u" bytes dropped"_s,
                __LINE__);
            break;
        }
    }
}

void RelayWorker::readSpeak()
{
    if (m_speak)
        forwardToServer(*m_speak);
}

void RelayWorker::readLocal()
{
    // The engine only listens on the far side of this relay; whatever comes
    // back passes the same gate and the same sender check as the microphone.
    if (m_local)
        forwardToServer(*m_local);
}

bool RelayWorker::fromEngine(quint16 port)
{
    const qint64 now = m_clock.elapsed();
    if (port == m_enginePort && now - m_engineCheckedAt < EngineRecheckMs)
        return true;
    if (port == m_refusedPort && now - m_refusedAt < RefusedRecheckMs)
        return false;
    if (now - m_lookupWindow >= 1000) {
        m_lookupWindow = now;
        m_lookups = 0;
    }
    if (++m_lookups > MaxLookupsPerSecond)
        return false;
    const std::optional<QSet<quint64>> sockets = UdpSocketsOnPort(port);
    std::optional<bool> owned;
    if (sockets && port == m_enginePort && !sockets->isEmpty() && *sockets == m_engineSockets) {
        // The very sockets found to be ours at the last check: the engine's
        // still (socket inodes are not handed out twice), without going
        // through every descriptor of the process again four times a
        // second while the student speaks.
        owned = true;
    } else if (sockets) {
        owned = OwnedByThisProcess(*sockets);
    }
    if (!owned)
        owned = m_enginePort == 0 || port == m_enginePort;
    if (*owned) {
        m_enginePort = port;
        m_engineSockets = sockets.value_or(QSet<quint64>());
        m_engineCheckedAt = now;
        return true;
    }
    m_refusedPort = port;
    m_refusedAt = now;
    return false;
}

void RelayWorker::forwardToServer(QUdpSocket &socket)
{
    QHostAddress from;
    quint16 fromPort = 0;
    qint64 size = 0;
    if ((size = readOne(socket, from, fromPort)) >= 0) {
        if (!isLocalHost(from)) {
            counters.refused.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        const bool open = speakOpen.load(std::memory_order_relaxed);
        if (open != m_gateWasOpen) {
            m_gateWasOpen = open;
            if (open) {
                m_enginePort = 0; // a new microphone socket may speak now
                m_engineSockets.clear();
            }
        }
        if (size < MinimumDatagram || !m_remote || !open) {
            counters.dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        if (!fromEngine(fromPort)) {
            counters.refused.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        // A failed send loses the datagram, as UDP would.
        m_remote->writeDatagram(m_datagram.constData(), size, m_server, m_serverPort);
        counters.toServer.fetch_add(1, std::memory_order_relaxed);
    }
}

} // namespace ClassroomVoice
