#pragma once

// One speaker heard by one listener across a poor network, on a simulated
// clock: the speaker's encoder, datagrams through NetworkImpairment, the
// listener's StreamMixer ticking every 20 ms. The speaker's expected loss
// follows the listener's statistics, as an engine's does from the class
// stream it hears. Shared by the unit tests and the benchmark so that both
// measure the same thing.
#include "voice/core/networkimpairment.h"
#include "voice/core/streammixer.h"
#include "voice/core/voiceencoder.h"
#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"

#include <QList>

#include <algorithm>
#include <map>

namespace ImpairedCall {

struct Result {
    QList<qint16> heard;
    double payloadKbits = 0; // voice datagrams as they leave the speaker, kbit/s
    int lastExpectedLoss = -1; // what the speaker's encoder was last told
};

// Transit time of a datagram on a good network.
inline constexpr int BaseDelayMs = 10;

inline Result Run(
    const QList<qint16> &speech, const Voice::ImpairmentSettings &impairment, int tailFrames = 50)
{
    Voice::VoiceEncoder encoder;
    Voice::StreamMixer mixer;
    Voice::NetworkImpairment network(impairment);
    Result result;

    const int frames = int(speech.size() / Voice::FrameSamples) + tailFrames;
    std::multimap<qint64, QByteArray> inFlight; // by arrival
    qint64 bytes = 0;
    quint16 sequence = 0;
    qint16 frame[Voice::FrameSamples];
    for (int f = 0; f < frames; ++f) {
        const qint64 now = qint64(f) * Voice::FrameMs;
        const qsizetype at = qsizetype(f) * Voice::FrameSamples;
        for (int i = 0; i < Voice::FrameSamples; ++i)
            frame[i] = at + i < speech.size() ? speech[at + i] : qint16(0);
        if (f % 50 == 0) {
            result.lastExpectedLoss = mixer.lossPercent();
            encoder.setExpectedLossPercent(result.lastExpectedLoss);
        }
        Voice::PacketHeader header;
        header.sequence = sequence++;
        header.streamId = 7;
        const QByteArray datagram = Voice::EncodeVoicePacket(header, encoder.encode(frame));
        bytes += datagram.size();
        if (const std::optional<int> delay = network.delayFor())
            inFlight.emplace(now + BaseDelayMs + *delay, datagram);

        // The listener's tick, half a frame out of phase with the speaker.
        const qint64 tick = now + Voice::FrameMs / 2;
        while (!inFlight.empty() && inFlight.begin()->first <= tick) {
            mixer.receive(inFlight.begin()->second, inFlight.begin()->first);
            inFlight.erase(inFlight.begin());
        }
        mixer.mixFrame(frame, tick);
        result.heard.append(QList<qint16>(frame, frame + Voice::FrameSamples));
    }
    result.payloadKbits = bytes * 8.0 / (frames * Voice::FrameMs);
    return result;
}

} // namespace ImpairedCall
