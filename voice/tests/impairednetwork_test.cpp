// Speech across a poor network on a simulated clock: loss, jitter and
// reordering as the local classroom server's relay makes them, the sender's
// clock running fast or slow against the listener's.
#include "voice/core/jitterbuffer.h"
#include "voice/core/networkimpairment.h"
#include "voice/core/voiceencoder.h"
#include "voice/core/wavreader.h"
#include "voice/tests/impairedcall.h"
#include "voice/tests/testspeech.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <vector>

using namespace Voice;

namespace {

constexpr int EnvelopeBlock = 480; // 10 ms

QList<qint16> Sentence()
{
    static const QList<qint16> speech = [] {
        QTemporaryDir dir;
        QString error;
        const QString path = dir.filePath(QStringLiteral("speech.wav"));
        if (!TestSpeech::Make(path, &error))
            return QList<qint16>();
        const QList<qint16> once = LoadWavAs48kMono(path, &error);
        // A second of silence first, as when the floor is granted before
        // the student starts talking; three times over, long enough for the
        // loss figure to settle.
        return QList<qint16>(SampleRate, 0) + once + once + once;
    }();
    return speech;
}

struct Heard {
    double correlation = 0; // whole sentence, one lag
    double segmented = 0; // one second at a time, each at its own lag
};

Heard Compare(const QList<qint16> &sent, const QList<qint16> &heard)
{
    const QList<double> a = TestSpeech::Envelope(sent, EnvelopeBlock);
    const QList<double> b = TestSpeech::Envelope(heard, EnvelopeBlock);
    const TestSpeech::Alignment at = TestSpeech::Align(a, b, 60);
    return {at.correlation, TestSpeech::SegmentedCorrelation(a, b, at.lagBlocks, 100, 6)};
}

} // namespace

TEST(ImpairedNetwork, SpeechKeepsItsShapeThroughLossJitterAndReordering)
{
    const QList<qint16> speech = Sentence();
    ASSERT_GT(speech.size(), 3 * SampleRate);

    const ImpairedCall::Result clean = ImpairedCall::Run(speech, {});
    const ImpairedCall::Result poor = ImpairedCall::Run(speech, {5, 150, 0, 7});
    const ImpairedCall::Result reordered = ImpairedCall::Run(speech, {5, 150, 5, 7});
    const Heard cleanMatch = Compare(speech, clean.heard);
    const Heard poorMatch = Compare(speech, poor.heard);
    const Heard reorderedMatch = Compare(speech, reordered.heard);
    std::cout << "clean " << cleanMatch.correlation << " / " << cleanMatch.segmented
              << "; 5 % loss, 150 ms jitter " << poorMatch.correlation << " / "
              << poorMatch.segmented << ", 5 % reordered too " << reorderedMatch.correlation
              << " / " << reorderedMatch.segmented << "; " << poor.payloadKbits
              << " kbit/s, expected loss " << poor.lastExpectedLoss << " %\n";
    EXPECT_GT(cleanMatch.correlation, 0.9);
    EXPECT_GE(poorMatch.correlation, 0.8);
    EXPECT_GE(poorMatch.segmented, 0.8);
    // Reordered packets move the delay while the buffer learns them: a
    // second at a time, the speech keeps its shape.
    EXPECT_GE(reorderedMatch.segmented, 0.8);
    EXPECT_LE(poor.payloadKbits, 40);
    // The speaker's redundancy follows what the listener measured.
    EXPECT_GE(poor.lastExpectedLoss, 3);
    EXPECT_LE(poor.lastExpectedLoss, 9);
    EXPECT_EQ(clean.lastExpectedLoss, 0);

    // Nothing but loss and reordering of every packet: what is heard is
    // concealment, never a crash or noise louder than the speech.
    const ImpairedCall::Result dead = ImpairedCall::Run(speech, {100, 0, 0, 7});
    const auto loudest = [](const QList<qint16> &s) {
        int peak = 0;
        for (const qint16 v : s)
            peak = std::max(peak, std::abs(int(v)));
        return peak;
    };
    EXPECT_EQ(loudest(dead.heard), 0);
    const ImpairedCall::Result shuffled = ImpairedCall::Run(speech, {0, 0, 100, 7});
    EXPECT_GE(Compare(speech, shuffled.heard).correlation, 0.9);
}

TEST(ImpairedNetwork, SameSeedSameDecisionsAndTheSharesAsSet)
{
    NetworkImpairment a({5, 150, 10, 42}), b({5, 150, 10, 42}), other({5, 150, 10, 43});
    int lost = 0, held = 0, differ = 0, maxDelay = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::optional<int> x = a.delayFor();
        const std::optional<int> y = b.delayFor();
        ASSERT_EQ(x, y);
        differ += other.delayFor() != x;
        lost += !x;
        if (x) {
            held += *x > 150;
            maxDelay = std::max(maxDelay, *x);
        }
    }
    EXPECT_NEAR(lost, 1000, 150);
    EXPECT_NEAR(held, 20000 * 0.95 * 0.10 * 0.27, 150); // reordered and jittered past 150
    EXPECT_LE(maxDelay, 150 + NetworkImpairment::ReorderMs);
    EXPECT_GT(differ, 10000);
}

TEST(ImpairedNetwork, DelayHoldsStillForAnHourWhateverTheSoundCardsClocks)
{
    // A sound card's clock is off by a few hundred parts per million; a
    // tenth of a percent is an hour's 3.6 s either way, at the speaker's
    // card (frames sent) or at the listener's (frames played).
    struct Clocks {
        double speaker;
        double listener;
    };
    for (const Clocks c :
        {Clocks{0.001, 0}, Clocks{-0.001, 0}, Clocks{0, 0.001}, Clocks{0, -0.001}, Clocks{0, 0}}) {
        const std::vector<double> medians
            = ImpairedCall::DelayByMinute(c.speaker, {5, 150, 5, 3}, 60, c.listener);
        ASSERT_EQ(medians.size(), 60u);
        const auto [lo, hi] = std::minmax_element(medians.begin() + 1, medians.end());
        std::cout << "speaker's clock " << c.speaker * 100 << " %, listener's " << c.listener * 100
                  << " %: delay " << medians[1] << " ms after a minute, " << medians.back()
                  << " ms after an hour (" << *lo << ".." << *hi << ")\n";
        EXPECT_LE(std::abs(medians.back() - medians[1]), 100);
        EXPECT_LE(*hi - *lo, 100);
        // The delay the jitter asks for, not seconds of backlog.
        EXPECT_LE(*hi, 400);
    }
}

TEST(ImpairedNetwork, AStallIsPlayedBackOutOfTheSpeechWithinSeconds)
{
    // The speaker's program stops for 80 ms in mid-sentence (a busy
    // machine): what it then sends at once has to wait behind the
    // concealment, and that delay is taken back out of pauses and pitch
    // periods, without a word lost, instead of staying for seconds.
    const QList<qint16> speech = Sentence();
    const ImpairedCall::StallRecovery r = ImpairedCall::RunStall(speech, {4000, 80}, false);
    std::cout << "stall of 80 ms: delay " << r.beforeMs << " ms before, " << r.highestMs
              << " ms at most, back within 10 ms after " << r.settledAfterMs << " ms, " << r.afterMs
              << " ms at the end\n";
    ASSERT_GT(r.beforeMs, 0);
    // The stall was heard: for a moment the speech came later.
    EXPECT_GE(r.highestMs, r.beforeMs + 40);
    EXPECT_GT(r.settledAfterMs, 0);
    EXPECT_LE(r.settledAfterMs, 3000);
    // Speech keeps its shape through the stall and the catching up.
    EXPECT_GE(Compare(speech, r.heard).segmented, 0.9);
}
