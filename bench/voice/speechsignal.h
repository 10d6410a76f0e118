#pragma once

// The voice benchmarks' test speech and the lag finder that times it: the
// same signal and the same search in every delay figure.
#include "voice/core/voiceformat.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace BenchSpeech {

// Speech-like test signal: voiced syllables with a gliding pitch, three a
// second.
inline std::vector<qint16> speech(int frames)
{
    std::vector<qint16> out(std::size_t(frames) * Voice::FrameSamples);
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / Voice::SampleRate;
        phase += 2 * M_PI * (130 + 40 * std::sin(t * 3)) / Voice::SampleRate;
        double v = 0;
        for (int h = 1; h <= 8; ++h)
            v += std::sin(h * phase) / h;
        const double syllable = std::max(0.0, std::sin(2 * M_PI * 3 * t));
        out[i] = qint16(9000 * syllable * v / 2.7);
    }
    return out;
}

// Lag of `heard` behind `sent` in samples, searched over 0..maxLag.
inline int waveformLag(const std::vector<qint16> &sent, const QList<qint16> &heard, int maxLag)
{
    int bestLag = 0;
    double best = -2;
    for (int lag = 0; lag <= maxLag; lag += 4) {
        double ab = 0, aa = 0, bb = 0;
        for (std::size_t i = 0; i < sent.size() && qsizetype(i) + lag < heard.size(); i += 2) {
            const double a = sent[i];
            const double b = heard[qsizetype(i) + lag];
            ab += a * b;
            aa += a * a;
            bb += b * b;
        }
        const double r = ab / std::sqrt(aa * bb + 1);
        if (r > best) {
            best = r;
            bestLag = lag;
        }
    }
    return bestLag;
}

} // namespace BenchSpeech
