#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include <atomic>
#include <memory>

class QTimer;
class QUdpSocket;

namespace ClassroomVoice {

// Counters of what the relays did, readable from any thread.
struct RelayCounters {
    std::atomic<quint64> toEngine{0}; // packets passed to the engine
    std::atomic<quint64> toServer{0}; // datagrams passed to the server
    std::atomic<quint64> refused{0}; // datagrams from a sender not allowed
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
    void forwardToServer(QUdpSocket &from, bool gated);
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
};

} // namespace ClassroomVoice
