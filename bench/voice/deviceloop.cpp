#include "bench/voice/deviceloop.h"

#include "bench/voice/enginecalls.h"
#include "voice/core/playoutdevice.h"
#include "voice/core/voiceformat.h"
#include "voice/pulse/pulsestream.h"

#include <QAudioSink>
#include <QAudioSource>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QProcess>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr int ClickEveryFrames = 10; // 200 ms apart: never two in flight
constexpr int Loud = 12000;
constexpr int Threshold = 4000;

constexpr QByteArrayView RemapName = "lumo_bench_monitor";

QAudioDevice inputNamed(const QByteArray &id)
{
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    for (const QAudioDevice &input : inputs) {
        if (input.id() == id)
            return input;
    }
    return {};
}

// The clicks' delays summed up, the first `warmUp` left out (they meet
// buffers still filling).
DeviceLoop Summary(std::vector<double> delays, int warmUp)
{
    DeviceLoop result;
    if (delays.size() < 3) {
        result.why = u"only %1 clicks came back"_s.arg(delays.size());
        return result;
    }
    delays.erase(delays.begin(), delays.begin() + warmUp);
    std::sort(delays.begin(), delays.end());
    result.ok = true;
    result.clicks = int(delays.size());
    result.medianMs = delays[delays.size() / 2];
    result.worstMs = delays.back();
    return result;
}

} // namespace

OutputMonitor::OutputMonitor()
{
    const QByteArray sink = QMediaDevices::defaultAudioOutput().id();
    device = inputNamed(sink + ".monitor");
    if (!device.isNull() || sink.isEmpty())
        return;
    QProcess pactl;
    pactl.start(u"pactl"_s,
        {u"load-module"_s, u"module-remap-source"_s,
            u"master="_s + QString::fromUtf8(sink) + u".monitor"_s,
            u"source_name="_s + QString::fromLatin1(RemapName)});
    if (!pactl.waitForFinished(5000) || pactl.exitCode() != 0)
        return;
    m_module = pactl.readAllStandardOutput().trimmed();
    // The device list follows the sound server's notices.
    for (int i = 0; i < 40 && device.isNull(); ++i) {
        runFor(50);
        device = inputNamed(RemapName.toByteArray());
    }
}
OutputMonitor::~OutputMonitor()
{
    if (!m_module.isEmpty())
        QProcess::execute(u"pactl"_s, {u"unload-module"_s, QString::fromLatin1(m_module)});
}

DeviceLoop MeasureDeviceLoop(
    const OutputMonitor &outputMonitor, int captureFrames, int playbackFrames, int seconds)
{
    DeviceLoop result;
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    const QAudioDevice monitor = outputMonitor.device;
    if (output.isNull() || monitor.isNull()) {
        QStringList inputs;
        for (const QAudioDevice &input : QMediaDevices::audioInputs())
            inputs.append(QString::fromUtf8(input.id()));
        result.why = u"no monitor of the output \""_s + QString::fromUtf8(output.id())
            + u"\" among the inputs: "_s + inputs.join(u", "_s);
        return result;
    }
    QAudioFormat format;
    format.setSampleRate(Voice::SampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);

    QElapsedTimer clock;
    clock.start();
    std::deque<qint64> madeNs; // clicks made and not heard yet
    qint64 frames = 0;
    Voice::PlayoutDevice clicks([&](qint16 *frame) {
        std::fill(frame, frame + Voice::FrameSamples, qint16(0));
        if (frames++ % ClickEveryFrames == 0) {
            std::fill(frame, frame + Voice::FrameSamples / 4, qint16(Loud));
            madeNs.push_back(clock.nsecsElapsed());
        }
    });
    clicks.open(QIODevice::ReadOnly);
    QAudioSink sink(output, format);
    sink.setBufferSize(playbackFrames * Voice::FrameSamples * 2);
    QAudioSource source(monitor, format);
    source.setBufferSize(captureFrames * Voice::FrameSamples * 2);

    std::vector<double> delays;
    bool loud = true; // wait for quiet before the first onset
    QIODevice *captured = source.start();
    if (!captured) {
        result.why = u"the monitor did not start"_s;
        return result;
    }
    QObject::connect(captured, &QIODevice::readyRead, captured, [&] {
        const qint64 arrivedNs = clock.nsecsElapsed();
        const QByteArray bytes = captured->readAll();
        const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
        for (qsizetype i = 0; i < bytes.size() / 2; ++i) {
            const bool now = std::abs(int(samples[i])) > Threshold;
            if (now && !loud && !madeNs.empty()) {
                delays.push_back(double(arrivedNs - madeNs.front()) / 1e6);
                madeNs.pop_front();
            }
            loud = now;
        }
        // A click lost on the way must not pair the next one with it.
        while (!madeNs.empty() && arrivedNs - madeNs.front() > 1'000'000'000)
            madeNs.pop_front();
    });
    sink.start(&clicks);
    runFor(seconds * 1000);
    sink.stop();
    source.stop();

    return Summary(std::move(delays), 2);
}

DeviceLoop MeasurePulseLoop(int captureMs, int playbackMs, int seconds)
{
    DeviceLoop result;
    QElapsedTimer clock;
    clock.start();
    std::mutex mutex;
    std::deque<qint64> madeNs; // clicks made and not heard yet
    std::vector<double> delays;
    bool counting = false;
    qint64 made = 0;
    qint64 captured = 0;
    bool loud = true;

    Voice::PulseStream playback;
    Voice::PulseStream::Options out;
    out.direction = Voice::PulseStream::Direction::Playback;
    out.bufferMs = playbackMs;
    QString why;
    const bool played = playback.start(
        out, {},
        [&](qint16 *samples, int count) {
            std::lock_guard lock(mutex);
            for (int i = 0; i < count; ++i, ++made) {
                const qint64 at = made % (ClickEveryFrames * Voice::FrameSamples);
                if (at == 0 && counting)
                    madeNs.push_back(clock.nsecsElapsed());
                samples[i] = at < Voice::FrameSamples / 4 ? qint16(Loud) : qint16(0);
            }
        },
        {}, &why);
    if (!played) {
        result.why = why;
        return result;
    }
    Voice::PulseStream capture;
    Voice::PulseStream::Options in;
    in.direction = Voice::PulseStream::Direction::Capture;
    in.bufferMs = captureMs;
    in.device = "@DEFAULT_MONITOR@";
    if (!capture.start(
            in,
            [&](const qint16 *samples, int count) {
                const qint64 arrivedNs = clock.nsecsElapsed();
                std::lock_guard lock(mutex);
                captured += count;
                for (int i = 0; i < count; ++i) {
                    const bool now = std::abs(int(samples[i])) > Threshold;
                    if (now && !loud && !madeNs.empty()) {
                        delays.push_back(double(arrivedNs - madeNs.front()) / 1e6);
                        madeNs.pop_front();
                    }
                    loud = now;
                }
                while (!madeNs.empty() && arrivedNs - madeNs.front() > 1'000'000'000)
                    madeNs.pop_front();
            },
            {}, {}, &why)) {
        result.why = why;
        return result;
    }
    // The monitor of a null sink wakes slowly and hands its first second
    // over at once; only clicks made after it runs count.
    for (int i = 0; i < 100; ++i) {
        runFor(50);
        std::lock_guard lock(mutex);
        if (captured > Voice::SampleRate / 2)
            break;
    }
    runFor(300);
    {
        std::lock_guard lock(mutex);
        counting = true;
    }
    runFor(seconds * 1000);
    capture.stop();
    playback.stop();

    return Summary(std::move(delays), 1);
}
