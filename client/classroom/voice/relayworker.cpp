#include "client/classroom/voice/relayworker.h"

#include "common/errorlog.h"
#include "voice/wire/voicewire.h"

#include <QFile>
#include <QNetworkInterface>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace ClassroomVoice {

namespace {

const QString TraceModule = u"User Form"_s;

// A datagram of a header or less carries no voice: every party drops it.
constexpr qint64 MinimumDatagram = VoiceWire::HeaderSize + 1;
constexpr size_t MaxDatagram = 65536;

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

// Bound to 127.0.0.1 or to the wildcard address of `family`, on an
// ephemeral port; empty (and logged) when the system refuses.
RelaySocket boundSocket(int family, bool loopback)
{
    RelaySocket socket(::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    int result = -1;
    if (socket && family == AF_INET6) {
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = loopback ? in6addr_loopback : in6addr_any;
        result = ::bind(socket.fd(), reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } else if (socket) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(loopback ? INADDR_LOOPBACK : INADDR_ANY);
        result = ::bind(socket.fd(), reinterpret_cast<const sockaddr *>(&address), sizeof address);
    }
    if (result != 0) {
        Global::WriteErrorLog(TraceModule, u"UDPProxy bind"_s, qt_error_string(errno), __LINE__);
        return {};
    }
    return socket;
}

// An address as IPv6, IPv4 mapped: the server's replies compare with it
// whichever family the socket reports them in.
in6_addr mappedAddress(const sockaddr_storage &address)
{
    in6_addr mapped{};
    if (address.ss_family == AF_INET6) {
        mapped = reinterpret_cast<const sockaddr_in6 &>(address).sin6_addr;
    } else if (address.ss_family == AF_INET) {
        mapped.s6_addr[10] = 0xff;
        mapped.s6_addr[11] = 0xff;
        std::memcpy(
            &mapped.s6_addr[12], &reinterpret_cast<const sockaddr_in &>(address).sin_addr, 4);
    }
    return mapped;
}

quint16 portOf(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
    return 0;
}

socklen_t toSockaddr(const QHostAddress &host, quint16 port, sockaddr_storage &address)
{
    address = {};
    if (host.protocol() == QAbstractSocket::IPv6Protocol) {
        auto &v6 = reinterpret_cast<sockaddr_in6 &>(address);
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        const Q_IPV6ADDR bytes = host.toIPv6Address();
        std::memcpy(&v6.sin6_addr, bytes.c, sizeof bytes.c);
        if (!host.scopeId().isEmpty())
            v6.sin6_scope_id = uint32_t(QNetworkInterface::interfaceIndexFromName(host.scopeId()));
        return sizeof v6;
    }
    auto &v4 = reinterpret_cast<sockaddr_in &>(address);
    v4.sin_family = AF_INET;
    v4.sin_port = htons(port);
    v4.sin_addr.s_addr = htonl(host.toIPv4Address());
    return sizeof v4;
}

} // namespace

RelaySocket &RelaySocket::operator=(RelaySocket &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

RelaySocket::~RelaySocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

quint16 RelaySocket::localPort() const
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return 0;
    return portOf(address);
}

RelayWorker::RelayWorker(int keepAliveMs)
    : m_wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    , m_keepAliveMs(keepAliveMs)
    , m_datagram(MaxDatagram)
{
    m_engine.sin_family = AF_INET;
    m_engine.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    m_clock.start();
    if (m_wake < 0) {
        // Without a way to reach the thread there would be no way to stop
        // it: no relays, and class goes on without voice.
        Global::WriteErrorLog(TraceModule, u"UDPProxy thread"_s, qt_error_string(errno), __LINE__);
        m_stopping = true;
        return;
    }
    m_thread = std::thread([this] { run(); });
}

RelayWorker::~RelayWorker()
{
    shutdown();
    if (m_wake >= 0)
        ::close(m_wake);
}

void RelayWorker::post(std::function<void()> command)
{
    {
        std::lock_guard lock(m_commandsLock);
        if (m_stopping)
            return; // the relays are gone for good; the command's sockets close with it
        m_commands.push_back(std::move(command));
    }
    const quint64 one = 1;
    // Fails only when the counter is full, and then the thread wakes anyway.
    static_cast<void>(::write(m_wake, &one, sizeof one));
}

bool RelayWorker::runCommands()
{
    quint64 count = 0;
    static_cast<void>(::read(m_wake, &count, sizeof count));
    std::vector<std::function<void()>> commands;
    bool stopping = false;
    {
        std::lock_guard lock(m_commandsLock);
        commands.swap(m_commands);
        stopping = m_stopping;
    }
    if (stopping)
        return false;
    for (const std::function<void()> &command : commands)
        command();
    return true;
}

void RelayWorker::shutdown()
{
    {
        std::lock_guard lock(m_commandsLock);
        m_stopping = true;
        m_commands.clear();
    }
    m_serverRelayPort.store(0, std::memory_order_relaxed);
    if (!m_thread.joinable())
        return;
    const quint64 one = 1;
    static_cast<void>(::write(m_wake, &one, sizeof one));
    m_thread.join();
    // The thread is gone: its sockets are this thread's to close.
    m_remote = {};
    m_local = {};
    m_speak = {};
}

qint64 RelayWorker::threadCpuNs()
{
    clockid_t clock{};
    timespec t{};
    if (!m_thread.joinable() || pthread_getcpuclockid(m_thread.native_handle(), &clock) != 0
        || clock_gettime(clock, &t) != 0)
        return 0;
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

RelayWorker::Ports RelayWorker::setupLocal()
{
    Ports ports;
    // The engine's listening port is only borrowed here: the engine binds
    // it itself when it starts listening.
    if (const RelaySocket borrow = boundSocket(AF_INET, true))
        ports.listen = borrow.localPort();
    // Both local relays are bound to the loopback address, so only this
    // machine reaches them; their readers also check the sender. Bound
    // here, they queue what the engine sends before the relay thread takes
    // them over.
    auto local = std::make_shared<RelaySocket>(boundSocket(AF_INET, true));
    auto speak = std::make_shared<RelaySocket>(boundSocket(AF_INET, true));
    ports.speak = speak->localPort();
    post([this, local, speak, listen = ports.listen] {
        m_local = std::move(*local);
        m_speak = std::move(*speak);
        m_engine.sin_port = htons(listen);
    });
    return ports;
}

void RelayWorker::pointAtServer(
    const QHostAddress &server, quint16 port, const QByteArray &registration, int repeats)
{
    const bool v6 = server.protocol() == QAbstractSocket::IPv6Protocol;
    auto remote = std::make_shared<RelaySocket>(boundSocket(v6 ? AF_INET6 : AF_INET, false));
    m_serverRelayPort.store(remote->localPort(), std::memory_order_relaxed);
    sockaddr_storage address{};
    const socklen_t length = toSockaddr(server, port, address);
    post([this, remote, address, length, port, registration, repeats] {
        m_remote = std::move(*remote);
        m_server = address;
        m_serverLength = length;
        m_serverKey = mappedAddress(address);
        m_serverPort = port;
        m_registration = registration;
        m_keepAliveDue = -1;
        if (!m_remote)
            return;
        for (int i = 0; i < repeats; ++i)
            sendToServer(m_registration.constData(), size_t(m_registration.size()));
        m_keepAliveDue = m_clock.elapsed() + m_keepAliveMs;
    });
}

void RelayWorker::stopServer()
{
    m_serverRelayPort.store(0, std::memory_order_relaxed);
    post([this] {
        m_keepAliveDue = -1;
        m_remote = {};
        m_serverPort = 0;
    });
}

void RelayWorker::run()
{
    pthread_setname_np(pthread_self(), "voice relays");
    for (;;) {
        // A socket not set up yet is -1, which poll() passes over.
        pollfd waits[] = {{m_wake, POLLIN, 0}, {m_remote.fd(), POLLIN, 0},
            {m_local.fd(), POLLIN, 0}, {m_speak.fd(), POLLIN, 0}};
        int timeout = -1;
        if (m_keepAliveDue >= 0)
            timeout = int(std::clamp<qint64>(m_keepAliveDue - m_clock.elapsed(), 0, INT_MAX));
        if (::poll(waits, std::size(waits), timeout) < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            Global::WriteErrorLog(
                TraceModule, u"UDPProxy poll"_s, qt_error_string(errno), __LINE__);
            return;
        }
        // An error pending on a socket wakes poll() as well: the read takes
        // it off, or the loop would spin on it.
        if (waits[1].revents != 0)
            readServer();
        // The engine only listens on the far side of the local relay;
        // whatever comes back passes the same gate and the same sender
        // check as the microphone.
        if (waits[2].revents != 0)
            forwardToServer(m_local);
        if (waits[3].revents != 0)
            forwardToServer(m_speak);
        if (m_keepAliveDue >= 0 && m_clock.elapsed() >= m_keepAliveDue)
            keepAlive();
        // Commands last: they may close the sockets polled above.
        if (waits[0].revents != 0 && !runCommands())
            return;
    }
}

void RelayWorker::keepAlive()
{
    // A late tick (a suspended machine) registers once, not once per tick
    // missed.
    m_keepAliveDue = std::max(m_keepAliveDue + m_keepAliveMs, m_clock.elapsed() + 1);
    if (!m_remote)
        return;
    Global::WriteErrorLog(TraceModule,
        u"Timer1_Timer,UDPProxyRemote.RemotePort="_s + QString::number(m_serverPort), {}, __LINE__);
    sendToServer(m_registration.constData(), size_t(m_registration.size()));
}

void RelayWorker::sendToServer(const char *data, size_t size)
{
    // A failed send loses the datagram, as UDP would.
    static_cast<void>(::sendto(m_remote.fd(), data, size, 0,
        reinterpret_cast<const sockaddr *>(&m_server), m_serverLength));
}

void RelayWorker::readServer()
{
    sockaddr_storage from{};
    socklen_t fromLength = sizeof from;
    // A datagram longer than the buffer cannot come over IPv4; were one to,
    // its tail would be cut and the split would drop the last packet.
    const ssize_t size = ::recvfrom(m_remote.fd(), m_datagram.data(), m_datagram.size(), 0,
        reinterpret_cast<sockaddr *>(&from), &fromLength);
    if (size < 0)
        return;
    const in6_addr sender = mappedAddress(from);
    if (portOf(from) != m_serverPort || std::memcmp(&sender, &m_serverKey, sizeof sender) != 0) {
        counters.refused.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const QByteArrayView datagram(m_datagram.data(), size);
    if (datagram.size() < MinimumDatagram || !m_local) {
        counters.dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const VoiceWire::Split split = VoiceWire::splitDatagram(datagram);
    for (const QByteArrayView packet : split.packets) {
        static_cast<void>(::sendto(m_local.fd(), packet.data(), size_t(packet.size()), 0,
            reinterpret_cast<const sockaddr *>(&m_engine), sizeof m_engine));
        counters.toEngine.fetch_add(1, std::memory_order_relaxed);
    }
    switch (split.reason) {
    case VoiceWire::Dropped::Nothing:
    case VoiceWire::Dropped::EmptyPacket: break;
    case VoiceWire::Dropped::CutShort:
        // The last packet ends outside the datagram: dropped, not
        // completed with zeros that the engine would play as noise.
        counters.dropped.fetch_add(1, std::memory_order_relaxed);
        Global::WriteErrorLog(TraceModule, u"UDPProxyRemote_DataArrival, Exit For"_s, {}, __LINE__);
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

void RelayWorker::forwardToServer(const RelaySocket &socket)
{
    sockaddr_storage from{};
    socklen_t fromLength = sizeof from;
    const ssize_t size = ::recvfrom(socket.fd(), m_datagram.data(), m_datagram.size(), 0,
        reinterpret_cast<sockaddr *>(&from), &fromLength);
    if (size < 0)
        return;
    // The local relays are IPv4 sockets on 127.0.0.1; another loopback
    // address (127.0.0.2) is another program's.
    if (from.ss_family != AF_INET
        || reinterpret_cast<const sockaddr_in &>(from).sin_addr.s_addr != htonl(INADDR_LOOPBACK)) {
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
    if (!fromEngine(portOf(from))) {
        counters.refused.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    sendToServer(m_datagram.data(), size_t(size));
    counters.toServer.fetch_add(1, std::memory_order_relaxed);
}

} // namespace ClassroomVoice
