#include "bench/voice/engineloop.h"

#include "voice/core/voiceformat.h"
#include "voice/pulse/pulsestream.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

constexpr int BurstEverySamples = Voice::SampleRate / 4; // 250 ms apart
constexpr int BurstSamples = Voice::SampleRate / 25; // 40 ms of tone
constexpr int Threshold = 2500;
constexpr qint64 WindowNs = 3'000'000'000;

// A null sink of our own while this lives.
class MouthSink
{
public:
    MouthSink()
    {
        QProcess pactl;
        pactl.start(
            u"pactl"_s, {u"load-module"_s, u"module-null-sink"_s, u"sink_name=lumo_bench_mouth"_s});
        if (pactl.waitForFinished(5000) && pactl.exitCode() == 0)
            module = pactl.readAllStandardOutput().trimmed();
    }
    ~MouthSink()
    {
        if (!module.isEmpty())
            QProcess::execute(u"pactl"_s, {u"unload-module"_s, QString::fromLatin1(module)});
    }
    QByteArray module;
};

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

} // namespace

EngineLoop MeasureEngineLoop(const EngineCalls &calls, int seconds)
{
    EngineLoop result;
    const MouthSink mouth;
    if (mouth.module.isEmpty()) {
        result.why = u"no null sink for the mouth (pactl)"_s;
        return result;
    }
    QElapsedTimer clock;
    clock.start();
    std::mutex mutex;
    std::deque<qint64> madeNs;
    std::vector<std::pair<qint64, double>> delays; // (made, ms)
    qint64 made = 0;
    bool counting = false;
    bool loud = true;
    int quietRun = 0;

    // The mouth: tone bursts into our own sink.
    Voice::PulseStream mouthStream;
    Voice::PulseStream::Options out;
    out.direction = Voice::PulseStream::Direction::Playback;
    out.bufferMs = Voice::PlaybackTargetMs;
    out.device = "lumo_bench_mouth";
    QString why;
    if (!mouthStream.start(
            out, {},
            [&](qint16 *samples, int count) {
                std::lock_guard lock(mutex);
                for (int i = 0; i < count; ++i, ++made) {
                    const qint64 at = made % BurstEverySamples;
                    if (at == 0 && counting)
                        madeNs.push_back(clock.nsecsElapsed());
                    samples[i] = at < BurstSamples
                        ? qint16(10000 * std::sin(2 * M_PI * 700 * double(at) / Voice::SampleRate))
                        : qint16(0);
                }
            },
            {}, &why)) {
        result.why = why;
        return result;
    }

    // The two engines, the speaker hearing the mouth's monitor.
    const int32_t speaker = 301;
    const int32_t listener = 302;
    const int32_t zero = 0;
    calls.init(speaker, "");
    calls.init(listener, "");
    const VocanaWaveFiles devices{nullptr, nullptr};
    calls.setFiles(speaker, &devices);
    calls.setFiles(listener, &devices);
    const quint16 port = freePort();
    const VocanaAddressRecord listen{0, 0, 0x7F000001, port};
    const VocanaAddressRecord speak{1, Vocana::LevelMessage, 0x7F000001, port};
    const QByteArray oldSource = qgetenv("PULSE_SOURCE");
    qputenv("PULSE_SOURCE", "lumo_bench_mouth.monitor");
    const bool started = calls.startListen(listener, &listen) == Vocana::Ok
        && calls.startSpeak(speaker, &speak) == Vocana::Ok;
    if (oldSource.isEmpty())
        qunsetenv("PULSE_SOURCE");
    else
        qputenv("PULSE_SOURCE", oldSource);

    // The ear: the default sink's monitor.
    Voice::PulseStream ear;
    Voice::PulseStream::Options in;
    in.direction = Voice::PulseStream::Direction::Capture;
    in.bufferMs = Voice::CaptureLatencyMs;
    in.device = "@DEFAULT_MONITOR@";
    const bool hearing = started
        && ear.start(
            in,
            [&](const qint16 *samples, int count) {
                const qint64 arrivedNs = clock.nsecsElapsed();
                std::lock_guard lock(mutex);
                for (int i = 0; i < count; ++i) {
                    const bool now = std::abs(int(samples[i])) > Threshold;
                    // A burst's onset: loud after 100 ms of quiet (Opus rings
                    // a little after each burst).
                    if (now && !loud && quietRun > Voice::SampleRate / 10 && !madeNs.empty()) {
                        const qint64 sample
                            = arrivedNs - qint64(count - i) * 1'000'000'000 / Voice::SampleRate;
                        delays.emplace_back(madeNs.front(), double(sample - madeNs.front()) / 1e6);
                        madeNs.pop_front();
                    }
                    quietRun = now ? 0 : quietRun + 1;
                    loud = now;
                }
                while (!madeNs.empty() && arrivedNs - madeNs.front() > 1'000'000'000)
                    madeNs.pop_front();
            },
            {}, {}, &why);
    if (hearing) {
        runFor(2000); // monitors wake slowly
        {
            std::lock_guard lock(mutex);
            counting = true;
        }
        runFor(seconds * 1000);
    } else {
        result.why = started ? why : u"the engines did not start"_s;
    }
    ear.stop();
    calls.stopSpeak(speaker, "");
    calls.stopListen(listener, &zero);
    calls.release(speaker, &zero);
    calls.release(listener, &zero);
    mouthStream.stop();
    if (!hearing)
        return result;

    if (delays.size() < 12) {
        result.why = u"only %1 bursts came back"_s.arg(delays.size());
        return result;
    }
    const qint64 first = delays.front().first;
    std::vector<std::vector<double>> windows;
    for (const auto &[madeAt, ms] : delays) {
        const auto w = std::size_t((madeAt - first) / WindowNs);
        if (windows.size() <= w)
            windows.resize(w + 1);
        windows[w].push_back(ms);
    }
    for (std::vector<double> &w : windows) {
        if (w.empty())
            continue;
        std::sort(w.begin(), w.end());
        result.windowMedians.push_back(w[w.size() / 2]);
    }
    result.ok = true;
    result.bursts = int(delays.size());
    result.worstWindow
        = *std::max_element(result.windowMedians.begin(), result.windowMedians.end());
    result.drift = result.windowMedians.back() - result.windowMedians.front();
    return result;
}
