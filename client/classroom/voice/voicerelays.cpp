#include "client/classroom/voice/voicerelays.h"

#include "client/classroom/voice/relayworker.h"
#include "common/errorlog.h"
#include "protocol/clsremotesync.h"
#include "voice/wire/voicewire.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

namespace ClassroomVoice {

VoiceRelays::VoiceRelays(Deps deps, QObject *parent)
    : VoiceRelays(deps, Limits{}, parent)
{ }

VoiceRelays::VoiceRelays(Deps deps, Limits limits, QObject *parent)
    : ClassLive::RelaySetup(parent)
    , m(deps)
    , m_limits(limits)
    , m_worker(std::make_unique<RelayWorker>(limits.keepAliveMs))
{
    connect(&m.remote, &clsRemoteSync::GetMsgClientKey, this, &VoiceRelays::onClientKey);
    connect(&m.remote, &clsRemoteSync::Connected, this, &VoiceRelays::stopServerRelay);
    connect(&m.remote, &clsRemoteSync::DisConnected, this, &VoiceRelays::stopServerRelay);
}

VoiceRelays::~VoiceRelays() = default;

void VoiceRelays::SetupLocalRelays()
{
    // Once per connection: a late key answer after a local set-up must not
    // move the port the engine already listens on.
    if (m_localSetUp)
        return;
    const RelayWorker::Ports ports = m_worker->setupLocal();
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
    // The local relays first: the relay thread takes them over before the
    // registrations go out, so the server's first voice finds its way on.
    SetupLocalRelays();
    m_worker->pointAtServer(server, quint16(port), registration, m_limits.registrationRepeats);
    m_bUDPDistributed = true;
    Q_EMIT relaysReady();
}

void VoiceRelays::stopServerRelay()
{
    m_bUDPDistributed = false;
    m_localSetUp = false;
    setSpeakOpen(false);
    m_worker->stopServer();
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
    return m_worker->serverRelayPort();
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

qint64 VoiceRelays::relayThreadCpuNs() const
{
    return m_worker->threadCpuNs();
}

} // namespace ClassroomVoice
