#pragma once

#include "client/classroom/live/classports.h"

#include <QByteArray>

#include <memory>

class clsRemoteSync;

namespace ClassroomVoice {

class RelayWorker;

// The three voice relays between the engine and the classroom's relay, on
// a thread of their own so that a busy window never delays a packet. This
// object stays on the user-interface thread: it sets the relays up from the
// server's key answer (or locally for class entry), re-points them and
// stops them; the packets never pass through it.
//
// The server relay is bound after the key answer and reads only datagrams
// from the classroom server's address and port; the two local relays are
// bound to 127.0.0.1 and read only datagrams from it.
class VoiceRelays : public ClassLive::RelaySetup
{
    Q_OBJECT
public:
    struct Deps {
        clsRemoteSync &remote;
    };
    struct Limits {
        int keepAliveMs = 60000;
        int registrationRepeats = 6;
    };

    explicit VoiceRelays(Deps deps, QObject *parent = nullptr);
    VoiceRelays(Deps deps, Limits limits, QObject *parent = nullptr);
    ~VoiceRelays() override;

    bool bUDPDistributed() const override { return m_bUDPDistributed; }
    void SetupLocalRelays() override;
    quint16 LocalListenPort() const override { return m_ports.listen; }
    quint16 LocalSpeakPort() const override { return m_ports.speak; }

    // Whether the engine's microphone datagrams may reach the server: open
    // only while the student holds the floor.
    void setSpeakOpen(bool open);
    bool isSpeakOpen() const;

    // The server relay's own port (0 while it is closed), and what the
    // relays passed on so far.
    quint16 serverRelayPort() const;
    quint64 packetsToEngine() const;
    quint64 datagramsToServer() const;
    quint64 datagramsRefused() const;
    // CPU time the relay thread has used so far, in nanoseconds.
    qint64 relayThreadCpuNs() const;

public Q_SLOTS:
    // GetMsgClientKey: register with the classroom's relay and keep the
    // registration alive.
    void onClientKey(const QByteArray &UserClientKey, qint32 KeyLength);
    // Every connect and disconnect: the server relay and its keep-alive end.
    void stopServerRelay();

private:
    struct Ports {
        quint16 listen = 0;
        quint16 speak = 0;
    };

    Deps m;
    Limits m_limits;
    std::unique_ptr<RelayWorker> m_worker; // its thread carries the packets
    Ports m_ports;
    bool m_localSetUp = false; // in this connection
    bool m_bUDPDistributed = false;
};

} // namespace ClassroomVoice
