#include "voice/core/noisesuppressor.h"
#include "voice/core/voicedecoder.h"
#include "voice/core/voiceencoder.h"
#include "voice/core/voiceformat.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace Voice;

namespace {

// A vowel-like sound: a 150 Hz pitch with a few harmonics.
std::vector<qint16> voiced(int frames, double amplitude = 8000)
{
    std::vector<qint16> out(std::size_t(frames) * FrameSamples);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = double(i) / SampleRate;
        double v = 0;
        for (int h = 1; h <= 5; ++h)
            v += std::sin(2 * M_PI * 150 * h * t) / h;
        out[i] = qint16(amplitude * v / 2.3);
    }
    return out;
}

double energy(const qint16 *samples, std::size_t count)
{
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    return sum / double(count);
}

// Normalised correlation of a and b, b shifted left by `lag`.
double correlation(const std::vector<qint16> &a, const std::vector<qint16> &b, int lag)
{
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i + std::size_t(lag) < b.size() && i < a.size(); ++i) {
        ab += double(a[i]) * b[i + std::size_t(lag)];
        aa += double(a[i]) * a[i];
        bb += double(b[i + std::size_t(lag)]) * b[i + std::size_t(lag)];
    }
    return ab / std::sqrt(aa * bb + 1);
}

std::vector<qint16> roundTrip(const std::vector<qint16> &in)
{
    VoiceEncoder encoder;
    VoiceDecoder decoder;
    std::vector<qint16> out(in.size());
    for (std::size_t f = 0; f < in.size() / FrameSamples; ++f) {
        const QByteArray packet = encoder.encode(in.data() + f * FrameSamples);
        EXPECT_FALSE(packet.isEmpty());
        EXPECT_TRUE(decoder.decode(packet, out.data() + f * FrameSamples));
    }
    return out;
}

} // namespace

TEST(VoiceCodec, RoundTripKeepsTheWaveformAfterTheLookahead)
{
    const std::vector<qint16> in = voiced(50);
    const std::vector<qint16> out = roundTrip(in);
    VoiceEncoder encoder;
    const int delay = encoder.lookahead();
    EXPECT_EQ(delay, 312); // 6.5 ms at 48 kHz
    // Skip the codec's start-up; the decoded stream lags by the look-ahead.
    std::vector<qint16> a(in.begin() + 4800, in.end() - 960);
    std::vector<qint16> b(out.begin() + 4800, out.end());
    int bestLag = 0;
    double best = -1;
    for (int lag = 0; lag < 960; ++lag) {
        const double c = correlation(a, b, lag);
        if (c > best) {
            best = c;
            bestLag = lag;
        }
    }
    // Voice mode keeps the waveform only roughly, but at the codec's delay.
    EXPECT_GT(best, 0.75);
    EXPECT_NEAR(bestLag, delay, 48);
}

TEST(VoiceCodec, VoiceBitrateIsAroundTheSetting)
{
    VoiceEncoder encoder;
    const std::vector<qint16> in = voiced(50);
    qsizetype bytes = 0;
    for (int f = 0; f < 50; ++f)
        bytes += encoder.encode(in.data() + f * FrameSamples).size();
    const double kbps = bytes * 8.0 / 1000.0; // 50 frames = one second
    EXPECT_GT(kbps, 12);
    EXPECT_LT(kbps, 32);
}

TEST(VoiceCodec, DamagedPacketIsConcealedAtFullFrameLength)
{
    VoiceEncoder encoder;
    VoiceDecoder decoder;
    const std::vector<qint16> in = voiced(3);
    std::vector<qint16> out(FrameSamples, 1234);
    ASSERT_TRUE(decoder.decode(encoder.encode(in.data()), out.data()));
    // A TOC byte announcing a 60 ms frame: the wrong length for our clock.
    const QByteArray wrongDuration = QByteArray::fromHex("1b") + QByteArray(40, '\x55');
    EXPECT_FALSE(decoder.decode(wrongDuration, out.data()));
    EXPECT_FALSE(decoder.decode(QByteArray(), out.data()));
    // Whatever came in, the frame is whole and the decoder still works.
    EXPECT_TRUE(decoder.decode(encoder.encode(in.data() + FrameSamples), out.data()));
}

TEST(NoiseSuppression, QuietsSteadyNoiseAndKeepsVoice)
{
    NoiseSuppressor suppressor;
    ASSERT_TRUE(suppressor.isValid());
    QRandomGenerator random(42);
    std::vector<qint16> frame(FrameSamples);
    double noiseIn = 0, noiseOut = 0;
    // Two seconds of noise to learn it, then one more second measured.
    for (int f = 0; f < 150; ++f) {
        for (auto &s : frame)
            s = qint16(random.bounded(-1500, 1500));
        const double before = energy(frame.data(), frame.size());
        suppressor.process(frame.data());
        if (f >= 100) {
            noiseIn += before;
            noiseOut += energy(frame.data(), frame.size());
        }
    }
    EXPECT_LT(noiseOut, noiseIn / 10); // at least 10 dB less noise

    std::vector<qint16> voice = voiced(25, 12000);
    const double voiceIn = energy(voice.data(), voice.size());
    for (int f = 0; f < 25; ++f)
        suppressor.process(voice.data() + f * FrameSamples);
    EXPECT_GT(energy(voice.data() + 10 * FrameSamples, 15 * FrameSamples), voiceIn / 4);
}

TEST(VoiceLevel, PeakOnTheReportScale)
{
    const qint16 loudest[] = {0, -32768, 100};
    const qint16 quiet[] = {3, -7, 5};
    EXPECT_EQ(PeakLevel(loudest, 3), 32768);
    EXPECT_EQ(PeakLevel(quiet, 3), 7);
    EXPECT_EQ(PeakLevel(quiet, 0), 0);
}
