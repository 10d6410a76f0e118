#include "voice/core/streammixer.h"

#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"

#include <algorithm>
#include <cmath>

namespace Voice {

namespace {
// Frames of speech behind each loss figure: five seconds of one speaker.
// Fewer make a 5 % figure jump by whole percents at every lost packet.
constexpr int LossWindowFrames = 250;
} // namespace

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
        bool audible = !stream.pending.empty();
        while (stream.pending.size() < std::size_t(FrameSamples)) {
            // Popped now, though it starts once what is pending has played:
            // its packet has to be here now, so that is the time the buffer
            // judges its delay by.
            const PlayoutFrame frame = stream.buffer.pop(nowMs);
            if (frame.action == PlayoutAction::Silence) {
                stream.pending.resize(FrameSamples, 0);
                break;
            }
            if (frame.action == PlayoutAction::Decode)
                stream.decoder.decode(frame.payload, decoded);
            else
                stream.decoder.conceal(frame.payload, decoded);
            const double stretchMs = std::clamp(frame.stretchMs, -double(FrameMs), double(FrameMs));
            int want = int(std::lround(stretchMs * SampleRate / 1000));
            if (want == 0) {
                // What is pending is delay the buffer does not see; a pause
                // gives it back for nothing, as no packet is needed sooner.
                // (Less than a voiced frame's threshold: speech is left be.)
                want = -std::min(
                    int(stream.pending.size()), TimeStretcher::VoicedThresholdSamples - 1);
            }
            const int changed = stream.stretcher.process(decoded, want, stream.pending);
            stream.buffer.stretched(changed * 1000.0 / SampleRate);
            audible = true;
        }
        for (int i = 0; i < FrameSamples; ++i)
            mix[i] += stream.pending[std::size_t(i)];
        stream.pending.erase(stream.pending.begin(), stream.pending.begin() + FrameSamples);
        countLoss(stream);
        if (!audible && stream.buffer.isEmpty() && nowMs - stream.lastArrivalMs > StreamIdleMs)
            it = m_streams.erase(it);
        else
            ++it;
    }
    for (int i = 0; i < FrameSamples; ++i)
        out[i] = qint16(std::clamp(mix[i], -32768, 32767));
}

void StreamMixer::countLoss(Stream &stream)
{
    const JitterBufferStats &stats = stream.buffer.stats();
    const int missed = stats.lost + stats.late;
    const int due = stats.decoded + missed;
    m_windowDue += due - stream.countedDue;
    m_windowMissed += missed - stream.countedMissed;
    stream.countedDue = due;
    stream.countedMissed = missed;
    if (m_windowDue >= LossWindowFrames) {
        m_lossPercent = int((100LL * m_windowMissed + m_windowDue / 2) / m_windowDue);
        m_windowDue = 0;
        m_windowMissed = 0;
    }
}

} // namespace Voice
