#include "voice/core/timestretcher.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Voice {

namespace {
// A frame quieter than this share of the voice's recent loudness (-20 dB),
// or than the floor (about -55 dBFS), is a pause.
constexpr double QuietShare = 0.1;
constexpr double QuietFloor = 60;
// The loudness remembered halves in about three seconds: a speaker who
// turns quieter is not taken for a pause for long.
constexpr double LevelDecay = 0.995;
// Below this match the frame does not repeat itself (a consonant, an onset):
// cutting it would be heard.
constexpr double VoicedMatch = 0.7;
// The period is first looked for at a quarter of the rate.
constexpr int Coarse = 4;

double correlation(const double *a, const double *b, int count)
{
    double ab = 0, aa = 0, bb = 0;
    for (int i = 0; i < count; ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

qint16 toSample(double v)
{
    return qint16(std::clamp(std::lround(v), -32768L, 32767L));
}

// Raised-cosine weight of the second of two cross-faded segments.
double fadeIn(int i, int length)
{
    return 0.5 - 0.5 * std::cos(M_PI * (i + 0.5) / length);
}
} // namespace

TimeStretcher::Match TimeStretcher::bestPeriod(const qint16 *frame, int longest) const
{
    double full[FrameSamples];
    for (int i = 0; i < FrameSamples; ++i)
        full[i] = frame[i];
    double coarse[FrameSamples / Coarse];
    for (int j = 0; j < FrameSamples / Coarse; ++j)
        coarse[j]
            = full[Coarse * j] + full[Coarse * j + 1] + full[Coarse * j + 2] + full[Coarse * j + 3];

    // The segment of one period at the frame's start against the next one:
    // the two that the cut or the insertion cross-fades.
    int coarseBest = MinPeriodSamples / Coarse;
    double coarseScore = -2;
    for (int lag = MinPeriodSamples / Coarse; lag <= longest / Coarse; ++lag) {
        const double c = correlation(coarse, coarse + lag, lag);
        if (c > coarseScore) {
            coarseScore = c;
            coarseBest = lag;
        }
    }
    Match best;
    const int from = std::max(MinPeriodSamples, coarseBest * Coarse - Coarse + 1);
    const int to = std::min(longest, coarseBest * Coarse + Coarse - 1);
    for (int lag = from; lag <= to; ++lag) {
        const double c = correlation(full, full + lag, lag);
        if (c > best.correlation) {
            best.correlation = c;
            best.period = lag;
        }
    }
    return best;
}

int TimeStretcher::process(const qint16 *frame, int wantSamples, std::vector<qint16> &out)
{
    double energy = 0;
    for (int i = 0; i < FrameSamples; ++i)
        energy += double(frame[i]) * frame[i];
    const double rms = std::sqrt(energy / FrameSamples);
    m_level = std::max(rms, m_level * LevelDecay);
    const bool quiet = rms < std::max(QuietFloor, m_level * QuietShare);
    m_lastQuiet = quiet;

    const int want = std::clamp(wantSamples, -MaxChangeSamples, MaxChangeSamples);
    const int size = std::abs(want);
    int period = 0;
    if (size >= QuietThresholdSamples && quiet) {
        period = size;
    } else if (size >= VoicedThresholdSamples && !quiet) {
        const Match match = bestPeriod(frame, std::max(MinPeriodSamples, size));
        if (match.correlation >= VoicedMatch)
            period = match.period;
    }
    if (period == 0) {
        out.insert(out.end(), frame, frame + FrameSamples);
        return 0;
    }

    if (want < 0) {
        // Two periods become one that turns from the first into the second.
        for (int i = 0; i < period; ++i) {
            const double w = fadeIn(i, period);
            out.push_back(toSample(frame[i] * (1 - w) + frame[period + i] * w));
        }
        out.insert(out.end(), frame + 2 * period, frame + FrameSamples);
        return -period;
    }
    // One period more between the first and the second, turning from the
    // second back into the first, so that the second follows it again.
    out.insert(out.end(), frame, frame + period);
    for (int i = 0; i < period; ++i) {
        const double w = fadeIn(i, period);
        out.push_back(toSample(frame[period + i] * (1 - w) + frame[i] * w));
    }
    out.insert(out.end(), frame + period, frame + FrameSamples);
    return period;
}

} // namespace Voice
