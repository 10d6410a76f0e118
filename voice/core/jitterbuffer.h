#pragma once

#include "voice/core/lumovoicecore_export.h"

#include <QByteArray>

#include <deque>
#include <map>

namespace Voice {

// What the player does for one 20 ms frame.
enum class PlayoutAction {
    Silence, // nothing to play: the stream has not started or has gone quiet
    Decode, // play `payload`
    Conceal, // the frame is missing: conceal it; with `payload` set, that is
             // the next packet, whose forward error correction may rebuild it
};

struct PlayoutFrame {
    PlayoutAction action = PlayoutAction::Silence;
    QByteArray payload;
};

struct JitterBufferStats {
    int received = 0;
    int late = 0; // arrived after its slot was played or concealed
    int duplicates = 0;
    int concealed = 0;
    int discarded = 0; // dropped to shrink the delay or on overflow
};

// Adaptive jitter buffer for one stream of 20 ms frames, ordered by a 16-bit
// wrapping sequence number. It waits for `targetDepth()` frames (or as many
// ticks) before it starts playing; the target follows the spread of arrival times seen over
// the last second (at least `minDepth`, at most `maxDepth` frames). A frame
// missing while later ones are waiting is lost and concealed; a frame
// missing with nothing behind it is late, so the buffer holds its place and
// conceals, which lengthens the delay by one frame. A buffer that keeps more
// than it needs for a second gives one frame up.
class LUMOVOICECORE_EXPORT JitterBuffer
{
public:
    static constexpr int FrameMs = 20;

    explicit JitterBuffer(int minDepth = 1, int maxDepth = 10);

    void push(quint16 sequence, const QByteArray &payload, qint64 arrivalMs);
    PlayoutFrame pop();

    bool isPlaying() const { return m_playing; }
    bool isEmpty() const { return m_packets.empty(); }
    int bufferedFrames() const { return int(m_packets.size()); }
    int targetDepth() const { return m_targetDepth; }
    const JitterBufferStats &stats() const { return m_stats; }

private:
    qint64 unwrap(quint16 sequence);
    void updateTarget(qint64 extendedSequence, qint64 arrivalMs);

    const int m_minDepth;
    const int m_maxDepth;
    int m_targetDepth;
    std::map<qint64, QByteArray> m_packets;
    bool m_haveSequence = false;
    qint64 m_highest = 0;
    bool m_playing = false;
    qint64 m_next = 0;
    int m_emptyTicks = 0;
    int m_waitTicks = 0;
    int m_surplusTicks = 0;
    std::deque<qint64> m_transits; // arrival minus send slot, last second
    JitterBufferStats m_stats;
};

} // namespace Voice
