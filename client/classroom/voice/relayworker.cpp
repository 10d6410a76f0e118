#include "client/classroom/voice/relayworker.h"

#include "common/errorlog.h"
#include "voice/wire/voicewire.h"

#include <QTimer>
#include <QUdpSocket>

using namespace Qt::StringLiterals;

namespace ClassroomVoice {

namespace {

const QString TraceModule = u"User Form"_s;

// A datagram of a header or less carries no voice: every party drops it.
constexpr qint64 MinimumDatagram = VoiceWire::HeaderSize + 1;
constexpr qsizetype MaxDatagram = 65536;

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
{ }

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
        forwardToServer(*m_speak, true);
}

void RelayWorker::readLocal()
{
    if (m_local)
        forwardToServer(*m_local, false);
}

void RelayWorker::forwardToServer(QUdpSocket &socket, bool gated)
{
    QHostAddress from;
    quint16 fromPort = 0;
    qint64 size = 0;
    if ((size = readOne(socket, from, fromPort)) >= 0) {
        if (!isLocalHost(from)) {
            counters.refused.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        if (size < MinimumDatagram || !m_remote
            || (gated && !speakOpen.load(std::memory_order_relaxed))) {
            counters.dropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        // A failed send loses the datagram, as UDP would.
        m_remote->writeDatagram(m_datagram.constData(), size, m_server, m_serverPort);
        counters.toServer.fetch_add(1, std::memory_order_relaxed);
    }
}

} // namespace ClassroomVoice
