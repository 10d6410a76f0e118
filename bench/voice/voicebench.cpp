// CPU per voice stream and the engine's share of mouth-to-ear delay, in one
// run. Ratios are against the targets: 1 % of one core per stream, 60 ms of
// delay (of which the 20 ms frame and Opus's look-ahead, 26.5 ms, are fixed).

#include "voice/api/vocanaapi.h"
#include "voice/core/jitterbuffer.h"
#include "voice/core/noisesuppressor.h"
#include "voice/core/voicedecoder.h"
#include "voice/core/voiceencoder.h"
#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"
#include "voice/core/wavreader.h"
#include "voice/core/wavwriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QLibrary>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Speech-like test signal: voiced syllables with a gliding pitch.
std::vector<qint16> speech(int frames)
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

// Share of one core for one 20 ms frame: seconds per frame * 100 / 0.02.
benchmark::Counter coreShare()
{
    return benchmark::Counter(
        1.0 / 5000.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SpeakFrame(benchmark::State &state)
{
    const bool suppress = state.range(0) != 0;
    const std::vector<qint16> signal = speech(100);
    Voice::VoiceEncoder encoder;
    Voice::NoiseSuppressor suppressor;
    std::vector<qint16> frame(Voice::FrameSamples);
    quint16 sequence = 0;
    std::size_t f = 0;
    for (auto _ : state) {
        std::copy_n(signal.begin() + qsizetype(f * Voice::FrameSamples), Voice::FrameSamples,
            frame.begin());
        f = (f + 1) % 100;
        if (suppress)
            suppressor.process(frame.data());
        benchmark::DoNotOptimize(Voice::PeakLevel(frame.data(), Voice::FrameSamples));
        Voice::PacketHeader header;
        header.sequence = sequence++;
        benchmark::DoNotOptimize(Voice::EncodeVoicePacket(header, encoder.encode(frame.data())));
    }
    state.counters["core_%"] = coreShare();
}
BENCHMARK(BM_SpeakFrame)->Arg(1)->Arg(0)->ArgName("noise_suppression");

void BM_ListenFrame(benchmark::State &state)
{
    const std::vector<qint16> signal = speech(100);
    Voice::VoiceEncoder encoder;
    std::vector<QByteArray> datagrams;
    for (int f = 0; f < 100; ++f) {
        Voice::PacketHeader header;
        header.sequence = quint16(f);
        datagrams.push_back(Voice::EncodeVoicePacket(
            header, encoder.encode(signal.data() + std::size_t(f) * Voice::FrameSamples)));
    }
    Voice::JitterBuffer buffer;
    Voice::VoiceDecoder decoder;
    std::vector<qint16> out(Voice::FrameSamples);
    qint64 n = 0;
    for (auto _ : state) {
        // The sequence runs on across laps so the buffer sees one stream.
        QByteArray datagram = datagrams[std::size_t(n % 100)];
        datagram[0] = char(n & 0xff);
        datagram[1] = char((n >> 8) & 0xff);
        for (const Voice::VoicePacket &p : Voice::SplitVoiceDatagram(datagram).packets)
            buffer.push(p.header.sequence, p.payload, n * Voice::FrameMs);
        const Voice::PlayoutFrame frame = buffer.pop();
        if (frame.action == Voice::PlayoutAction::Decode)
            decoder.decode(frame.payload, out.data());
        else
            decoder.conceal(frame.payload, out.data());
        benchmark::DoNotOptimize(out.data());
        ++n;
    }
    state.counters["core_%"] = coreShare();
}
BENCHMARK(BM_ListenFrame);

void BM_ConcealFrame(benchmark::State &state)
{
    Voice::VoiceEncoder encoder;
    Voice::VoiceDecoder decoder;
    const std::vector<qint16> signal = speech(1);
    std::vector<qint16> out(Voice::FrameSamples);
    decoder.decode(encoder.encode(signal.data()), out.data());
    for (auto _ : state) {
        decoder.conceal({}, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["core_%"] = coreShare();
}
BENCHMARK(BM_ConcealFrame);

// ---- Delay: two engines on loopback, through their exported calls. ----

struct Calls {
    VocanaTextCall init = nullptr;
    VocanaRecordCall startSpeak = nullptr;
    VocanaTextCall stopSpeak = nullptr;
    VocanaRecordCall startListen = nullptr;
    VocanaNumberCall stopListen = nullptr;
    VocanaNumberCall release = nullptr;
    VocanaWaveFilesCall setFiles = nullptr;
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Lag of `heard` behind `sent` in samples, searched over 0..maxLag.
int waveformLag(const std::vector<qint16> &sent, const QList<qint16> &heard, int maxLag)
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

// Mouth (the speaker's file clock) to ear (the listener's file clock), ms.
// `phaseMs` shifts the speaker's frames against the listener's playout
// ticks; a sound card's clock meets the network at any phase.
double measureDelay(
    const Calls &c, const QString &dir, const std::vector<qint16> &signal, int phaseMs)
{
    const QString speechPath = dir + u"/speech.wav"_s;
    const QString heardPath = dir + u"/heard.wav"_s;
    {
        Voice::WavWriter writer;
        writer.open(speechPath);
        writer.write(signal.data(), int(signal.size()));
    }
    const QByteArray mic = speechPath.toUtf8();
    const QByteArray play = heardPath.toUtf8();
    const VocanaWaveFiles speakerFiles{mic.constData(), nullptr};
    const VocanaWaveFiles listenerFiles{nullptr, play.constData()};
    c.init(101, "");
    c.init(102, "");
    c.setFiles(101, &speakerFiles);
    c.setFiles(102, &listenerFiles);

    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    const auto port = qint32(probe.localPort());
    probe.close();

    QElapsedTimer clock;
    clock.start();
    const VocanaAddressRecord listen{0, 0, 0x7F000001, port};
    c.startListen(102, &listen);
    const qint64 listenStarted = clock.nsecsElapsed();
    if (phaseMs > 0)
        runFor(phaseMs);
    const VocanaAddressRecord speak{1, Vocana::LevelMessage, 0x7F000001, port};
    c.startSpeak(101, &speak);
    const qint64 speakStarted = clock.nsecsElapsed();
    runFor(int(signal.size() * 1000 / Voice::SampleRate) + 400);
    const int32_t zero = 0;
    c.stopSpeak(101, "");
    c.stopListen(102, &zero);
    c.release(101, &zero);
    c.release(102, &zero);

    QString error;
    const QList<qint16> heard = Voice::LoadWavAs48kMono(heardPath, &error);
    const int lag = waveformLag(signal, heard, Voice::SampleRate / 5);
    return lag * 1000.0 / Voice::SampleRate - double(speakStarted - listenStarted) / 1e6;
}

// The console table as usual, and each run's core share kept for the summary.
class ShareReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> shares;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const auto it = run.counters.find("core_%");
            if (it != run.counters.end() && run.run_type == Run::RT_Iteration)
                shares[run.benchmark_name()] = it->second.value;
        }
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    QLibrary library(
        QCoreApplication::applicationDirPath() + u"/"_s + QString::fromLatin1(Vocana::LibraryName));
    if (!library.load()) {
        std::fprintf(stderr, "cannot load the engine: %s\n", qPrintable(library.errorString()));
        return 1;
    }
    Calls c;
    c.init = reinterpret_cast<VocanaTextCall>(library.resolve("InitDLL"));
    c.startSpeak = reinterpret_cast<VocanaRecordCall>(library.resolve("StartSpeak"));
    c.stopSpeak = reinterpret_cast<VocanaTextCall>(library.resolve("StopSpeak"));
    c.startListen = reinterpret_cast<VocanaRecordCall>(library.resolve("StartListen"));
    c.stopListen = reinterpret_cast<VocanaNumberCall>(library.resolve("StopListen"));
    c.release = reinterpret_cast<VocanaNumberCall>(library.resolve("ReleaseDLL"));
    c.setFiles = reinterpret_cast<VocanaWaveFilesCall>(library.resolve("SetWaveFiles"));

    ShareReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    QTemporaryDir dir;
    const std::vector<qint16> signal = speech(100); // two seconds
    std::vector<double> delays;
    for (int run = 0; run < 7; ++run)
        delays.push_back(measureDelay(c, dir.path(), signal, run * 3));
    std::sort(delays.begin(), delays.end());
    const double median = delays[delays.size() / 2];
    const double opusMs = Voice::VoiceEncoder().lookahead() * 1000.0 / Voice::SampleRate;
    std::printf("\nEngine share of mouth-to-ear delay on loopback (7 runs at playout "
                "phases 0-18 ms, jitter buffer at its minimum of one frame):\n");
    std::printf("  median %.1f ms (min %.1f, max %.1f); target 60 ms: ratio %.2f\n", median,
        delays.front(), delays.back(), median / 60.0);
    std::printf("  of which fixed: 20 ms frame + %.1f ms Opus look-ahead = %.1f ms; the rest is "
                "the wait for the next playout tick and scheduling\n",
        opusMs, 20 + opusMs);
    const double speak = reporter.shares["BM_SpeakFrame/noise_suppression:1"];
    const double listen = reporter.shares["BM_ListenFrame"];
    if (speak > 0 && listen > 0) {
        std::printf("\nCPU per stream (CPU time per 20 ms frame):\n");
        std::printf(
            "  speaking (noise suppression, level, Opus, packet) %.2f %% of one core\n", speak);
        std::printf("  listening (split, jitter buffer, Opus) %.2f %% of one core\n", listen);
        std::printf("  both %.2f %%; target 1 %%: ratio %.2f\n", speak + listen, speak + listen);
    }
    benchmark::Shutdown();
    return 0;
}
