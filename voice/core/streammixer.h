#pragma once

#include "voice/core/jitterbuffer.h"
#include "voice/core/lumovoicecore_export.h"
#include "voice/core/voicedecoder.h"

#include <QByteArrayView>

#include <map>
#include <memory>

namespace Voice {

// The listening side without its socket and its clock: datagrams in (split
// into packets, one jitter buffer and decoder per stream id), 20 ms frames of
// every stream mixed out. Times are the caller's milliseconds.
class LUMOVOICECORE_EXPORT StreamMixer
{
public:
    // A stream silent this long (its speaker stopped) is forgotten.
    static constexpr qint64 StreamIdleMs = 3000;
    // More simultaneous streams than this is a flood, not a classroom.
    static constexpr std::size_t MaxStreams = 8;

    StreamMixer();
    ~StreamMixer();
    StreamMixer(const StreamMixer &) = delete;
    StreamMixer &operator=(const StreamMixer &) = delete;

    void receive(QByteArrayView datagram, qint64 nowMs);
    // Writes FrameSamples samples.
    void mixFrame(qint16 *out, qint64 nowMs);
    int streamCount() const { return int(m_streams.size()); }

private:
    struct Stream {
        JitterBuffer buffer;
        VoiceDecoder decoder;
        qint64 lastArrivalMs = 0;
    };

    std::map<quint16, std::unique_ptr<Stream>> m_streams;
};

} // namespace Voice
