#include "sim/core/voicerelay.h"

#include "voice/wire/voicewire.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

using namespace Qt::StringLiterals;

VoiceRelay::VoiceRelay(Hooks hooks, SimLog log, QObject *parent)
    : QObject(parent)
    , m_hooks(std::move(hooks))
    , m_log(std::move(log))
    , m_socket(new QUdpSocket(this))
    , m_bundleTimer(new QTimer(this))
    , m_expiryTimer(new QTimer(this))
    , m_delayTimer(new QTimer(this))
{
    m_clock.start();
    m_bundleTimer->setSingleShot(true);
    m_bundleTimer->setInterval(BundleWaitMs);
    connect(m_bundleTimer, &QTimer::timeout, this, &VoiceRelay::flushPending);
    m_expiryTimer->setInterval(SweepIntervalMs);
    connect(m_expiryTimer, &QTimer::timeout, this, &VoiceRelay::expire);
    connect(m_socket, &QUdpSocket::readyRead, this, &VoiceRelay::readPending);
    // Jitter is made of milliseconds: a coarse timer would add its own.
    m_delayTimer->setTimerType(Qt::PreciseTimer);
    m_delayTimer->setSingleShot(true);
    connect(m_delayTimer, &QTimer::timeout, this, &VoiceRelay::sendDue);
}

VoiceRelay::~VoiceRelay() = default;

bool VoiceRelay::bind(quint16 port)
{
    if (!m_socket->bind(QHostAddress::LocalHost, port))
        return false;
    m_expiryTimer->start();
    return true;
}

quint16 VoiceRelay::port() const
{
    return m_socket->localPort();
}

void VoiceRelay::setRegistrationLifetime(qint64 lifetimeMs, int sweepMs)
{
    m_lifetimeMs = lifetimeMs;
    m_expiryTimer->setInterval(sweepMs);
}

void VoiceRelay::setImpairment(const Voice::ImpairmentSettings &settings)
{
    m_impairment = settings;
    m_paths.clear();
}

void VoiceRelay::unregister(qint32 id)
{
    m_endpoints.remove(id);
    m_paths.remove(id);
    if (m_pendingSpeaker == id)
        flushPending();
}

void VoiceRelay::readPending()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        handle(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

void VoiceRelay::handle(const QByteArray &datagram, const QHostAddress &address, quint16 port)
{
    if (const std::optional<QByteArray> key = VoiceWire::parseRegistration(datagram)) {
        const qint32 id = m_hooks.memberForKey(*key);
        if (id == 0) {
            m_log({{u"sim"_s, u"voice-refused"_s}, {u"from"_s, address.toString()}});
            return;
        }
        const bool fresh = !m_endpoints.contains(id) || m_endpoints[id].port != port;
        m_endpoints[id] = {address, port, m_clock.elapsed()};
        if (fresh)
            m_log({{u"sim"_s, u"voice-registered"_s}, {u"UserID"_s, id}, {u"port"_s, port}});
        return;
    }
    const qint32 speaker = memberAt(address, port);
    if (speaker == 0)
        return; // not registered: the relay is no open amplifier
    m_endpoints[speaker].lastSeenMs = m_clock.elapsed();
    ++m_received[speaker];
    if (!m_hooks.maySpeak(speaker))
        return;
    for (const QByteArrayView packet : VoiceWire::splitDatagram(datagram).packets)
        forward(speaker, packet.toByteArray());
}

void VoiceRelay::forward(qint32 speaker, const QByteArray &packet)
{
    if (!m_pending.isEmpty() && m_pendingSpeaker != speaker)
        flushPending();
    ++m_packetCount;
    if (!m_pending.isEmpty()) {
        m_bundleTimer->stop();
        const QByteArray bundle = m_pending + packet;
        m_pending.clear();
        sendToListeners(speaker, bundle);
        return;
    }
    if (m_bundleEvery > 0 && m_packetCount % m_bundleEvery == 0) {
        m_pending = packet;
        m_pendingSpeaker = speaker;
        m_bundleTimer->start();
        return;
    }
    sendToListeners(speaker, packet);
}

void VoiceRelay::sendToListeners(qint32 speaker, const QByteArray &datagram)
{
    for (auto it = m_endpoints.cbegin(); it != m_endpoints.cend(); ++it) {
        if (it.key() == speaker)
            continue;
        if (m_impairment.any()) {
            sendImpaired(it.key(), *it, datagram);
            continue;
        }
        // A failed send loses one datagram, as voice over UDP does anyway.
        m_socket->writeDatagram(datagram, it->address, it->port);
    }
    ++m_forwarded;
}

void VoiceRelay::sendImpaired(qint32 listener, const Endpoint &to, const QByteArray &datagram)
{
    auto path = m_paths.find(listener);
    if (path == m_paths.end()) {
        Voice::ImpairmentSettings settings = m_impairment;
        settings.seed = m_impairment.seed * 2654435761u + quint32(listener);
        path = m_paths.insert(listener, Voice::NetworkImpairment(settings));
    }
    const std::optional<int> delay = path->delayFor();
    if (!delay) {
        ++m_impairedLost;
        return;
    }
    const qint64 due = m_clock.elapsed() + *delay;
    m_delayed.emplace(due, Delayed{datagram, to.address, to.port});
    if (m_delayed.begin()->first == due)
        sendDue();
}

void VoiceRelay::sendDue()
{
    const qint64 now = m_clock.elapsed();
    while (!m_delayed.empty() && m_delayed.begin()->first <= now) {
        const Delayed &d = m_delayed.begin()->second;
        m_socket->writeDatagram(d.datagram, d.address, d.port);
        m_delayed.erase(m_delayed.begin());
    }
    if (!m_delayed.empty())
        m_delayTimer->start(int(m_delayed.begin()->first - now));
}

void VoiceRelay::flushPending()
{
    m_bundleTimer->stop();
    if (m_pending.isEmpty())
        return;
    const QByteArray packet = m_pending;
    m_pending.clear();
    sendToListeners(m_pendingSpeaker, packet);
}

void VoiceRelay::expire()
{
    const qint64 now = m_clock.elapsed();
    for (auto it = m_endpoints.begin(); it != m_endpoints.end();) {
        if (now - it->lastSeenMs > m_lifetimeMs) {
            m_log({{u"sim"_s, u"voice-expired"_s}, {u"UserID"_s, it.key()}});
            it = m_endpoints.erase(it);
        } else {
            ++it;
        }
    }
}

qint32 VoiceRelay::memberAt(const QHostAddress &address, quint16 port) const
{
    for (auto it = m_endpoints.cbegin(); it != m_endpoints.cend(); ++it) {
        if (it->port == port && it->address.isEqual(address, QHostAddress::TolerantConversion))
            return it.key();
    }
    return 0;
}
