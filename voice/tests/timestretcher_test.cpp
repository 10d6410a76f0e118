#include "voice/core/timestretcher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

using namespace Voice;

namespace {

using Signal = std::function<double(qint64 sample)>;

std::vector<qint16> frameOf(const Signal &signal, qint64 first)
{
    std::vector<qint16> frame(FrameSamples);
    for (int i = 0; i < FrameSamples; ++i)
        frame[std::size_t(i)] = qint16(std::lround(signal(first + i)));
    return frame;
}

// Plays `frames` frames of `signal`, each asking for what is still missing
// of `totalChange`; the output and the change made.
std::pair<std::vector<qint16>, int> Stretch(const Signal &signal, int frames, int totalChange)
{
    TimeStretcher stretcher;
    std::vector<qint16> out;
    int changed = 0;
    for (int f = 0; f < frames; ++f) {
        const std::vector<qint16> frame = frameOf(signal, qint64(f) * FrameSamples);
        const std::size_t before = out.size();
        const int made = stretcher.process(frame.data(), totalChange - changed, out);
        EXPECT_EQ(out.size() - before, std::size_t(FrameSamples + made));
        changed += made;
    }
    return {out, changed};
}

Signal Sine(double hz, double amplitude)
{
    return [=](qint64 n) { return amplitude * std::sin(2 * M_PI * hz * double(n) / SampleRate); };
}

} // namespace

TEST(TimeStretcher, ChangesTheLengthAsAskedAndASineStaysASine)
{
    // Periods of a whole number of samples and of none (the cut can only
    // be near a period): either way no seam may be heard.
    for (const double hz : {150.0, 220.0, 137.0}) {
        const double amplitude = 10000;
        const double step = amplitude * 2 * M_PI * hz / SampleRate; // steepest slope
        for (const int total : {-SampleRate / 10, SampleRate / 10}) {
            const auto [out, changed] = Stretch(Sine(hz, amplitude), 50, total);
            // Exactly as asked, but for a rest below what speech is cut for.
            EXPECT_LE(std::abs(total - changed), TimeStretcher::VoicedThresholdSamples)
                << hz << " Hz, " << total;
            EXPECT_EQ(out.size(), std::size_t(50 * FrameSamples + changed));
            // A click shows as a sample step steeper than the sine's, or as a
            // kink (second difference) far beyond its curvature.
            double steepest = 0, kink = 0;
            for (std::size_t i = 1; i + 1 < out.size(); ++i) {
                steepest = std::max(steepest, std::abs(double(out[i + 1]) - out[i]));
                kink = std::max(kink, std::abs(double(out[i + 1]) - 2.0 * out[i] + out[i - 1]));
            }
            EXPECT_LE(steepest, step + 3) << hz << " Hz, " << total;
            EXPECT_LE(kink, step * step / amplitude * 2 + 4) << hz << " Hz, " << total;
            // Neither louder nor fainter anywhere: every 10 ms keeps its peak.
            for (std::size_t at = 0; at + 480 <= out.size(); at += 480) {
                int peak = 0;
                for (std::size_t i = at; i < at + 480; ++i)
                    peak = std::max(peak, std::abs(int(out[i])));
                EXPECT_NEAR(peak, amplitude, amplitude * 0.01) << hz << " Hz at " << at;
            }
        }
    }
}

TEST(TimeStretcher, PausesAreShortenedFirstAndWhatDoesNotRepeatIsNeverCut)
{
    // A voiced sound of several harmonics, with a near-silent pause every
    // fourth frame.
    const auto voiced = [](qint64 n) {
        double v = 0;
        for (int h = 1; h <= 6; ++h)
            v += std::sin(2 * M_PI * 160 * h * double(n) / SampleRate) / h;
        return 6000 * v;
    };
    std::mt19937 random(5);
    std::normal_distribution<double> hiss(0, 20);
    TimeStretcher stretcher;
    std::vector<qint16> out;
    int voicedChange = 0, quietChange = 0;
    const auto play = [&](int want) {
        for (int f = 0; f < 40; ++f) {
            const bool pause = f % 4 == 3;
            std::vector<qint16> frame = frameOf(voiced, qint64(f) * FrameSamples);
            if (pause) {
                for (qint16 &s : frame)
                    s = qint16(std::lround(hiss(random)));
            }
            const int made = stretcher.process(frame.data(), want, out);
            EXPECT_EQ(stretcher.lastQuiet(), pause) << "frame " << f;
            (pause ? quietChange : voicedChange) += made;
        }
    };
    // A few milliseconds too much: only the pauses give them back.
    play(-3 * SampleRate / 1000);
    EXPECT_EQ(voicedChange, 0);
    EXPECT_EQ(quietChange, -10 * 3 * SampleRate / 1000);
    // Lengthening too.
    quietChange = 0;
    play(2 * SampleRate / 1000);
    EXPECT_EQ(voicedChange, 0);
    EXPECT_EQ(quietChange, 10 * 2 * SampleRate / 1000);
    // Much too much: the speech gives a pitch period a frame as well.
    quietChange = 0;
    play(-TimeStretcher::MaxChangeSamples);
    EXPECT_LE(voicedChange, -30 * SampleRate / 160);
    EXPECT_EQ(quietChange, -10 * TimeStretcher::MaxChangeSamples);

    // Loud noise (a hiss, a consonant) has no period to cut: left whole,
    // however much is asked.
    std::normal_distribution<double> loud(0, 4000);
    for (int f = 0; f < 10; ++f) {
        std::vector<qint16> frame(FrameSamples);
        for (qint16 &s : frame)
            s = qint16(std::lround(loud(random)));
        EXPECT_EQ(stretcher.process(frame.data(), -TimeStretcher::MaxChangeSamples, out), 0);
        EXPECT_EQ(stretcher.process(frame.data(), TimeStretcher::MaxChangeSamples, out), 0);
    }
}
