#include "voice/core/jitterbuffer.h"

#include <algorithm>

namespace Voice {

namespace {
// Packets kept at most (2.5 s): beyond that the stream is gone or broken.
constexpr std::size_t MaxPackets = 128;
// Frames of concealment before an empty buffer falls silent and starts over;
// concealment longer than this only drones.
constexpr int MaxConcealedEmptyTicks = 5;
// A hole wider than this (1 s) is a restart of the sender, not loss.
constexpr qint64 ResyncGap = 50;
constexpr std::size_t TransitWindow = 50;
constexpr int SurplusTicksBeforeShrink = 50;
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
    m_transits.push_back(arrivalMs - extendedSequence * FrameMs);
    if (m_transits.size() > TransitWindow)
        m_transits.pop_front();
    const auto [lo, hi] = std::minmax_element(m_transits.begin(), m_transits.end());
    const qint64 spread = *hi - *lo;
    m_targetDepth = int(std::clamp<qint64>(1 + spread / FrameMs, m_minDepth, m_maxDepth));
}

void JitterBuffer::push(quint16 sequence, const QByteArray &payload, qint64 arrivalMs)
{
    const qint64 extended = unwrap(sequence);
    ++m_stats.received;
    if (m_playing && extended < m_next) {
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

PlayoutFrame JitterBuffer::pop()
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
        m_surplusTicks = 0;
    }

    if (m_packets.empty()) {
        // Late rather than lost: hold the slot so the packet still plays.
        if (++m_emptyTicks > MaxConcealedEmptyTicks) {
            m_playing = false;
            return {};
        }
        ++m_stats.concealed;
        return {PlayoutAction::Conceal, {}};
    }
    m_emptyTicks = 0;

    auto first = m_packets.begin();
    if (first->first - m_next > ResyncGap) {
        m_next = first->first;
    }
    if (first->first != m_next) {
        // Later packets are waiting, so this one is lost.
        ++m_stats.concealed;
        ++m_next;
        PlayoutFrame frame{PlayoutAction::Conceal, {}};
        if (first->first == m_next)
            frame.payload = first->second;
        return frame;
    }

    PlayoutFrame frame{PlayoutAction::Decode, std::move(first->second)};
    m_packets.erase(first);
    ++m_next;

    if (int(m_packets.size()) > m_targetDepth) {
        if (++m_surplusTicks >= SurplusTicksBeforeShrink && m_packets.begin()->first == m_next) {
            m_packets.erase(m_packets.begin());
            ++m_next;
            ++m_stats.discarded;
            m_surplusTicks = 0;
        }
    } else {
        m_surplusTicks = 0;
    }
    return frame;
}

} // namespace Voice
