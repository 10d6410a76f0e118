#include "client/classroom/voice/voicerelays.h"

#include "client/classroom/voice/relayworker.h"
#include "common/errorlog.h"
#include "protocol/clsremotesync.h"
#include "voice/wire/voicewire.h"

#include <QHostAddress>

#include <time.h>

using namespace Qt::StringLiterals;

namespace ClassroomVoice {

VoiceRelays::VoiceRelays(Deps deps, QObject *parent)
    : VoiceRelays(deps, Limits{}, parent)
{ }

VoiceRelays::VoiceRelays(Deps deps, Limits limits, QObject *parent)
    : ClassLive::RelaySetup(parent)
    , m(deps)
    , m_limits(limits)
{
    m_thread.setObjectName(u"voice relays"_s);
    m_worker = new RelayWorker(m_limits.keepAliveMs);
    m_worker->moveToThread(&m_thread);
    m_thread.start(QThread::TimeCriticalPriority);

    connect(&m.remote, &clsRemoteSync::GetMsgClientKey, this, &VoiceRelays::onClientKey);
    connect(&m.remote, &clsRemoteSync::Connected, this, &VoiceRelays::stopServerRelay);
    connect(&m.remote, &clsRemoteSync::DisConnected, this, &VoiceRelays::stopServerRelay);
}

VoiceRelays::~VoiceRelays()
{
    // The sockets belong to the relay thread: closed there, before it ends.
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { w->shutdown(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

void VoiceRelays::SetupLocalRelays()
{
    // Once per connection: a late key answer after a local set-up must not
    // move the port the engine already listens on.
    if (m_localSetUp)
        return;
    RelayWorker::Ports ports;
    // Binding two sockets is all the relay thread does for this call; the
    // callers need the ports when it returns.
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { return w->setupLocal(); }, Qt::BlockingQueuedConnection, &ports);
    m_ports = {ports.listen, ports.speak};
    m_localSetUp = ports.listen != 0 && ports.speak != 0;
    if (!m_localSetUp)
        Global::WriteErrorLog(u"User Form"_s, u"SetupLocalRelays"_s,
            u"no free local port for the voice relays"_s, __LINE__);
}

void VoiceRelays::onClientKey(const QByteArray &UserClientKey, qint32 KeyLength)
{
    const QHostAddress server(m.remote.RemoteIP().trimmed());
    bool portOk = false;
    const uint port = m.remote.RemotePort().trimmed().toUInt(&portOk);
    if (server.isNull() || !portOk || port == 0 || port > 0xffff) {
        Global::WriteErrorLog(u"User Form"_s, u"GetMsgClientKey"_s,
            u"classroom address not usable for voice: "_s + m.remote.RemoteIP() + u":"_s
                + m.remote.RemotePort(),
            __LINE__);
        return;
    }
    const QByteArray key = UserClientKey.left(qBound(0, KeyLength, int(UserClientKey.size())));
    const QByteArray registration = VoiceWire::registrationPacket(key);
    QMetaObject::invokeMethod(m_worker,
        [w = m_worker, server, port = quint16(port), registration,
            repeats = m_limits.registrationRepeats] {
            w->pointAtServer(server, port, registration, repeats);
        });
    SetupLocalRelays();
    m_bUDPDistributed = true;
    Q_EMIT relaysReady();
}

void VoiceRelays::stopServerRelay()
{
    m_bUDPDistributed = false;
    m_localSetUp = false;
    setSpeakOpen(false);
    QMetaObject::invokeMethod(m_worker, [w = m_worker] { w->stopServer(); });
}

void VoiceRelays::setSpeakOpen(bool open)
{
    m_worker->speakOpen.store(open, std::memory_order_relaxed);
}

bool VoiceRelays::isSpeakOpen() const
{
    return m_worker->speakOpen.load(std::memory_order_relaxed);
}

quint16 VoiceRelays::serverRelayPort() const
{
    quint16 port = 0;
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { return w->serverRelayPort(); }, Qt::BlockingQueuedConnection,
        &port);
    return port;
}

quint64 VoiceRelays::packetsToEngine() const
{
    return m_worker->counters.toEngine.load(std::memory_order_relaxed);
}

quint64 VoiceRelays::datagramsToServer() const
{
    return m_worker->counters.toServer.load(std::memory_order_relaxed);
}

quint64 VoiceRelays::datagramsRefused() const
{
    return m_worker->counters.refused.load(std::memory_order_relaxed);
}

} // namespace ClassroomVoice

namespace ClassroomVoice {

qint64 VoiceRelays::relayThreadCpuNs() const
{
    qint64 ns = 0;
    QMetaObject::invokeMethod(
        m_worker,
        [] {
            timespec t{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
        },
        Qt::BlockingQueuedConnection, &ns);
    return ns;
}

} // namespace ClassroomVoice
