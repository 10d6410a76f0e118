#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QSet>

#include <atomic>
#include <memory>
#include <optional>

class QTimer;
class QUdpSocket;

namespace ClassroomVoice {

// Counters of what the relays did, readable from any thread.
struct RelayCounters {
    std::atomic<quint64> toEngine{0}; // packets passed to the engine
    std::atomic<quint64> toServer{0}; // datagrams passed to the server
    std::atomic<quint64> refused{0}; // datagrams from a sender not allowed (not the engine)
    std::atomic<quint64> dropped{0}; // too short, cut short, closed microphone
};

// The three relay sockets, living on the relays' own thread. Every member
// runs on that thread (the owner calls them through queued or blocking
// invocations); only the counters and the microphone gate are touched from
// elsewhere.
//
//   server  <-> remote (any address, ephemeral port; reads only the server)
//   remote   -> local (127.0.0.1, ephemeral) -> engine at 127.0.0.1:listenPort
//   engine  -> speak (127.0.0.1:speakPort)   -> remote -> server
//
// Nothing reaches the server from the local relays unless the microphone
// gate is open, and then only from the engine's own socket: the engine runs
// inside this program, so the sender's port must belong to a socket of this
// process (and to no other program's). Any other program on the machine is
// refused, gate or no gate.
class RelayWorker : public QObject
{
    Q_OBJECT
public:
    struct Ports {
        quint16 listen = 0;
        quint16 speak = 0;
    };

    explicit RelayWorker(int keepAliveMs, QObject *parent = nullptr);
    ~RelayWorker() override;

    // Binds the two local relays (closing earlier ones) and picks the port
    // the engine will listen on.
    Ports setupLocal();
    // Points the server relay at the classroom's relay and registers with
    // it: the registration goes out `repeats` times now and again at every
    // keep-alive.
    void pointAtServer(
        const QHostAddress &server, quint16 port, const QByteArray &registration, int repeats);
    void stopServer();
    // Closes everything; called before the thread ends.
    void shutdown();

    quint16 serverRelayPort() const;

    // The engine's microphone datagrams reach the server only while open.
    std::atomic<bool> speakOpen{false};
    RelayCounters counters;

private:
    void readServer();
    void readSpeak();
    void readLocal();
    void forwardToServer(QUdpSocket &from);
    // Whether a datagram from 127.0.0.1:port comes from the engine.
    bool fromEngine(quint16 port);
    void keepAlive();
    // The datagram that raised the arrival signal into m_datagram: its
    // size, or -1 when the read failed.
    qint64 readOne(QUdpSocket &socket, QHostAddress &from, quint16 &fromPort);

    std::unique_ptr<QUdpSocket> m_remote;
    std::unique_ptr<QUdpSocket> m_local;
    std::unique_ptr<QUdpSocket> m_speak;
    QTimer *m_keepAlive = nullptr;
    const int m_keepAliveMs;
    QHostAddress m_server;
    quint16 m_serverPort = 0;
    QByteArray m_registration;
    quint16 m_listenPort = 0;
    QByteArray m_datagram; // reused for every read

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
