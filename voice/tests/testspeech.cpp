#include "voice/tests/testspeech.h"

#include "voice/core/voiceformat.h"
#include "voice/core/wavwriter.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <cmath>

using namespace Qt::StringLiterals;

namespace TestSpeech {

namespace {

bool synthesise(const QString &path, QString *error)
{
    // Syllables of 120-300 ms with a gliding pitch, separated by pauses.
    QList<qint16> samples;
    const int lengths[] = {180, 240, 120, 300, 160, 220, 260, 140};
    double phase = 0;
    for (int n = 0; n < 8; ++n) {
        const int count = lengths[n] * Voice::SampleRate / 1000;
        for (int i = 0; i < count; ++i) {
            const double pitch = 120 + 60 * double(i) / count + 10 * n;
            phase += 2 * M_PI * pitch / Voice::SampleRate;
            const double shape = std::sin(M_PI * i / count);
            double v = 0;
            for (int h = 1; h <= 8; ++h)
                v += std::sin(h * phase) / h;
            samples << qint16(9000 * shape * v / 2.7);
        }
        samples.append(QList<qint16>((80 + 40 * (n % 3)) * Voice::SampleRate / 1000, 0));
    }
    Voice::WavWriter writer;
    if (!writer.open(path) || !writer.write(samples.constData(), int(samples.size()))) {
        *error = writer.errorString();
        return false;
    }
    writer.close();
    return true;
}

} // namespace

bool Make(const QString &path, QString *error)
{
    const QString espeak = QStandardPaths::findExecutable(u"espeak-ng"_s);
    if (!espeak.isEmpty()) {
        QProcess process;
        process.start(espeak,
            {u"-w"_s, path, u"-s"_s, u"150"_s,
                u"The quick brown fox jumps over the lazy dog near the river bank."_s});
        // A test may wait on a helper program it started; the product never does.
        if (process.waitForFinished(20000) && process.exitCode() == 0)
            return true;
    }
    return synthesise(path, error);
}

QList<double> Envelope(const QList<qint16> &samples, int blockSamples)
{
    QList<double> out;
    for (qsizetype at = 0; at + blockSamples <= samples.size(); at += blockSamples) {
        double sum = 0;
        for (int i = 0; i < blockSamples; ++i)
            sum += double(samples[at + i]) * samples[at + i];
        out << std::sqrt(sum / blockSamples);
    }
    return out;
}

namespace {

double maxOf(const QList<double> &values)
{
    double m = 0;
    for (double v : values)
        m = std::max(m, v);
    return m;
}

double decibels(double rms)
{
    return 20 * std::log10(rms + 1.0);
}

// Pearson correlation of the envelopes in dB over sent[from, to) against
// heard shifted by `lag`, counting only blocks where the sender speaks;
// -2 when too few blocks count.
double envelopeCorrelation(const QList<double> &sent, const QList<double> &heard, int lag,
    qsizetype from, qsizetype to, double active)
{
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    int n = 0;
    for (qsizetype i = from; i < to && i < sent.size() && i + lag < heard.size(); ++i) {
        if (sent[i] < active)
            continue;
        const double a = decibels(sent[i]);
        const double b = decibels(heard[i + lag]);
        sa += a;
        sb += b;
        saa += a * a;
        sbb += b * b;
        sab += a * b;
        ++n;
    }
    if (n < 20)
        return -2;
    const double cov = sab - sa * sb / n;
    const double va = saa - sa * sa / n;
    const double vb = sbb - sb * sb / n;
    return cov / std::sqrt(va * vb + 1e-9);
}

} // namespace

Alignment Align(const QList<double> &sent, const QList<double> &heard, int maxLagBlocks)
{
    const double active = maxOf(sent) / 30; // about -30 dB below the peak
    Alignment best{0, -2};
    for (int lag = 0; lag <= maxLagBlocks; ++lag) {
        const double r = envelopeCorrelation(sent, heard, lag, 0, sent.size(), active);
        if (r > best.correlation)
            best = {lag, r};
    }
    return best;
}

double SegmentedCorrelation(const QList<double> &sent, const QList<double> &heard, int lagBlocks,
    int segmentBlocks, int slackBlocks)
{
    const double active = maxOf(sent) / 30;
    double sum = 0;
    int segments = 0;
    for (qsizetype from = 0; from < sent.size(); from += segmentBlocks) {
        double best = -2;
        for (int lag = std::max(0, lagBlocks - slackBlocks); lag <= lagBlocks + slackBlocks; ++lag)
            best = std::max(
                best, envelopeCorrelation(sent, heard, lag, from, from + segmentBlocks, active));
        if (best > -2) {
            sum += best;
            ++segments;
        }
    }
    return segments ? sum / segments : -2;
}

int RefineLag(const QList<qint16> &sent, const QList<qint16> &heard, int coarseLag, int search)
{
    int bestLag = coarseLag;
    double best = -2;
    for (int lag = std::max(0, coarseLag - search); lag <= coarseLag + search; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (qsizetype i = 0; i < sent.size() && i + lag < heard.size(); ++i) {
            const double a = sent[i];
            const double b = heard[i + lag];
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

int LongestDropout(const QList<double> &sent, const QList<double> &heard, int lagBlocks)
{
    const double active = maxOf(sent) / 10;
    int longest = 0;
    int run = 0;
    for (qsizetype i = 0; i < sent.size() && i + lagBlocks < heard.size(); ++i) {
        if (sent[i] >= active && heard[i + lagBlocks] < 1.0)
            longest = std::max(longest, ++run);
        else
            run = 0;
    }
    return longest;
}

} // namespace TestSpeech
