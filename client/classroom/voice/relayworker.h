#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QSet>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>

namespace ClassroomVoice {

// Counters of what the relays did, readable from any thread.
struct RelayCounters {
    std::atomic<quint64> toEngine{0}; // packets passed to the engine
    std::atomic<quint64> toServer{0}; // datagrams passed to the server
    std::atomic<quint64> refused{0}; // datagrams from a sender not allowed (not the engine)
    std::atomic<quint64> dropped{0}; // too short, cut short, closed microphone
};

// A non-blocking UDP socket's descriptor, closed with the object.
class RelaySocket
{
public:
    RelaySocket() = default;
    explicit RelaySocket(int fd)
        : m_fd(fd)
    { }
    RelaySocket(RelaySocket &&other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    { }
    RelaySocket &operator=(RelaySocket &&other) noexcept;
    RelaySocket(const RelaySocket &) = delete;
    RelaySocket &operator=(const RelaySocket &) = delete;
    ~RelaySocket();

    int fd() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    quint16 localPort() const;

private:
    int m_fd = -1;
};

// The three relay sockets and the thread that serves them. The thread
// waits in poll() on the sockets and on a wake-up descriptor, and passes
// each datagram on with one receive and one send: no event loop between
// an arrival and its forwarding, so nothing the user-interface thread does
// can delay a packet.
//
//   server  <-> remote (any address, ephemeral port; reads only the server)
//   remote   -> local (127.0.0.1, ephemeral) -> engine at 127.0.0.1:listenPort
//   engine  -> speak (127.0.0.1:speakPort)   -> remote -> server
//
// The public members are called from the owner's thread. Sockets are bound
// there, so the ports are known at once, and handed to the relay thread as
// commands; the thread alone reads, sends and closes them. Only the
// counters and the microphone gate are shared without a command.
//
// Nothing reaches the server from the local relays unless the microphone
// gate is open, and then only from the engine's own socket: the engine runs
// inside this program, so the sender's port must belong to a socket of this
// process (and to no other program's). Any other program on the machine is
// refused, gate or no gate.
class RelayWorker
{
public:
    struct Ports {
        quint16 listen = 0;
        quint16 speak = 0;
    };

    // Starts the relay thread, with no socket yet.
    explicit RelayWorker(int keepAliveMs);
    // Stops the thread (shutdown()).
    ~RelayWorker();

    // Binds the two local relays (closing earlier ones) and picks the port
    // the engine will listen on.
    Ports setupLocal();
    // Points the server relay at the classroom's relay and registers with
    // it: the registration goes out `repeats` times now and again at every
    // keep-alive.
    void pointAtServer(
        const QHostAddress &server, quint16 port, const QByteArray &registration, int repeats);
    void stopServer();
    // Ends the relay thread and closes every socket. Returns as soon as the
    // thread has finished the datagram in hand; later calls do nothing.
    void shutdown();

    quint16 serverRelayPort() const { return m_serverRelayPort.load(std::memory_order_relaxed); }
    // CPU time the relay thread has used so far, in nanoseconds.
    qint64 threadCpuNs();

    // The engine's microphone datagrams reach the server only while open.
    std::atomic<bool> speakOpen{false};
    RelayCounters counters;

private:
    // Runs `command` on the relay thread, after the commands posted before.
    void post(std::function<void()> command);
    void run();
    // False once the thread is to end.
    bool runCommands();
    void readServer();
    void forwardToServer(const RelaySocket &socket);
    // Whether a datagram from 127.0.0.1:port comes from the engine.
    bool fromEngine(quint16 port);
    void keepAlive();
    void sendToServer(const char *data, size_t size);

    // Shared between the owner and the relay thread.
    std::mutex m_commandsLock;
    std::vector<std::function<void()>> m_commands; // under m_commandsLock
    bool m_stopping = false; // under m_commandsLock
    int m_wake = -1; // eventfd: commands are waiting
    std::atomic<quint16> m_serverRelayPort{0};
    const int m_keepAliveMs;

    // The relay thread's own.
    RelaySocket m_remote;
    RelaySocket m_local;
    RelaySocket m_speak;
    sockaddr_storage m_server{};
    socklen_t m_serverLength = 0;
    in6_addr m_serverKey{}; // the server's address as IPv6, IPv4 mapped
    quint16 m_serverPort = 0;
    QByteArray m_registration;
    sockaddr_in m_engine{}; // 127.0.0.1:listenPort
    qint64 m_keepAliveDue = -1; // on m_clock; -1 while no keep-alive runs
    std::vector<char> m_datagram; // reused for every read

    // The engine's port, checked again every EngineRecheckMs; a refused
    // port is not looked up again for a second, and at most
    // MaxLookupsPerSecond look-ups are made, so a flood of strangers costs
    // the relay thread next to nothing.
    QElapsedTimer m_clock;
    quint16 m_enginePort = 0;
    QSet<quint64> m_engineSockets; // on m_enginePort, all ours at the last check
    qint64 m_engineCheckedAt = 0;
    quint16 m_refusedPort = 0;
    qint64 m_refusedAt = 0;
    qint64 m_lookupWindow = 0;
    int m_lookups = 0;
    // Where the system cannot tell which process owns a port: the first
    // sender after the gate opened is taken for the engine.
    bool m_gateWasOpen = false;

    std::thread m_thread; // started once every member above exists
};

// Whether every UDP socket bound to `port` belongs to this process (and at
// least one does). Empty when the system does not tell.
std::optional<bool> OwnedByThisProcess(quint16 port);
// The same for sockets by their inodes, as UdpSocketsOnPort() lists them.
std::optional<bool> OwnedByThisProcess(const QSet<quint64> &sockets);
// The inodes of the UDP sockets that could send from 127.0.0.1:port; empty
// when the system does not tell.
std::optional<QSet<quint64>> UdpSocketsOnPort(quint16 port);

} // namespace ClassroomVoice
