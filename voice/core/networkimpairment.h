#pragma once

#include <QtGlobal>

#include <algorithm>
#include <optional>
#include <random>

namespace Voice {

// How a poor network treats voice datagrams, for the local classroom
// server's relay and for the tests and benchmarks that play a call through
// it on a simulated clock. Header only: the simulator uses it without the
// codec library.
struct ImpairmentSettings {
    int lossPercent = 0; // datagrams that never arrive
    int jitterMs = 0; // each datagram is held back 0..jitterMs, evenly spread
    int reorderPercent = 0; // datagrams held back a further ReorderMs, so later ones overtake
    quint32 seed = 1;

    bool any() const { return lossPercent > 0 || jitterMs > 0 || reorderPercent > 0; }
};

// One path's decisions, datagram by datagram. The same settings and seed
// give the same decisions for the same sequence of datagrams, so a run that
// went wrong can be played again.
class NetworkImpairment
{
public:
    // Two frames: enough for the next two packets to arrive first.
    static constexpr int ReorderMs = 40;

    explicit NetworkImpairment(const ImpairmentSettings &settings = {})
        : m_settings(clamped(settings))
        , m_random(settings.seed)
    { }

    const ImpairmentSettings &settings() const { return m_settings; }

    // How long this datagram is held back, in ms; nothing when it is lost.
    // Every decision draws the same numbers whatever the settings, so a
    // change of one figure does not reshuffle the others.
    std::optional<int> delayFor()
    {
        const int lossDraw = percentDraw();
        const int reorderDraw = percentDraw();
        const int jitter = std::uniform_int_distribution<int>(0, 1000)(m_random);
        if (lossDraw < m_settings.lossPercent)
            return std::nullopt;
        int delay = m_settings.jitterMs * jitter / 1000;
        if (reorderDraw < m_settings.reorderPercent)
            delay += ReorderMs;
        return delay;
    }

private:
    static ImpairmentSettings clamped(ImpairmentSettings s)
    {
        s.lossPercent = std::clamp(s.lossPercent, 0, 100);
        s.reorderPercent = std::clamp(s.reorderPercent, 0, 100);
        s.jitterMs = std::clamp(s.jitterMs, 0, 10000);
        return s;
    }

    int percentDraw() { return std::uniform_int_distribution<int>(0, 99)(m_random); }

    ImpairmentSettings m_settings;
    std::mt19937 m_random;
};

} // namespace Voice
