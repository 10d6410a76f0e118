// The microphone's clean-up against a simulated room: what the loudspeaker
// plays comes back into the microphone late, filtered and quieter, maybe
// under the student's own voice.

#include "voice/core/audioprocessor.h"
#include "voice/core/voiceformat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <random>
#include <vector>

namespace {

constexpr int Chunk = Voice::AudioProcessor::ChunkSamples;
constexpr int Seconds = 8;
constexpr int EchoDelayMs = 45;

// Syllables of gliding voiced sound with pauses between them, different for
// every seed: two talkers that do not move together.
std::vector<double> talker(unsigned seed, double baseHz)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<double> out(std::size_t(Seconds) * Voice::SampleRate, 0.0);
    std::size_t i = std::size_t(unit(random) * 0.2 * Voice::SampleRate);
    double phase = 0;
    while (i < out.size()) {
        const auto length = std::size_t((0.12 + 0.2 * unit(random)) * Voice::SampleRate);
        const double pitch = baseHz * (0.8 + 0.4 * unit(random));
        const double glide = (unit(random) - 0.5) * 60;
        const double loud = 0.5 + 0.5 * unit(random);
        for (std::size_t k = 0; k < length && i + k < out.size(); ++k) {
            const double x = double(k) / double(length);
            phase += 2 * M_PI * (pitch + glide * x) / Voice::SampleRate;
            double v = 0;
            for (int h = 1; h <= 12; ++h) {
                // A formant near 700 Hz, a weaker one near 1800 Hz.
                const double f = h * pitch;
                const double weight = 1.0 / (1 + std::pow((f - 700) / 300, 2))
                    + 0.5 / (1 + std::pow((f - 1800) / 400, 2)) + 0.05;
                v += weight * std::sin(h * phase);
            }
            out[i + k] = loud * std::sin(M_PI * x) * v;
        }
        i += length + std::size_t((0.05 + 0.25 * unit(random)) * Voice::SampleRate);
    }
    return out;
}

std::vector<qint16> scaled(const std::vector<double> &signal, double peak)
{
    double most = 1e-9;
    for (double v : signal)
        most = std::max(most, std::abs(v));
    std::vector<qint16> out(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i)
        out[i] = qint16(std::lround(signal[i] / most * peak));
    return out;
}

// The room: a delay, a short decaying reflection pattern, a loss, a faint
// hiss of the microphone.
std::vector<double> roomEcho(const std::vector<qint16> &played)
{
    const std::size_t delay = std::size_t(EchoDelayMs * Voice::SampleRate / 1000);
    const std::vector<std::pair<std::size_t, double>> taps
        = {{0, 0.5}, {31, -0.2}, {97, 0.12}, {230, -0.07}, {580, 0.04}};
    std::mt19937 random(7);
    std::normal_distribution<double> hiss(0, 20);
    std::vector<double> out(played.size(), 0.0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        double v = hiss(random);
        for (const auto &[lag, gain] : taps) {
            if (i >= delay + lag)
                v += gain * played[i - delay - lag];
        }
        out[i] = v;
    }
    return out;
}

// Plays `far`, hears `microphone`, tells the processor the delay the sound
// server would report.
std::vector<qint16> process(Voice::AudioProcessor &processor, const std::vector<qint16> &far,
    const std::vector<double> &microphone)
{
    std::vector<qint16> out(far.size());
    std::vector<qint16> chunk(Chunk);
    for (std::size_t at = 0; at + Chunk <= far.size(); at += Chunk) {
        processor.analyzeFarEnd(far.data() + at);
        for (int i = 0; i < Chunk; ++i)
            chunk[std::size_t(i)]
                = qint16(std::clamp(std::lround(microphone[at + std::size_t(i)]), -32768L, 32767L));
        processor.processNearEnd(chunk.data(), EchoDelayMs);
        std::copy(chunk.begin(), chunk.end(), out.begin() + std::ptrdiff_t(at));
    }
    return out;
}

double power(const std::vector<double> &signal, std::size_t from, std::size_t to)
{
    double sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += signal[i] * signal[i];
    return sum / double(to - from);
}

std::vector<double> asDouble(const std::vector<qint16> &samples)
{
    return {samples.begin(), samples.end()};
}

// RMS per 10 ms block.
std::vector<double> envelope(const std::vector<double> &signal, std::size_t from, std::size_t to)
{
    std::vector<double> out;
    for (std::size_t at = from; at + Chunk <= to; at += Chunk)
        out.push_back(std::sqrt(power(signal, at, at + Chunk)));
    return out;
}

double correlation(const std::vector<double> &a, const std::vector<double> &b)
{
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= double(a.size());
    mb /= double(b.size());
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return ab / std::sqrt(aa * bb + 1e-9);
}

} // namespace

TEST(AudioProcessor, EchoOfTheLoudspeakerIsRemovedAndTheStudentStillHeard)
{
    const std::vector<qint16> far = scaled(talker(1, 180), 12000);
    const std::vector<double> echo = roomEcho(far);
    const std::size_t settled = 2 * Voice::SampleRate; // the canceller's first two seconds
    const std::size_t end = far.size() - Chunk;

    // Echo alone, every switch at its default: the echo is pushed down by
    // 20 dB or more once the canceller has adapted.
    {
        Voice::AudioProcessor processor(Voice::AudioProcessor::Switches{});
        ASSERT_TRUE(processor.isValid());
        const std::vector<double> out = asDouble(process(processor, far, echo));
        const double erle = 10 * std::log10(power(echo, settled, end) / power(out, settled, end));
        std::cout << "echo return loss enhancement after 2 s: " << erle << " dB\n";
        EXPECT_GE(erle, 20);
    }

    // Double talk: the student speaks over the echo; the words pass, their
    // envelope follows the student's, not the loudspeaker's. (The microphone
    // itself, echo and student together, correlates 0.74 with the student.)
    {
        const std::vector<double> near = asDouble(scaled(talker(2, 120), 9000));
        std::vector<double> microphone(echo.size());
        for (std::size_t i = 0; i < echo.size(); ++i)
            microphone[i] = echo[i] + near[i];
        // Without noise suppression, which takes the steady partials of this
        // synthetic voice partly for noise (not a property of the canceller).
        Voice::AudioProcessor processor({true, false, true});
        const std::vector<double> out = asDouble(process(processor, far, microphone));
        const double withNear
            = correlation(envelope(out, settled, end), envelope(near, settled, end));
        const double withFar
            = correlation(envelope(out, settled, end), envelope(asDouble(far), settled, end));
        std::cout << "double talk: envelope correlation with the student " << withNear
                  << ", with the loudspeaker " << withFar << "\n";
        EXPECT_GE(withNear, 0.8);
        EXPECT_LT(withFar, withNear);
    }

    // Switched off, the echo goes through as it came (the high-pass filter
    // alone touches it): the switch really turns the canceller off.
    {
        Voice::AudioProcessor processor({false, false, false});
        const std::vector<double> out = asDouble(process(processor, far, echo));
        const double erle = 10 * std::log10(power(echo, settled, end) / power(out, settled, end));
        EXPECT_LT(std::abs(erle), 3);
    }
}

TEST(AudioProcessor, GainControlLiftsAQuietMicrophoneAndNoiseSuppressionQuietsHiss)
{
    // A quiet talker: gain control brings the level up towards speech level.
    const std::vector<qint16> quiet = scaled(talker(3, 150), 1000);
    const std::vector<qint16> silence(quiet.size(), 0);
    const std::size_t settled = 2 * Voice::SampleRate;
    const std::size_t end = quiet.size() - Chunk;
    Voice::AudioProcessor gain({false, false, true});
    const std::vector<double> lifted = asDouble(process(gain, silence, asDouble(quiet)));
    const double gainDb
        = 10 * std::log10(power(lifted, settled, end) / power(asDouble(quiet), settled, end));
    EXPECT_GT(gainDb, 6);

    // Steady hiss alone: noise suppression takes most of it away.
    std::mt19937 random(11);
    std::normal_distribution<double> hiss(0, 300);
    std::vector<double> noise(quiet.size());
    for (double &v : noise)
        v = hiss(random);
    Voice::AudioProcessor suppress({false, true, false});
    const std::vector<double> cleaned = asDouble(process(suppress, silence, noise));
    EXPECT_GT(10 * std::log10(power(noise, settled, end) / power(cleaned, settled, end)), 6);
}
