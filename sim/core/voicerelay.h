#pragma once

#include "sim/core/simlog.h"
#include "voice/core/networkimpairment.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>

#include <functional>
#include <map>

class QTimer;
class QUdpSocket;

// The classroom's UDP voice relay. A client registers its relay socket with
// "key=" and the key the classroom handed it; afterwards the datagrams of
// whoever may speak go to every other registered member, packet by packet,
// some of them bundled back to back in one datagram as the real relay does.
class VoiceRelay : public QObject
{
    Q_OBJECT

public:
    // A registration not refreshed for this long is dropped (the clients
    // refresh every 60 s, so three refreshes may be lost).
    static constexpr qint64 RegistrationLifetimeMs = 180000;
    static constexpr int SweepIntervalMs = 30000;
    // A bundled packet waits at most this long for its companion.
    static constexpr int BundleWaitMs = 20;

    struct Hooks {
        std::function<qint32(const QByteArray &key)> memberForKey; // 0 when unknown
        std::function<bool(qint32 id)> maySpeak;
    };

    VoiceRelay(Hooks hooks, SimLog log, QObject *parent = nullptr);
    ~VoiceRelay() override;

    bool bind(quint16 port);
    quint16 port() const;
    void setBundleEvery(int every) { m_bundleEvery = every; }
    // Loss, jitter and reordering on the way to each listener, each path
    // with its own decisions (seeded by the settings' seed and the member):
    // a poor network for tests and demos, the same for the same run.
    void setImpairment(const Voice::ImpairmentSettings &settings);
    // For tests that cannot wait minutes.
    void setRegistrationLifetime(qint64 lifetimeMs, int sweepMs);
    void unregister(qint32 id);
    bool isRegistered(qint32 id) const { return m_endpoints.contains(id); }
    int registeredCount() const { return int(m_endpoints.size()); }
    qint64 forwardedDatagrams() const { return m_forwarded; }
    // Datagrams to listeners that the impairment dropped.
    qint64 impairedLost() const { return m_impairedLost; }
    // Voice datagrams that came from each registered member, whether they
    // were forwarded or not (registrations not counted).
    QHash<qint32, qint64> receivedByMember() const { return m_received; }

private:
    struct Endpoint {
        QHostAddress address;
        quint16 port = 0;
        qint64 lastSeenMs = 0;
    };

    void readPending();
    void handle(const QByteArray &datagram, const QHostAddress &address, quint16 port);
    void forward(qint32 speaker, const QByteArray &packet);
    void sendToListeners(qint32 speaker, const QByteArray &datagram);
    void flushPending();
    void sendImpaired(qint32 listener, const Endpoint &to, const QByteArray &datagram);
    void sendDue();
    void expire();
    qint32 memberAt(const QHostAddress &address, quint16 port) const;

    Hooks m_hooks;
    SimLog m_log;
    QUdpSocket *m_socket = nullptr;
    QTimer *m_bundleTimer = nullptr;
    QTimer *m_expiryTimer = nullptr;
    QElapsedTimer m_clock;
    QHash<qint32, Endpoint> m_endpoints;
    int m_bundleEvery = 0;
    qint64 m_lifetimeMs = RegistrationLifetimeMs;
    qint64 m_packetCount = 0;
    qint64 m_forwarded = 0;
    QHash<qint32, qint64> m_received;
    QByteArray m_pending;
    qint32 m_pendingSpeaker = 0;

    struct Delayed {
        QByteArray datagram;
        QHostAddress address;
        quint16 port = 0;
    };
    Voice::ImpairmentSettings m_impairment;
    QHash<qint32, Voice::NetworkImpairment> m_paths; // by listener
    // Held-back datagrams by the time they are due; equal times keep their
    // order.
    std::multimap<qint64, Delayed> m_delayed;
    QTimer *m_delayTimer = nullptr;
    qint64 m_impairedLost = 0;
};
