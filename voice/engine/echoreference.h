#pragma once

#include <QMutex>

#include <algorithm>
#include <atomic>
#include <vector>

namespace Vocana {

// What the loudspeaker plays, handed from the playback thread to the capture
// thread, where the echo canceller takes it as its far end. Bounded: with
// nobody speaking, nobody takes, and only the newest stretch is kept.
class EchoReference
{
public:
    static constexpr int MaxSamples = 48000 / 5; // 200 ms

    void played(const qint16 *samples, int count, qint64 playbackLatencyUs)
    {
        m_playbackLatencyUs.store(playbackLatencyUs, std::memory_order_relaxed);
        QMutexLocker lock(&m_mutex);
        m_samples.insert(m_samples.end(), samples, samples + count);
        if (m_samples.size() > std::size_t(MaxSamples))
            m_samples.erase(m_samples.begin(), m_samples.end() - std::ptrdiff_t(MaxSamples));
    }

    // Moves out every whole chunk of `chunkSamples` waiting, in order. One
    // taker (the capture thread): its buffer is kept from call to call.
    template <typename F> void takeChunks(int chunkSamples, F &&each)
    {
        std::vector<qint16> &taken = m_taken;
        {
            QMutexLocker lock(&m_mutex);
            const std::size_t whole
                = m_samples.size() / std::size_t(chunkSamples) * std::size_t(chunkSamples);
            taken.assign(m_samples.begin(), m_samples.begin() + std::ptrdiff_t(whole));
            m_samples.erase(m_samples.begin(), m_samples.begin() + std::ptrdiff_t(whole));
        }
        for (std::size_t i = 0; i < taken.size(); i += std::size_t(chunkSamples))
            each(taken.data() + i);
    }

    // -1 while nothing plays.
    qint64 playbackLatencyUs() const { return m_playbackLatencyUs.load(std::memory_order_relaxed); }
    void stopped() { m_playbackLatencyUs.store(-1, std::memory_order_relaxed); }

private:
    QMutex m_mutex;
    std::vector<qint16> m_samples;
    std::vector<qint16> m_taken;
    std::atomic<qint64> m_playbackLatencyUs{-1};
};

} // namespace Vocana
