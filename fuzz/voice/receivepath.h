#pragma once

// The engine's listening side fed from one byte string, as the fuzzer and the
// tests that replay its kept inputs both run it. The input is a run of
// records: one byte of milliseconds since the previous datagram, two bytes
// of datagram length (little-endian, at most MaxDatagram), the datagram.
// Frames are mixed as the player's clock falls due, so the jitter buffer,
// concealment and the Opus decoder all see what the datagrams make of them.
#include "voice/core/streammixer.h"
#include "voice/core/voiceformat.h"

#include <QByteArrayView>

namespace ReceivePath {

inline constexpr qsizetype MaxDatagram = 1500;

struct Outcome {
    int datagrams = 0;
    qint64 frames = 0;
    int streamsAtEnd = 0;
};

inline Outcome play(QByteArrayView input)
{
    Voice::StreamMixer mixer;
    Outcome outcome;
    qint64 now = 0;
    qint16 frame[Voice::FrameSamples];
    qsizetype offset = 0;
    while (input.size() - offset >= 3) {
        now += quint8(input[offset]);
        const qsizetype length
            = (quint8(input[offset + 1]) | (qsizetype(quint8(input[offset + 2])) << 8))
            % (MaxDatagram + 1);
        offset += 3;
        const QByteArrayView datagram = input.sliced(offset, qMin(length, input.size() - offset));
        offset += datagram.size();
        mixer.receive(datagram, now);
        ++outcome.datagrams;
        while (outcome.frames < now / Voice::FrameMs) {
            mixer.mixFrame(frame, outcome.frames * Voice::FrameMs);
            ++outcome.frames;
        }
    }
    // A few frames more: the buffers' tails and their concealment. (Longer
    // play-outs only repeat concealment and cost the fuzzer its speed.)
    const qint64 end = now + 5 * Voice::FrameMs;
    while (outcome.frames < end / Voice::FrameMs) {
        mixer.mixFrame(frame, outcome.frames * Voice::FrameMs);
        ++outcome.frames;
    }
    outcome.streamsAtEnd = mixer.streamCount();
    return outcome;
}

} // namespace ReceivePath
