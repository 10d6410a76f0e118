#pragma once

#include "voice/core/jitterbuffer.h"
#include "voice/core/lumovoicecore_export.h"
#include "voice/core/timestretcher.h"
#include "voice/core/voicedecoder.h"

#include <QByteArrayView>

#include <map>
#include <memory>
#include <vector>

namespace Voice {

// The listening side without its socket and its clock: datagrams in (split
// into packets, one jitter buffer, decoder and time-scaler per stream id),
// 20 ms frames of every stream mixed out. Each stream's frames are played a
// little shorter or longer as its jitter buffer asks, so a stream's sound
// runs ahead of the mixed frames by up to a frame. Times are the caller's
// milliseconds.
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
    // Share of the frames due in the last few seconds of speech that were
    // lost on the way or came too late to play, over every stream; -1 until
    // enough has been heard. The network that brings the class's voice also
    // carries this side's, so the figure also tells the speaking side how
    // much redundancy to send.
    int lossPercent() const { return m_lossPercent; }

private:
    struct Stream {
        JitterBuffer buffer;
        VoiceDecoder decoder;
        TimeStretcher stretcher;
        std::vector<qint16> pending; // decoded and time-scaled, not yet mixed
        qint64 lastArrivalMs = 0;
        int countedDue = 0; // decoded + lost + late, as last counted
        int countedMissed = 0; // lost + late, as last counted
    };

    void countLoss(Stream &stream);

    std::map<quint16, std::unique_ptr<Stream>> m_streams;
    int m_windowDue = 0;
    int m_windowMissed = 0;
    int m_lossPercent = -1;
};

} // namespace Voice
