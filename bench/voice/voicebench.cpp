// CPU per voice stream and the engine's share of mouth-to-ear delay, in one
// run. Targets: at most 2 % of one core for the whole process per speaking
// and listening pair (every thread, timer and socket, from the process's own
// counters; the per-frame Google Benchmark figures show where it goes), and
// at most 60 ms of delay (of which the 20 ms frame and Opus's look-ahead,
// 26.5 ms, are fixed) with sound files and on the sound-server path, where
// the device buffers add theirs.

#include "bench/report/figures.h"
#include "bench/voice/deviceloop.h"
#include "bench/voice/enginecalls.h"
#include "bench/voice/engineloop.h"
#include "bench/voice/processload.h"
#include "bench/voice/speechsignal.h"
#include "voice/api/vocanaapi.h"
#include "voice/core/audioprocessor.h"
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
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;
using BenchSpeech::speech;
using BenchSpeech::waveformLag;

namespace {

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

// The microphone's clean-up per 20 ms frame (two 10 ms chunks), echo
// cancellation, noise suppression and gain control on.
void BM_CleanUpFrame(benchmark::State &state)
{
    const std::vector<qint16> far = speech(100);
    std::vector<qint16> near(far.size());
    for (std::size_t i = 0; i < far.size(); ++i)
        near[i] = qint16(i >= 2400 ? far[i - 2400] / 3 : 0);
    Voice::AudioProcessor processor(Voice::AudioProcessor::Switches{});
    std::vector<qint16> chunk(Voice::AudioProcessor::ChunkSamples);
    std::size_t at = 0;
    for (auto _ : state) {
        for (int half = 0; half < 2; ++half) {
            processor.analyzeFarEnd(far.data() + at);
            std::copy_n(near.begin() + std::ptrdiff_t(at), chunk.size(), chunk.begin());
            processor.processNearEnd(chunk.data(), 50);
            benchmark::DoNotOptimize(chunk.data());
            at = (at + chunk.size()) % far.size();
        }
    }
    state.counters["core_%"] = coreShare();
}
BENCHMARK(BM_CleanUpFrame);

// Echo return loss enhancement on a simulated room (50 ms away, a few
// reflections, 10 dB lost on the way), judged after the first two seconds,
// against the same run with the canceller off.
double echoReturnLossEnhancement(bool cancel)
{
    const std::vector<qint16> far = speech(400); // eight seconds
    const std::size_t delay = 2400;
    const std::pair<std::size_t, double> taps[]
        = {{0, 0.3}, {37, -0.12}, {110, 0.06}, {260, -0.03}};
    std::vector<qint16> echo(far.size(), 0);
    for (std::size_t i = 0; i < far.size(); ++i) {
        double v = 0;
        for (const auto &[lag, gain] : taps) {
            if (i >= delay + lag)
                v += gain * far[i - delay - lag];
        }
        echo[i] = qint16(std::lround(v));
    }
    Voice::AudioProcessor processor({cancel, true, false});
    const int chunkSamples = Voice::AudioProcessor::ChunkSamples;
    std::vector<qint16> chunk(static_cast<std::size_t>(chunkSamples));
    double in = 0, out = 0;
    for (std::size_t at = 0; at + std::size_t(chunkSamples) <= far.size();
         at += std::size_t(chunkSamples)) {
        processor.analyzeFarEnd(far.data() + at);
        std::copy_n(echo.begin() + std::ptrdiff_t(at), chunkSamples, chunk.begin());
        processor.processNearEnd(chunk.data(), 50);
        if (at < 2 * std::size_t(Voice::SampleRate))
            continue;
        for (int i = 0; i < chunkSamples; ++i) {
            in += double(echo[at + std::size_t(i)]) * echo[at + std::size_t(i)];
            out += double(chunk[std::size_t(i)]) * chunk[std::size_t(i)];
        }
    }
    return 10 * std::log10(in / std::max(out, 1.0));
}

void echoFigures(BenchFigures &figures)
{
    const double on = echoReturnLossEnhancement(true);
    const double off = echoReturnLossEnhancement(false);
    std::printf("\nEcho return loss enhancement after 2 s (simulated room, noise suppression on, "
                "gain control off): %.1f dB; with the canceller off %.1f dB; target 20 dB\n",
        on, off);
    figures.add(u"voice/echo/return loss enhancement"_s, u"dB after 2 s"_s, on, u"canceller off"_s,
        off, BenchFigures::Target::ValueAtLeast, 20);
}

// ---- Delay: two engines on loopback, through their exported calls. ----

using Calls = EngineCalls;

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
    if (!c.resolve(library)) {
        std::fprintf(stderr, "the engine lacks one of its calls\n");
        return 1;
    }
    BenchFigures figures(u"voice"_s);

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
    figures.add(u"voice/delay/sound files"_s, u"engine share of mouth-to-ear, median ms"_s, median,
        {}, 0, BenchFigures::Target::ValueAtMost, 60);

    // The sound-server path: the same engine share plus what the device
    // buffers add, through the engine's own streams at the sizes it asks
    // for and at the neighbours, and through the Qt Multimedia fallback.
    std::printf("\nDevice buffers on the sound-server path (null sink played and heard back "
                "through its monitor):\n");
    struct Sizes {
        int capture;
        int playback;
    };
    const Sizes engineSizes{Voice::CaptureLatencyMs, Voice::PlaybackTargetMs};
    for (const Sizes sizes : {engineSizes, Sizes{10, 20}, Sizes{20, 30}, Sizes{20, 40}}) {
        const bool engine
            = sizes.capture == engineSizes.capture && sizes.playback == engineSizes.playback;
        const DeviceLoop loop = MeasurePulseLoop(sizes.capture, sizes.playback, 4);
        if (!loop.ok) {
            std::printf("  capture %d ms, playback %d ms: not measured (%s)\n", sizes.capture,
                sizes.playback, qPrintable(loop.why));
            continue;
        }
        const double total = median + loop.medianMs;
        std::printf("  capture %d ms, playback %d ms%s: devices add median %.1f ms (worst %.1f, "
                    "%d clicks); engine share %.1f ms; target 60 ms: ratio %.2f\n",
            sizes.capture, sizes.playback, engine ? " (the engine's)" : "", loop.medianMs,
            loop.worstMs, loop.clicks, total, total / 60.0);
        const QString path
            = u"voice/delay/sound server %1+%2 ms buffers"_s.arg(sizes.capture).arg(sizes.playback);
        figures.add(path + u" (devices)"_s, u"device buffers, median ms"_s, loop.medianMs);
        if (engine)
            figures.add(u"voice/delay/sound server"_s, u"engine share of mouth-to-ear, median ms"_s,
                total, u"sound files"_s, median, BenchFigures::Target::ValueAtMost, 60);
    }
    {
        // A first loop only warms the sound server up (a newly offered source
        // and a sink just after start-up answer with far longer latencies).
        const OutputMonitor monitor;
        MeasureDeviceLoop(monitor, Voice::CaptureBufferFrames, Voice::PlaybackBufferFrames, 2);
        const DeviceLoop loop = MeasureDeviceLoop(
            monitor, Voice::CaptureBufferFrames, Voice::PlaybackBufferFrames, 4);
        if (loop.ok) {
            std::printf("  Qt Multimedia fallback (asking %d + %d ms): devices add median %.1f ms "
                        "(worst %.1f, %d clicks); engine share %.1f ms\n",
                Voice::CaptureBufferFrames * Voice::FrameMs,
                Voice::PlaybackBufferFrames * Voice::FrameMs, loop.medianMs, loop.worstMs,
                loop.clicks, median + loop.medianMs);
            figures.add(u"voice/delay/multimedia fallback"_s,
                u"engine share of mouth-to-ear, median ms"_s, median + loop.medianMs,
                u"sound files"_s, median);
        } else {
            std::printf("  Qt Multimedia fallback: not measured (%s)\n", qPrintable(loop.why));
        }
    }

    // Two engines on the sound server, a minute long: the delay in every
    // three-second window from the first burst on, and how far it moves.
    {
        constexpr int LoopSeconds = 60;
        const DeviceLoop bench
            = MeasurePulseLoop(Voice::CaptureLatencyMs, Voice::PlaybackTargetMs, 3);
        const EngineLoop loop = MeasureEngineLoop(c, LoopSeconds);
        if (loop.ok && bench.ok) {
            // The bench's own mouth and ear add one device loop of their own.
            const double own = bench.medianMs;
            std::printf("\nTwo engines on the sound server for %d s (%d bursts), the bench's own "
                        "mouth and ear (%.1f ms) taken off: worst three-second window %.1f ms "
                        "(target 150 ms: ratio %.2f), drift %.1f ms (target 60 ms)\n  windows:",
                LoopSeconds, loop.bursts, own, loop.worstWindow - own,
                (loop.worstWindow - own) / 150.0, loop.drift);
            for (const double w : loop.windowMedians)
                std::printf(" %.0f", w - own);
            std::printf("\n");
            figures.add(u"voice/delay/two engines on the sound server"_s,
                u"worst 3 s window, median ms"_s, loop.worstWindow - own, u"sound files"_s, median,
                BenchFigures::Target::ValueAtMost, 150);
            figures.add(u"voice/delay/two engines on the sound server"_s,
                u"drift over a minute, ms"_s, std::abs(loop.drift), {}, 0,
                BenchFigures::Target::ValueAtMost, 60);
        } else {
            std::printf("\nTwo engines on the sound server: not measured (%s)\n",
                qPrintable(loop.ok ? bench.why : loop.why));
        }
    }

    echoFigures(figures);

    const double speak = reporter.shares["BM_SpeakFrame/noise_suppression:1"];
    const double listen = reporter.shares["BM_ListenFrame"];
    if (speak > 0 && listen > 0) {
        std::printf("\nCPU per stream in the codec path alone (CPU time per 20 ms frame):\n");
        std::printf(
            "  speaking (noise suppression, level, Opus, packet) %.2f %% of one core\n", speak);
        std::printf("  listening (split, jitter buffer, Opus) %.2f %% of one core\n", listen);
        figures.add(u"voice/cpu/codec path per pair"_s, u"% of one core"_s, speak + listen);
    }

    // The whole process: engine threads, their timers, sockets and files.
    constexpr int Pairs = 2;
    constexpr int Seconds = 6;
    const std::vector<qint16> longSpeech = speech(50 * (Seconds + 2));
    std::printf("\nCPU of the whole process (getrusage), %d speaking + listening pairs for %d s:\n",
        Pairs, Seconds);
    // One line and one figure per measurement; `target` 0 for none.
    const auto report = [&figures](const char *what, const char *per, const QString &path,
                            const ProcessLoad &load, double target) {
        if (!load.ok) {
            std::printf("  %s: not measured (%s)\n", what, qPrintable(load.why));
            return;
        }
        std::printf("  %s: %.2f %% of one core per %s (idle process %.2f %%)", what,
            load.perPairPercent, per, load.idlePercent);
        if (target > 0)
            std::printf("; target %.0f %%: ratio %.2f", target, load.perPairPercent / target);
        std::printf("\n");
        figures.add(path, u"% of one core"_s, load.perPairPercent, u"idle process"_s,
            load.idlePercent,
            target > 0 ? BenchFigures::Target::ValueAtMost : BenchFigures::Target::None, target);
    };
    report("sound files", "pair", u"voice/cpu/process per pair, sound files"_s,
        MeasureEnginePairs(c, Pairs, Seconds, dir.path(), &longSpeech), 2);
    report("sound server", "pair", u"voice/cpu/process per pair, sound server"_s,
        MeasureEnginePairs(c, Pairs, Seconds, dir.path(), nullptr), 2);
    // The floor under both: the same wake-ups with no voice work.
    report("wake-ups alone at the engine's rates (no voice work)", "pair",
        u"voice/cpu/wake-ups alone per pair, the engine's rates"_s,
        MeasureBareWakeUps(Pairs, Seconds), 0);
    // In class before anyone speaks every program listens: that costs what
    // its playback wakes up for.
    report("a quiet class on the sound server", "listening engine",
        u"voice/cpu/process per listener, quiet class"_s, MeasureQuietListeners(c, Pairs, Seconds),
        0);
    benchmark::Shutdown();
    return 0;
}
