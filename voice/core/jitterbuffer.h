#pragma once

#include "voice/core/lumovoicecore_export.h"

#include <QByteArray>

#include <deque>
#include <map>
#include <optional>

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
    // How much longer (shorter when negative) the frame should play, in ms,
    // to bring the delay to what the jitter needs; the player tells the
    // buffer what it did with `stretched()`.
    double stretchMs = 0;
};

struct JitterBufferStats {
    int received = 0;
    int late = 0; // arrived after its slot was played or concealed
    int duplicates = 0;
    int concealed = 0;
    int decoded = 0;
    int lost = 0; // concealed while later packets were waiting: lost on the way
    int discarded = 0; // dropped on overflow
};

// Adaptive jitter buffer for one stream of 20 ms frames, ordered by a 16-bit
// wrapping sequence number. It waits for `targetDepth()` frames (or as many
// ticks) before it starts playing; the target follows the spread of arrival
// times seen over the last three seconds (at least `minDepth`, at most
// `maxDepth` frames). Each slot has a latest plausible arrival: its send
// slot plus the fastest transit and that spread. A frame missing after
// that time is lost and concealed (with the next packet's redundancy when
// it is there); missing before it, or with nothing behind it, it is late:
// the buffer conceals and holds its place, which lengthens the delay by one
// frame. Every frame asks the player to play it a little shorter or longer
// (time-scaling, never a dropped frame), so that slots play just after
// their latest plausible arrival: a sender whose clock runs fast, or a
// network that calmed down, does not leave the delay higher than the jitter
// needs, nor a slow one lower (while packets are lost, a frame more is
// kept, so that the redundancy in the next packet arrives in time to
// rebuild a lost one). The spread counts a burst of packets that arrive
// together as one: a single stall of the network or of the sender must not
// hold the delay up for seconds; two within the memory do.
class LUMOVOICECORE_EXPORT JitterBuffer
{
public:
    static constexpr int FrameMs = 20;

    explicit JitterBuffer(int minDepth = 1, int maxDepth = 10);

    void push(quint16 sequence, const QByteArray &payload, qint64 arrivalMs);
    // One frame's worth, a frame after the last. `nowMs`, on the clock the
    // arrivals are stamped with, keeps the buffer's own frame clock in step
    // with it: a sound card playing a little slow or fast must not make the
    // delay creep. Without it the frames are taken to come on time.
    PlayoutFrame pop(std::optional<qint64> nowMs = std::nullopt);
    // The frame popped last played `ms` longer (shorter when negative) than
    // a frame: the buffer's clock moves on by that much more.
    void stretched(double ms);

    bool isPlaying() const { return m_playing; }
    bool isEmpty() const { return m_packets.empty(); }
    int bufferedFrames() const { return int(m_packets.size()); }
    int targetDepth() const { return m_targetDepth; }
    const JitterBufferStats &stats() const { return m_stats; }

private:
    struct Transit {
        qint64 ms; // arrival minus send slot
        qint64 burst; // packets that arrived together share one
    };

    qint64 unwrap(quint16 sequence);
    void updateTarget(qint64 extendedSequence, qint64 arrivalMs);
    void countTick();
    double stretchFor(qint64 excess);
    // The latest a packet can be expected, on the arrivals' clock.
    qint64 deadline(qint64 extendedSequence) const;

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
    int m_windowTicks = 0;
    bool m_lostInWindow = false;
    bool m_lostBefore = false; // in the window before
    qint64 m_lastArrivalMs = 0;
    double m_clockMs = 0; // the arrivals' clock as the ticks keep it while playing
    qint64 m_fastestTransit = 0; // arrival minus send slot, least of the last three seconds
    qint64 m_lateAllowance = 0; // how much slower than the fastest a packet may come
    std::deque<Transit> m_transits; // the last three seconds, in order of arrival
    qint64 m_burst = 0;
    qint64 m_burstStartMs = 0;
    std::deque<qint64> m_recentExcess; // the last few slots' excess, ms
    JitterBufferStats m_stats;
};

} // namespace Voice
