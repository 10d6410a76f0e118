#include "voice/core/streammixer.h"

#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"

#include <algorithm>

namespace Voice {

StreamMixer::StreamMixer() = default;
StreamMixer::~StreamMixer() = default;

void StreamMixer::receive(QByteArrayView datagram, qint64 nowMs)
{
    const SplitDatagram split = SplitVoiceDatagram(datagram);
    for (const VoicePacket &packet : split.packets) {
        auto it = m_streams.find(packet.header.streamId);
        if (it == m_streams.end()) {
            if (m_streams.size() >= MaxStreams)
                continue;
            it = m_streams.emplace(packet.header.streamId, std::make_unique<Stream>()).first;
        }
        it->second->buffer.push(packet.header.sequence, packet.payload, nowMs);
        it->second->lastArrivalMs = nowMs;
    }
}

void StreamMixer::mixFrame(qint16 *out, qint64 nowMs)
{
    int mix[FrameSamples] = {};
    qint16 decoded[FrameSamples];
    for (auto it = m_streams.begin(); it != m_streams.end();) {
        Stream &stream = *it->second;
        const PlayoutFrame frame = stream.buffer.pop();
        bool audible = true;
        switch (frame.action) {
        case PlayoutAction::Decode: stream.decoder.decode(frame.payload, decoded); break;
        case PlayoutAction::Conceal: stream.decoder.conceal(frame.payload, decoded); break;
        case PlayoutAction::Silence: audible = false; break;
        }
        if (audible) {
            for (int i = 0; i < FrameSamples; ++i)
                mix[i] += decoded[i];
        }
        if (!audible && stream.buffer.isEmpty() && nowMs - stream.lastArrivalMs > StreamIdleMs)
            it = m_streams.erase(it);
        else
            ++it;
    }
    for (int i = 0; i < FrameSamples; ++i)
        out[i] = qint16(std::clamp(mix[i], -32768, 32767));
}

} // namespace Voice
