// Switching the microphone and the loudspeaker in class, on the sound server
// with null devices: a capture stream and a playback stream run as the voice
// engine runs them (Voice::PulseStream, the engine's buffers), and the
// student's choice moves them through SoundDevices, as the options' sound
// page does. Measured per switch, medians of several:
//
//  - how long until the server reports the stream on the new device (its
//    own change event, seen by a watcher of its own);
//  - how much voice is lost across it. Loudspeaker: a tone of exactly one
//    second is played and the switch made in its middle; what both sinks'
//    monitors heard of it, added up, falls short by the loss (a repeat would
//    make up for a loss, so the count is printed per sink too). Microphone:
//    the monitors of two null sinks, each with a tone played into it; across
//    the switch the stream must deliver the tone at the rate of the clock,
//    and whatever is missing, dropped as too old or silent is lost.
//
// The baseline, in the same run and on the same streams: a plain libpulse
// move of the stream by the watcher, before the student has chosen anything
// (SoundDevices leaves streams alone until then).
#include "bench/report/figures.h"
#include "controls/volumecontrol/sounddevices.h"
#include "voice/core/voiceformat.h"
#include "voice/pulse/pulsestream.h"
#include "voice/tests/nullsink.h"

#include <QCoreApplication>

#include <pulse/pulseaudio.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Rate = Voice::SampleRate;
constexpr int Block = Rate / 1000; // 1 ms
constexpr double ToneRms = 150; // a block louder than this holds the tone
constexpr int Trials = 5;

qint64 nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Whole 1 ms blocks of `samples` that hold the tone; the rest of a block
// carries over to the next call.
struct ToneCounter {
    std::vector<qint16> pending;
    // Returns the tone blocks and adds the silent ones to `silent`.
    int feed(const qint16 *samples, int count, int *silent = nullptr)
    {
        int tone = 0;
        pending.insert(pending.end(), samples, samples + count);
        size_t at = 0;
        for (; at + Block <= pending.size(); at += Block) {
            double sum = 0;
            for (int i = 0; i < Block; ++i)
                sum += double(pending[at + i]) * pending[at + i];
            if (std::sqrt(sum / Block) > ToneRms)
                ++tone;
            else if (silent)
                ++*silent;
        }
        pending.erase(pending.begin(), pending.begin() + qsizetype(at));
        return tone;
    }
};

// The watcher: a libpulse connection of its own that follows where streams
// are, moves them plainly for the baseline, and records the null sinks'
// monitors. It says it is another program's, so that SoundDevices (which
// moves every stream of this process) leaves its recorders alone.
class Watcher
{
public:
    bool open()
    {
        loop = pa_threaded_mainloop_new();
        pa_proplist *props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, "device switch watcher");
        pa_proplist_sets(props, PA_PROP_APPLICATION_PROCESS_ID, "1");
        context
            = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop), "watcher", props);
        pa_proplist_free(props);
        pa_context_set_state_callback(
            context,
            [](pa_context *, void *self) {
                pa_threaded_mainloop_signal(static_cast<Watcher *>(self)->loop, 0);
            },
            this);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        pa_threaded_mainloop_lock(loop);
        pa_threaded_mainloop_start(loop);
        pa_context_state_t state;
        while ((state = pa_context_get_state(context)) != PA_CONTEXT_READY
            && PA_CONTEXT_IS_GOOD(state))
            pa_threaded_mainloop_wait(loop);
        const bool ready = state == PA_CONTEXT_READY;
        if (ready) {
            pa_context_set_subscribe_callback(context, OnEvent, this);
            wait(pa_context_subscribe(context,
                pa_subscription_mask_t(
                    PA_SUBSCRIPTION_MASK_SINK_INPUT | PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT),
                Signal, this));
        }
        pa_threaded_mainloop_unlock(loop);
        return ready;
    }

    ~Watcher()
    {
        if (!loop)
            return;
        pa_threaded_mainloop_lock(loop);
        for (pa_stream *stream :
            {recorders[0].stream, recorders[1].stream, players[0].stream, players[1].stream})
            if (stream) {
                pa_stream_disconnect(stream);
                pa_stream_unref(stream);
            }
        if (context) {
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
        pa_threaded_mainloop_unlock(loop);
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }

    // The index of this process's stream named `name`, and its device.
    bool find(bool input, const char *name)
    {
        pa_threaded_mainloop_lock(loop);
        lookingFor = name;
        watchedInput = input;
        watched = PA_INVALID_INDEX;
        wait(input ? pa_context_get_source_output_info_list(context, OnSourceOutput, this)
                   : pa_context_get_sink_input_info_list(context, OnSinkInput, this));
        lookingFor.clear();
        pa_threaded_mainloop_unlock(loop);
        return watched != PA_INVALID_INDEX;
    }

    uint32_t deviceIndex(bool input, const QByteArray &name)
    {
        pa_threaded_mainloop_lock(loop);
        foundDevice = PA_INVALID_INDEX;
        const auto onInfo = [](pa_context *, const auto *info, int eol, void *self) {
            auto *w = static_cast<Watcher *>(self);
            if (eol == 0 && info)
                w->foundDevice = info->index;
            pa_threaded_mainloop_signal(w->loop, 0);
        };
        wait(input ? pa_context_get_source_info_by_name(
                 context, name.constData(), static_cast<pa_source_info_cb_t>(onInfo), this)
                   : pa_context_get_sink_info_by_name(
                       context, name.constData(), static_cast<pa_sink_info_cb_t>(onInfo), this));
        pa_threaded_mainloop_unlock(loop);
        return foundDevice;
    }

    // The watched stream moved by the watcher itself.
    void plainMove(const QByteArray &device)
    {
        pa_threaded_mainloop_lock(loop);
        pa_operation *op = watchedInput ? pa_context_move_source_output_by_name(
                               context, watched, device.constData(), nullptr, nullptr)
                                        : pa_context_move_sink_input_by_name(
                                            context, watched, device.constData(), nullptr, nullptr);
        if (op)
            pa_operation_unref(op);
        pa_threaded_mainloop_unlock(loop);
    }

    // Microseconds from `sinceUs` until the server said the watched stream
    // is on `device`; -1 when it did not within three seconds.
    qint64 waitOn(uint32_t device, qint64 sinceUs)
    {
        for (int i = 0; i < 3000; ++i) {
            if (where.load() == device)
                return movedAtUs.load() - sinceUs;
            sleepMs(1);
        }
        return -1;
    }

    // Records a sink's monitor, counting the tone it hears.
    bool record(int which, const QByteArray &monitor)
    {
        static constexpr pa_sample_spec spec{PA_SAMPLE_S16LE, Rate, 1};
        pa_threaded_mainloop_lock(loop);
        Recorder &r = recorders[which];
        r.owner = this;
        r.stream = pa_stream_new(context, "monitor", &spec, nullptr);
        pa_buffer_attr attr{};
        attr.maxlength = uint32_t(-1);
        attr.fragsize = Block * 2 * 10;
        pa_stream_set_read_callback(r.stream, OnRecord, &r);
        const bool ok = pa_stream_connect_record(
                            r.stream, monitor.constData(), &attr, PA_STREAM_ADJUST_LATENCY)
            >= 0;
        pa_threaded_mainloop_unlock(loop);
        return ok;
    }
    // Plays a steady tone into a sink, for a microphone that is its monitor.
    bool play(int which, const QByteArray &sink, double frequency)
    {
        static constexpr pa_sample_spec spec{PA_SAMPLE_S16LE, Rate, 1};
        pa_threaded_mainloop_lock(loop);
        Player &p = players[which];
        p.step = 2 * M_PI * frequency / Rate;
        p.stream = pa_stream_new(context, "tone", &spec, nullptr);
        pa_buffer_attr attr{};
        attr.maxlength = uint32_t(-1);
        attr.tlength = Block * 2 * 20;
        attr.prebuf = uint32_t(-1);
        attr.minreq = Block * 2 * 5;
        attr.fragsize = uint32_t(-1);
        pa_stream_set_write_callback(p.stream, OnWrite, &p);
        const bool ok = pa_stream_connect_playback(p.stream, sink.constData(), &attr,
                            PA_STREAM_ADJUST_LATENCY, nullptr, nullptr)
            >= 0;
        pa_threaded_mainloop_unlock(loop);
        return ok;
    }
    int toneMs(int which) const { return recorders[which].tone.load(); }
    void resetTone()
    {
        for (Recorder &r : recorders)
            r.tone = 0;
    }

private:
    struct Recorder {
        Watcher *owner = nullptr;
        pa_stream *stream = nullptr;
        ToneCounter counter;
        std::atomic<int> tone{0};
    };

    struct Player {
        pa_stream *stream = nullptr;
        double step = 0;
        double phase = 0;
    };

    static void OnWrite(pa_stream *stream, size_t bytes, void *userdata)
    {
        auto *p = static_cast<Player *>(userdata);
        std::vector<qint16> out(bytes / 2);
        for (qint16 &sample : out) {
            sample = qint16(8000 * std::sin(p->phase));
            p->phase = std::fmod(p->phase + p->step, 2 * M_PI);
        }
        pa_stream_write(stream, out.data(), out.size() * 2, nullptr, 0, PA_SEEK_RELATIVE);
    }

    static void Signal(pa_context *, int, void *self)
    {
        pa_threaded_mainloop_signal(static_cast<Watcher *>(self)->loop, 0);
    }

    // Under the lock: waits for the operation's end.
    void wait(pa_operation *op)
    {
        if (!op)
            return;
        while (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(loop);
        pa_operation_unref(op);
    }

    template <class Info> void seen(const Info *info, uint32_t device)
    {
        if (!lookingFor.isEmpty()) {
            const char *pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
            if (pid && ownPid == pid && lookingFor == info->name) {
                watched = info->index;
                where = device;
            }
            return;
        }
        if (info->index == watched && device != where.load()) {
            movedAtUs = nowUs();
            where = device;
        }
    }

    static void OnSinkInput(pa_context *, const pa_sink_input_info *info, int eol, void *self)
    {
        auto *w = static_cast<Watcher *>(self);
        if (eol == 0 && info)
            w->seen(info, info->sink);
        else
            pa_threaded_mainloop_signal(w->loop, 0);
    }

    static void OnSourceOutput(pa_context *, const pa_source_output_info *info, int eol, void *self)
    {
        auto *w = static_cast<Watcher *>(self);
        if (eol == 0 && info)
            w->seen(info, info->source);
        else
            pa_threaded_mainloop_signal(w->loop, 0);
    }

    static void OnEvent(
        pa_context *context, pa_subscription_event_type_t type, uint32_t index, void *self)
    {
        auto *w = static_cast<Watcher *>(self);
        if (index != w->watched || !w->lookingFor.isEmpty())
            return;
        const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        pa_operation *op = nullptr;
        if (facility == PA_SUBSCRIPTION_EVENT_SINK_INPUT && !w->watchedInput)
            op = pa_context_get_sink_input_info(context, index, OnSinkInput, w);
        else if (facility == PA_SUBSCRIPTION_EVENT_SOURCE_OUTPUT && w->watchedInput)
            op = pa_context_get_source_output_info(context, index, OnSourceOutput, w);
        if (op)
            pa_operation_unref(op);
    }

    static void OnRecord(pa_stream *stream, size_t, void *userdata)
    {
        auto *r = static_cast<Recorder *>(userdata);
        const void *data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(stream) > 0) {
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
                return;
            if (data)
                r->tone += r->counter.feed(static_cast<const qint16 *>(data), int(bytes / 2));
            pa_stream_drop(stream);
        }
    }

private:
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    QByteArray ownPid = QByteArray::number(qint64(::getpid()));
    QByteArray lookingFor;
    bool watchedInput = false;
    uint32_t watched = PA_INVALID_INDEX;
    uint32_t foundDevice = PA_INVALID_INDEX;
    std::atomic<uint32_t> where{PA_INVALID_INDEX};
    std::atomic<qint64> movedAtUs{0};
    Recorder recorders[2];
    Player players[2];
};

double Worst(const std::vector<double> &values)
{
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What the capture stream delivered, callback by callback.
struct CaptureLog {
    struct Entry {
        qint64 atUs;
        qint64 received; // samples
        qint64 silent; // samples in blocks without the tone
    };
    std::mutex mutex;
    std::vector<Entry> entries;
    ToneCounter counter;
    qint64 received = 0;
    qint64 silent = 0;

    void add(const qint16 *samples, int count)
    {
        int quiet = 0;
        counter.feed(samples, count, &quiet);
        std::lock_guard lock(mutex);
        received += count;
        silent += qint64(quiet) * Block;
        entries.push_back({nowUs(), received, silent});
    }

    // Ms of the tone missing between 300 ms before `switchUs` and 900 ms
    // after: the clock's worth of samples less what came, and what came
    // silent.
    double lostMs(qint64 switchUs)
    {
        std::lock_guard lock(mutex);
        const Entry *first = nullptr;
        const Entry *last = nullptr;
        for (const Entry &e : entries) {
            if (!first && e.atUs >= switchUs - 300000)
                first = &e;
            if (e.atUs <= switchUs + 900000)
                last = &e;
        }
        if (!first || !last || last <= first) {
            std::fprintf(stderr, "capture log: %zu entries, %lld samples\n", entries.size(),
                static_cast<long long>(received));
            return -1;
        }
        qint64 longestUs = 0;
        for (const Entry *e = first + 1; e <= last; ++e)
            longestUs = std::max(longestUs, e->atUs - (e - 1)->atUs);
        std::printf("  longest wait between reads %.1f ms, %.1f ms of them silent\n",
            longestUs / 1000.0, double(last->silent - first->silent) * 1000.0 / Rate);
        const double expected = double(last->atUs - first->atUs) * Rate / 1e6;
        const double good
            = double(last->received - first->received) - double(last->silent - first->silent);
        return std::max(0.0, expected - good) * 1000.0 / Rate;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    BenchFigures figures(u"voice_switch_bench"_s);

    // Two loudspeakers, and two microphones that are the monitors of sinks
    // the watcher plays a tone into.
    const NullSink sinkA(u"lumo_switch_out_a"_s), sinkB(u"lumo_switch_out_b"_s);
    const NullSink mouthA(u"lumo_switch_in_a"_s), mouthB(u"lumo_switch_in_b"_s);
    if (!sinkA.loaded() || !sinkB.loaded() || !mouthA.loaded() || !mouthB.loaded()) {
        std::fprintf(stderr, "no sound server to load null devices on: skipped\n");
        return 0;
    }
    const QByteArray outs[2] = {sinkA.sink().toUtf8(), sinkB.sink().toUtf8()};
    const QByteArray ins[2] = {mouthA.monitor().toUtf8(), mouthB.monitor().toUtf8()};

    Watcher watcher;
    if (!watcher.open()) {
        std::fprintf(stderr, "cannot reach the sound server\n");
        return 1;
    }
    SoundDevices devices;

    // The engine's two streams, on the first devices.
    std::atomic<int> burstLeft{0};
    std::atomic<qint64> phase{0};
    Voice::PulseStream speaker, microphone;
    Voice::PulseStream::Options play;
    play.direction = Voice::PulseStream::Direction::Playback;
    play.bufferMs = Voice::PlaybackTargetMs;
    play.streamName = "switch tone";
    play.device = outs[0];
    QString why;
    if (!speaker.start(
            play, {},
            [&](qint16 *out, int count) {
                for (int i = 0; i < count; ++i) {
                    const bool on = burstLeft.load(std::memory_order_relaxed) > 0;
                    if (on)
                        burstLeft.fetch_sub(1, std::memory_order_relaxed);
                    const qint64 n = phase++;
                    out[i] = on ? qint16(8000 * std::sin(2 * M_PI * 1000.0 * double(n) / Rate)) : 0;
                }
            },
            {}, &why)) {
        std::fprintf(stderr, "playback: %s\n", qPrintable(why));
        return 1;
    }
    CaptureLog captured;
    Voice::PulseStream::Options rec;
    rec.bufferMs = Voice::CaptureLatencyMs;
    rec.streamName = "switch microphone";
    rec.device = ins[0];
    if (!microphone.start(
            rec, [&](const qint16 *samples, int count) { captured.add(samples, count); }, {}, {},
            &why)) {
        std::fprintf(stderr, "capture: %s\n", qPrintable(why));
        return 1;
    }
    if (!watcher.record(0, sinkA.monitor().toUtf8()) || !watcher.record(1, sinkB.monitor().toUtf8())
        || !watcher.play(0, mouthA.sink().toUtf8(), 440)
        || !watcher.play(1, mouthB.sink().toUtf8(), 660)) {
        std::fprintf(stderr, "cannot record the monitors\n");
        return 1;
    }
    // SoundDevices has the lists before anything is chosen.
    for (int i = 0; i < 300 && !devices.isReady(); ++i) {
        QCoreApplication::processEvents();
        sleepMs(10);
    }
    sleepMs(500);

    struct Result {
        std::vector<double> switchMs, lostMs;
    };
    // One direction, `plain` or through SoundDevices; the stream goes back
    // and forth between the two devices.
    const auto loudspeakerTrials = [&](bool plain) {
        Result result;
        if (!watcher.find(false, "switch tone"))
            return result;
        int at = 0;
        for (int trial = 0; trial <= Trials; ++trial) {
            // Silence first, so the counts hold this burst only.
            sleepMs(300);
            watcher.resetTone();
            burstLeft = Rate; // one second of tone
            sleepMs(400);
            const int to = 1 - at;
            const uint32_t target = watcher.deviceIndex(false, outs[to]);
            const qint64 start = nowUs();
            if (plain)
                watcher.plainMove(outs[to]);
            else
                devices.choose(ins[0], outs[to]);
            const qint64 took = watcher.waitOn(target, start);
            sleepMs(1300);
            at = to;
            // The first switch of each kind warms the paths up.
            if (trial == 0)
                continue;
            result.switchMs.push_back(took < 0 ? 3000 : took / 1000.0);
            const int heard = watcher.toneMs(0) + watcher.toneMs(1);
            result.lostMs.push_back(std::max(0, 1000 - heard));
            std::printf("loudspeaker %s: on the new sink after %.1f ms, tone heard %d + %d ms\n",
                plain ? "plain move" : "SoundDevices", took / 1000.0, watcher.toneMs(0),
                watcher.toneMs(1));
        }
        // Back where the other kind of trial starts.
        if (at != 0) {
            if (plain)
                watcher.plainMove(outs[0]);
            else
                devices.choose(ins[0], outs[0]);
            sleepMs(300);
        }
        return result;
    };
    const auto microphoneTrials = [&](bool plain) {
        Result result;
        if (!watcher.find(true, "switch microphone"))
            return result;
        int at = 0;
        for (int trial = 0; trial <= Trials; ++trial) {
            sleepMs(500);
            const int to = 1 - at;
            const uint32_t target = watcher.deviceIndex(true, ins[to]);
            const qint64 start = nowUs();
            if (plain)
                watcher.plainMove(ins[to]);
            else
                devices.choose(ins[to], outs[0]);
            const qint64 took = watcher.waitOn(target, start);
            sleepMs(1200);
            at = to;
            if (trial == 0)
                continue;
            const double lost = captured.lostMs(start);
            result.switchMs.push_back(took < 0 ? 3000 : took / 1000.0);
            result.lostMs.push_back(lost);
            std::printf("microphone %s: on the new source after %.1f ms, %.1f ms of tone lost\n",
                plain ? "plain move" : "SoundDevices", took / 1000.0, lost);
        }
        if (at != 0) {
            if (plain)
                watcher.plainMove(ins[0]);
            else
                devices.choose(ins[0], outs[0]);
            sleepMs(300);
        }
        return result;
    };

    // The plain moves first: once the student has chosen, SoundDevices keeps
    // the streams where the choice says.
    const Result plainOut = loudspeakerTrials(true);
    const Result plainIn = microphoneTrials(true);
    const Result chosenOut = loudspeakerTrials(false);
    const Result chosenIn = microphoneTrials(false);
    std::fprintf(stderr, "capture: %lld samples dropped as too old, latency %lld us\n",
        static_cast<long long>(microphone.droppedSamples()),
        static_cast<long long>(microphone.latencyUs()));
    speaker.stop();
    microphone.stop();

    const QString baseline = u"a plain libpulse move of the same stream"_s;
    using T = BenchFigures::Target;
    figures.add(u"voice/device switch/loudspeaker"_s,
        u"median ms until the server reports the stream on the new sink"_s,
        Median(chosenOut.switchMs), baseline, Median(plainOut.switchMs), T::ValueAtMost, 200);
    figures.add(u"voice/device switch/loudspeaker voice lost"_s,
        u"median ms of a 1 s tone not heard on either sink"_s, Median(chosenOut.lostMs), baseline,
        Median(plainOut.lostMs), T::ValueAtMost, 200);
    figures.add(u"voice/device switch/microphone"_s,
        u"median ms until the server reports the stream on the new source"_s,
        Median(chosenIn.switchMs), baseline, Median(plainIn.switchMs), T::ValueAtMost, 200);
    figures.add(u"voice/device switch/microphone voice lost"_s,
        u"median ms of tone missing or silent across the switch"_s, Median(chosenIn.lostMs),
        baseline, Median(plainIn.lostMs), T::ValueAtMost, 200);
    for (const auto &[name, chosen, plain] :
        {std::tuple{"loudspeaker", &chosenOut, &plainOut}, {"microphone", &chosenIn, &plainIn}})
        std::printf("%s: median %.1f ms to switch (plain move %.1f), %.1f ms lost (plain move "
                    "%.1f); worst %.1f ms to switch, %.1f ms lost\n",
            name, Median(chosen->switchMs), Median(plain->switchMs), Median(chosen->lostMs),
            Median(plain->lostMs), Worst(chosen->switchMs), Worst(chosen->lostMs));
    return 0;
}
