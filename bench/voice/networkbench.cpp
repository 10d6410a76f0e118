// Speech across a poor network, on a simulated clock (the same call the unit
// tests play): how closely the heard speech follows the sent speech at the
// loss, jitter and reordering of a poor classroom network, against the same
// speech on a clean network in the same run; the bits a stream costs; and
// how far the delay wanders in an hour when the speaker's clock runs off;
// and how soon the delay comes back after one stall of the sender or the
// network, against the same call without it.
// Targets: envelope correlation at least 0.8 at 5 % loss and 150 ms jitter,
// at most 40 kbit/s a stream, at most 100 ms of delay drift in 60 min, the
// delay back within 10 ms of before at most 3 s after a stall.

#include "bench/report/figures.h"
#include "voice/core/voiceformat.h"
#include "voice/core/wavreader.h"
#include "voice/tests/impairedcall.h"
#include "voice/tests/testspeech.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int EnvelopeBlock = 480; // 10 ms
constexpr int Seeds = 7;
// IPv4 and UDP headers of each datagram.
constexpr int IpUdpBytes = 28;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    double correlation = 0; // whole speech at one lag
    double segmented = 0; // a second at a time, each at its own lag
    double kbits = 0; // on the wire, IP and UDP headers included
};

Figures playMedian(const QList<qint16> &speech, Voice::ImpairmentSettings impairment)
{
    std::vector<double> correlations, segmented, kbits;
    const QList<double> sent = TestSpeech::Envelope(speech, EnvelopeBlock);
    for (quint32 seed = 1; seed <= Seeds; ++seed) {
        impairment.seed = seed;
        const ImpairedCall::Result call = ImpairedCall::Run(speech, impairment);
        const QList<double> heard = TestSpeech::Envelope(call.heard, EnvelopeBlock);
        const TestSpeech::Alignment at = TestSpeech::Align(sent, heard, 60);
        correlations.push_back(at.correlation);
        segmented.push_back(TestSpeech::SegmentedCorrelation(sent, heard, at.lagBlocks, 100, 6));
        kbits.push_back(call.payloadKbits + IpUdpBytes * 8.0 * (1000 / Voice::FrameMs) / 1000);
    }
    return {median(correlations), median(segmented), median(kbits)};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    BenchFigures figures(u"voice network"_s);

    QTemporaryDir dir;
    QString error;
    const QString path = dir.filePath(u"speech.wav"_s);
    if (!TestSpeech::Make(path, &error)) {
        std::fprintf(stderr, "no test speech: %s\n", qPrintable(error));
        return 1;
    }
    const QList<qint16> once = Voice::LoadWavAs48kMono(path, &error);
    const QList<qint16> speech = QList<qint16>(Voice::SampleRate, 0) + once + once + once;

    std::printf("Heard speech against sent speech, envelope correlation, median of %d seeds "
                "(%.1f s of speech):\n",
        Seeds, double(speech.size()) / Voice::SampleRate);
    const Figures clean = playMedian(speech, {});
    std::printf("  clean network: %.3f (a second at a time %.3f), %.1f kbit/s\n", clean.correlation,
        clean.segmented, clean.kbits);
    struct Row {
        const char *name;
        Voice::ImpairmentSettings impairment;
    };
    const Row rows[] = {
        {"5 % loss, 150 ms jitter", {5, 150, 0, 1}},
        {"5 % loss, 150 ms jitter, 5 % reordered", {5, 150, 5, 1}},
        {"10 % loss, 150 ms jitter", {10, 150, 0, 1}},
        {"5 % loss", {5, 0, 0, 1}},
    };
    for (const Row &row : rows) {
        const Figures f = playMedian(speech, row.impairment);
        // The target is set for loss and jitter; reordering on top is shown
        // beside it (the buffer's delay steps up while it learns how late
        // the overtaken packets come, which a single lag counts against it).
        const bool target = row.impairment.lossPercent == 5 && row.impairment.jitterMs == 150
            && row.impairment.reorderPercent == 0;
        std::printf("  %s: %.3f (a second at a time %.3f), ratio to clean %.2f, %.1f kbit/s%s\n",
            row.name, f.correlation, f.segmented, f.correlation / clean.correlation, f.kbits,
            target ? "; target 0.8" : "");
        const QString name = QString::fromUtf8(row.name);
        figures.add(u"voice/network/heard speech, "_s + name, u"envelope correlation, median"_s,
            f.correlation, u"clean network"_s, clean.correlation,
            target ? BenchFigures::Target::ValueAtLeast : BenchFigures::Target::None, 0.8);
        figures.add(u"voice/network/bits a stream, "_s + name,
            u"kbit/s on the wire (IP and UDP included), median"_s, f.kbits, u"clean network"_s,
            clean.kbits, BenchFigures::Target::ValueAtMost, 40);
    }

    std::printf("\nDelay drift over 60 min, 5 %% loss, 150 ms jitter, 5 %% reordered "
                "(median delay of the last minute against the second):\n");
    std::vector<double> drifts;
    const std::pair<double, double> clocks[]
        = {{0.001, 0}, {-0.001, 0}, {0, 0.001}, {0, -0.001}, {0, 0}};
    for (const auto &[speaker, listener] : clocks) {
        const std::vector<double> minutes
            = ImpairedCall::DelayByMinute(speaker, {5, 150, 5, 3}, 60, listener);
        const double drift = std::abs(minutes.back() - minutes[1]);
        const auto [lo, hi] = std::minmax_element(minutes.begin() + 1, minutes.end());
        std::printf("  speaker's clock %+.1f %%, listener's %+.1f %%: %.0f ms -> %.0f ms "
                    "(range %.0f..%.0f)\n",
            speaker * 100, listener * 100, minutes[1], minutes.back(), *lo, *hi);
        drifts.push_back(std::max(drift, *hi - *lo));
    }
    const double worst = *std::max_element(drifts.begin(), drifts.end());
    std::printf("  worst drift or range %.0f ms; target 100 ms\n", worst);
    figures.add(u"voice/network/delay drift in 60 min, a clock off 0.1 %"_s,
        u"ms, worst of either card fast or slow, and even"_s, worst, {}, 0,
        BenchFigures::Target::ValueAtMost, 100);

    // The speaker stops for 80 ms in mid-speech, at a few places of it.
    std::printf("\nOne stall of the sender or the network in mid-speech (400 ms windows):\n");
    std::vector<double> settled, after, calmAfter;
    for (const qint64 at : {3000, 4000, 5000, 6500, 8000}) {
        const ImpairedCall::StallRecovery r = ImpairedCall::RunStall(speech, {at, 80});
        std::printf("  80 ms at %.1f s: delay %.1f ms before, back within 10 ms after %.0f ms, "
                    "%.1f ms at the end (%.1f ms without the stall)\n",
            double(at) / 1000, r.beforeMs, r.settledAfterMs, r.afterMs, r.calmAfterMs);
        settled.push_back(r.settledAfterMs < 0 ? 1e9 : r.settledAfterMs / 1000);
        after.push_back(r.afterMs);
        calmAfter.push_back(r.calmAfterMs);
    }
    figures.add(u"voice/network/one 80 ms stall in mid-speech"_s,
        u"s until the delay is back within 10 ms, median"_s, median(settled), {}, 0,
        BenchFigures::Target::ValueAtMost, 3);
    figures.add(u"voice/network/one 80 ms stall in mid-speech"_s, u"delay at the end, ms, median"_s,
        median(after), u"the same call without the stall"_s, median(calmAfter));
    return 0;
}
