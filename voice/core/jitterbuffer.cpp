#include "voice/core/jitterbuffer.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace Voice {

namespace {
// Packets kept at most (2.5 s): beyond that the stream is gone or broken.
constexpr std::size_t MaxPackets = 128;
// Frames of concealment before an empty buffer falls silent and starts over;
// concealment longer than this only drones.
constexpr int MaxConcealedEmptyTicks = 5;
// A hole wider than this (1 s) is a restart of the sender, not loss.
constexpr qint64 ResyncGap = 50;
// Three seconds of arrivals: a packet held up now and then (a reordered
// one) must stay in the spread until the next comes, or the delay swings
// down and up again between them.
constexpr std::size_t TransitWindow = 150;
// Ticks over which losses are counted: while any were lost in this window
// or the one before, a frame more is kept for the redundancy.
constexpr int LossWindowTicks = 50;
// The frame clock takes this fraction of its distance to the caller's time
// each tick (about a second and a half to follow a step).
constexpr double ClockPull = 64;
// Packets arriving within this of the first of them came together: a stall
// of the network or the sender let them go at once.
constexpr qint64 BurstMs = 2;
// How long after their latest plausible arrival slots play at rest, at the
// earliest of the last second's ticks.
constexpr double RestingExcessMs = 5;
// A slot that plays before its latest plausible arrival is lengthened at
// once; the delay is shortened only once every slot of the last second
// played later than the resting point: a sound card asks for its frames
// unevenly, up to half a frame early, and each that comes early must still
// find its packet there.
constexpr double LengthenBelowMs = 5;
constexpr std::size_t RecentSlots = 50;
} // namespace

JitterBuffer::JitterBuffer(int minDepth, int maxDepth)
    : m_minDepth(std::max(1, minDepth))
    , m_maxDepth(std::max(m_minDepth, maxDepth))
    , m_targetDepth(m_minDepth)
{ }

qint64 JitterBuffer::unwrap(quint16 sequence)
{
    if (!m_haveSequence) {
        m_haveSequence = true;
        m_highest = sequence;
        return sequence;
    }
    const auto delta = qint16(quint16(sequence - quint16(m_highest & 0xffff)));
    const qint64 extended = m_highest + delta;
    m_highest = std::max(m_highest, extended);
    return extended;
}

void JitterBuffer::updateTarget(qint64 extendedSequence, qint64 arrivalMs)
{
    if (m_transits.empty() || arrivalMs - m_burstStartMs > BurstMs) {
        ++m_burst;
        m_burstStartMs = arrivalMs;
    }
    m_transits.push_back({arrivalMs - extendedSequence * FrameMs, m_burst});
    if (m_transits.size() > TransitWindow)
        m_transits.pop_front();
    // The slowest burst but one: a level reached once in three seconds is a
    // stall, which concealment covers and time-scaling then takes back out;
    // one reached twice comes back, and waiting for it is cheaper than
    // concealing it every time.
    qint64 fastest = std::numeric_limits<qint64>::max();
    qint64 slowest[2] = {std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::min()};
    const auto keep = [&slowest](qint64 burstSlowest) {
        if (burstSlowest > slowest[0]) {
            slowest[1] = slowest[0];
            slowest[0] = burstSlowest;
        } else if (burstSlowest > slowest[1]) {
            slowest[1] = burstSlowest;
        }
    };
    qint64 burst = m_transits.front().burst;
    qint64 burstSlowest = std::numeric_limits<qint64>::min();
    for (const Transit &t : m_transits) {
        fastest = std::min(fastest, t.ms);
        if (t.burst != burst) {
            keep(burstSlowest);
            burst = t.burst;
            burstSlowest = t.ms;
        } else {
            burstSlowest = std::max(burstSlowest, t.ms);
        }
    }
    keep(burstSlowest);
    const qint64 spread
        = (slowest[1] == std::numeric_limits<qint64>::min() ? slowest[0] : slowest[1]) - fastest;
    m_targetDepth = int(std::clamp<qint64>(1 + spread / FrameMs, m_minDepth, m_maxDepth));
    m_fastestTransit = fastest;
    m_lateAllowance
        = std::clamp<qint64>(spread, (m_minDepth - 1) * FrameMs, (m_maxDepth - 1) * FrameMs);
}

qint64 JitterBuffer::deadline(qint64 extendedSequence) const
{
    return extendedSequence * FrameMs + m_fastestTransit + m_lateAllowance;
}

void JitterBuffer::push(quint16 sequence, const QByteArray &payload, qint64 arrivalMs)
{
    const qint64 before = m_highest;
    const bool first = !m_haveSequence;
    const qint64 extended = unwrap(sequence);
    ++m_stats.received;
    m_lastArrivalMs = arrivalMs;
    // A restarted sender's times say nothing about the old stream's.
    if (!first && std::abs(extended - before) > ResyncGap)
        m_transits.clear();
    if (m_playing && extended < m_next) {
        // Its time still counts: leaving the late ones out of the spread
        // would keep the buffer too shallow for them for good.
        if (extended >= m_next - ResyncGap)
            updateTarget(extended, arrivalMs);
        ++m_stats.late;
        return;
    }
    if (!m_packets.emplace(extended, payload).second) {
        ++m_stats.duplicates;
        return;
    }
    updateTarget(extended, arrivalMs);
    while (m_packets.size() > MaxPackets) {
        m_packets.erase(m_packets.begin());
        ++m_stats.discarded;
    }
}

PlayoutFrame JitterBuffer::pop(std::optional<qint64> nowMs)
{
    if (!m_playing) {
        // A talk spurt shorter than the target depth must not wait for the
        // next one: after as many ticks as the target, play what is there.
        if (m_packets.empty()) {
            m_waitTicks = 0;
            return {};
        }
        if (int(m_packets.size()) < m_targetDepth && ++m_waitTicks < m_targetDepth)
            return {};
        m_waitTicks = 0;
        m_playing = true;
        m_next = m_packets.begin()->first;
        m_emptyTicks = 0;
        m_windowTicks = 0;
        m_recentExcess.clear();
        // Without the caller's time the newest arrival is "now" to within
        // a frame.
        m_clockMs = double(nowMs.value_or(m_lastArrivalMs));
    } else {
        m_clockMs += FrameMs;
        // Ticks come in bursts when a sound card pulls several frames at
        // once, so the clock only leans towards the caller's a little each
        // tick: the bursts average out, a card's slow drift does not.
        if (nowMs)
            m_clockMs += (double(*nowMs) - m_clockMs) / ClockPull;
    }
    countTick();

    if (m_packets.empty()) {
        // Late rather than lost: hold the slot so the packet still plays.
        if (++m_emptyTicks > MaxConcealedEmptyTicks) {
            m_playing = false;
            return {};
        }
        ++m_stats.concealed;
        // The delay has just grown by this frame, and the packets behind it
        // are still on the way: nothing may be taken back until they came.
        m_recentExcess.clear();
        return {PlayoutAction::Conceal, {}};
    }
    m_emptyTicks = 0;

    auto first = m_packets.begin();
    if (first->first - m_next > ResyncGap) {
        m_next = first->first;
    }
    // How much later than its slot's latest plausible arrival this slot
    // plays: the delay the buffer has beyond what the jitter needs.
    const qint64 excess = qint64(m_clockMs) - deadline(m_next);
    // The stretch goes by the tick's own time: the frame clock evens the
    // ticks out, the packets have to be there for the early ones.
    const double stretch = stretchFor(nowMs ? *nowMs - deadline(m_next) : excess);
    if (first->first != m_next) {
        ++m_stats.concealed;
        if (excess < 0) {
            // Later packets overtook this one, but the spread of arrivals
            // says it may still come: wait for it one frame longer.
            return {PlayoutAction::Conceal, {}, stretch};
        }
        // Past the latest time it could have come: lost on the way.
        ++m_stats.lost;
        m_lostInWindow = true;
        ++m_next;
        PlayoutFrame frame{PlayoutAction::Conceal, {}, stretch};
        if (first->first == m_next)
            frame.payload = first->second;
        return frame;
    }

    PlayoutFrame frame{PlayoutAction::Decode, std::move(first->second), stretch};
    m_packets.erase(first);
    ++m_next;
    ++m_stats.decoded;
    return frame;
}

void JitterBuffer::stretched(double ms)
{
    if (m_playing)
        m_clockMs += ms;
}

void JitterBuffer::countTick()
{
    if (++m_windowTicks < LossWindowTicks)
        return;
    m_lostBefore = m_lostInWindow;
    m_lostInWindow = false;
    m_windowTicks = 0;
}

double JitterBuffer::stretchFor(qint64 excess)
{
    m_recentExcess.push_back(excess);
    if (m_recentExcess.size() > RecentSlots)
        m_recentExcess.pop_front();
    // While packets are being lost, a frame of delay beyond the jitter's
    // is kept: with it, the next packet's redundancy is there in time to
    // rebuild the lost one.
    const double resting
        = RestingExcessMs + (m_lostInWindow || m_lostBefore ? double(FrameMs) : 0.0);
    if (double(excess) < resting - LengthenBelowMs)
        return resting - double(excess);
    // Shorter only on the evidence of several slots: the clock's unevenness
    // must not be taken for surplus delay.
    if (m_recentExcess.size() < RecentSlots)
        return 0;
    const double least = double(*std::min_element(m_recentExcess.begin(), m_recentExcess.end()));
    return least > resting ? resting - least : 0;
}

} // namespace Voice
