#include "controls/volumecontrol/aulix_volumecontrolpulse_export.h"
#include "controls/volumecontrol/pulseconnection.h"
#include "controls/volumecontrol/soundserver.h"

#include <QHash>
#include <QMetaObject>

#include <pulse/pulseaudio.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// What the voice engine asks of the server: 48 kHz mono, 10 ms captured at a
// time, 40 ms of playback queued.
constexpr pa_sample_spec VoiceSpec{PA_SAMPLE_S16LE, 48000, 1};
constexpr uint32_t CaptureFragmentBytes = 480 * 2;
constexpr uint32_t PlaybackTargetBytes = 1920 * 2;
constexpr size_t DelayReportBytes = 48000; // every half second of voice

struct Direction {
    QList<SoundDevices::Device> devices;
    QHash<QByteArray, uint32_t> indexes;
    QHash<QByteArray, QString> descriptions; // also of devices gone since
    QByteArray fallback;
    QByteArray chosen;
    // Once the student has chosen, streams are kept where the choice says,
    // also when it goes back to the default; before, they are left alone.
    bool pinned = false;
    bool lostSaid = false;
};

} // namespace

namespace {

using Device = SoundDevices::Device;

// Everything the libpulse thread touches lives here and is guarded by the
// threaded main loop's lock; the UI thread keeps its own published copy.
struct PulseDevices final : SoundDevices::Backend, PulseConnection {
    explicit PulseDevices(SoundDevices *devices);
    ~PulseDevices() override;

    bool isReady() const override;
    QList<Device> inputs() const override;
    QList<Device> outputs() const override;
    QByteArray defaultInput() const override;
    QByteArray defaultOutput() const override;
    void choose(const QByteArray &input, const QByteArray &output) override;
    QByteArray chosenInput() const override;
    QByteArray chosenOutput() const override;
    void setMeterUse(SoundDevices::MeterUse use, bool on) override;
    void setLoopback(bool on) override;
    bool loopbackRunning() const override;

    SoundDevices *const owner;
    QByteArray ownPid = QByteArray::number(qint64(::getpid()));

    // Loop thread side, under the lock.
    Direction in, out; // sources and sinks
    Direction nextIn, nextOut; // the lists being read
    int pendingQueries = 0;
    bool refreshAgain = false;
    bool contextReady = false;
    int meterUses = 0; // SoundDevices::MeterUse bits
    bool loopbackWanted = false;
    pa_stream *meter = nullptr;
    pa_stream *loopIn = nullptr;
    pa_stream *loopOut = nullptr;
    size_t loopBytesSinceReport = 0;

    // UI thread side.
    QList<Device> publishedIn, publishedOut;
    QByteArray publishedFallbackIn, publishedFallbackOut;
    bool ready = false;
    bool reportedFailure = false;

    void refresh();
    void finishQuery();
    void commitLists();
    void applyChoice();
    void moveIfOurs(bool input, uint32_t stream, uint32_t device, const pa_proplist *props);
    void restartMeter();
    void stopMeter();
    void restartLoopback();
    void stopLoopback();
    void postFailure(const QString &reason);

    // The device a stream should be on: the chosen one while it is there,
    // else the server's default.
    static QByteArray target(const Direction &d)
    {
        return d.chosen.isEmpty() || !d.indexes.contains(d.chosen) ? QByteArray() : d.chosen;
    }
    static QByteArray moveTarget(const Direction &d)
    {
        const QByteArray chosen = target(d);
        return chosen.isEmpty() ? d.fallback : chosen;
    }
};

void OnServerInfo(pa_context *, const pa_server_info *info, void *userdata)
{
    auto *s = static_cast<PulseDevices *>(userdata);
    if (info) {
        s->nextOut.fallback = info->default_sink_name ? info->default_sink_name : "";
        s->nextIn.fallback = info->default_source_name ? info->default_source_name : "";
    }
    s->finishQuery();
}

// One device of a list being read; the end of the list finishes its query.
template <typename Info>
void AddDevice(
    PulseDevices *s, Direction PulseDevices::*list, const Info *info, int eol, bool monitor)
{
    if (eol != 0) {
        s->finishQuery();
        return;
    }
    Direction &next = s->*list;
    const QByteArray name(info->name);
    const QString description
        = QString::fromUtf8(info->description ? info->description : info->name);
    next.devices.append({name, description, monitor});
    next.indexes.insert(name, info->index);
    next.descriptions.insert(name, description);
}

void OnSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *userdata)
{
    AddDevice(static_cast<PulseDevices *>(userdata), &PulseDevices::nextOut, info, eol, false);
}

void OnSourceInfo(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    AddDevice(static_cast<PulseDevices *>(userdata), &PulseDevices::nextIn, info, eol,
        eol == 0 && info->monitor_of_sink != PA_INVALID_INDEX);
}

void OnSinkInput(pa_context *, const pa_sink_input_info *info, int eol, void *userdata)
{
    if (eol == 0 && info)
        static_cast<PulseDevices *>(userdata)->moveIfOurs(
            false, info->index, info->sink, info->proplist);
}

void OnSourceOutput(pa_context *, const pa_source_output_info *info, int eol, void *userdata)
{
    if (eol == 0 && info)
        static_cast<PulseDevices *>(userdata)->moveIfOurs(
            true, info->index, info->source, info->proplist);
}

void OnSubscription(
    pa_context *context, pa_subscription_event_type_t type, uint32_t index, void *userdata)
{
    auto *s = static_cast<PulseDevices *>(userdata);
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const bool isNew = (type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) == PA_SUBSCRIPTION_EVENT_NEW;
    pa_operation *op = nullptr;
    switch (facility) {
    case PA_SUBSCRIPTION_EVENT_SINK_INPUT:
        if (isNew)
            op = pa_context_get_sink_input_info(context, index, OnSinkInput, s);
        break;
    case PA_SUBSCRIPTION_EVENT_SOURCE_OUTPUT:
        if (isNew)
            op = pa_context_get_source_output_info(context, index, OnSourceOutput, s);
        break;
    default: s->refresh(); break;
    }
    if (op)
        pa_operation_unref(op);
}

void OnContextState(pa_context *context, void *userdata)
{
    auto *s = static_cast<PulseDevices *>(userdata);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        s->contextReady = true;
        pa_context_set_subscribe_callback(context, OnSubscription, s);
        const auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK
            | PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER
            | PA_SUBSCRIPTION_MASK_SINK_INPUT | PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT);
        if (pa_operation *op = pa_context_subscribe(context, mask, nullptr, nullptr))
            pa_operation_unref(op);
        s->refresh();
        // Asked for before the server answered.
        s->restartMeter();
        s->restartLoopback();
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        s->contextReady = false;
        s->postFailure(QString::fromUtf8(pa_strerror(pa_context_errno(context))));
        break;
    default: break;
    }
}

void OnMeterRead(pa_stream *stream, size_t, void *userdata)
{
    auto *s = static_cast<PulseDevices *>(userdata);
    const void *data = nullptr;
    size_t bytes = 0;
    float peak = -1;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &data, &bytes) < 0)
            return;
        if (bytes == 0)
            break;
        // A hole (data null) carries no level; peak-detected samples are the
        // peaks of their stretch already.
        if (data && bytes >= sizeof(float)) {
            float last;
            std::memcpy(
                &last, static_cast<const char *>(data) + bytes - sizeof(float), sizeof last);
            peak = std::max(peak, last);
        }
        pa_stream_drop(stream);
    }
    if (peak < 0)
        return;
    const int percent = std::clamp(int(peak * 100.0f + 0.5f), 0, 100);
    QMetaObject::invokeMethod(
        s->owner, [owner = s->owner, percent] { Q_EMIT owner->level(percent); },
        Qt::QueuedConnection);
}

pa_usec_t StreamLatency(pa_stream *stream)
{
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream, &latency, &negative) < 0 || negative)
        return 0;
    return latency;
}

void OnLoopbackRead(pa_stream *stream, size_t, void *userdata)
{
    auto *s = static_cast<PulseDevices *>(userdata);
    const void *data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &data, &bytes) < 0)
            return;
        if (bytes == 0)
            break;
        if (s->loopOut && pa_stream_get_state(s->loopOut) == PA_STREAM_READY) {
            // What the output cannot take now is dropped rather than queued:
            // when the two devices' clocks differ the backlog, and with it
            // the delay heard, stays where the engine would keep it.
            const size_t room = pa_stream_writable_size(s->loopOut);
            const size_t take = std::min(bytes, room == size_t(-1) ? 0 : room);
            if (take > 0 && data)
                pa_stream_write(s->loopOut, data, take, nullptr, 0, PA_SEEK_RELATIVE);
            else if (take > 0)
                pa_stream_write(s->loopOut, nullptr, 0, nullptr, qint64(take), PA_SEEK_RELATIVE);
        }
        s->loopBytesSinceReport += bytes;
        pa_stream_drop(stream);
    }
    if (s->loopBytesSinceReport >= DelayReportBytes && s->loopOut) {
        s->loopBytesSinceReport = 0;
        const int ms = int((StreamLatency(stream) + StreamLatency(s->loopOut)) / 1000);
        QMetaObject::invokeMethod(
            s->owner, [owner = s->owner, ms] { Q_EMIT owner->loopbackDelay(ms); },
            Qt::QueuedConnection);
    }
}

void StopStream(pa_stream *&stream)
{
    if (!stream)
        return;
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

} // namespace

void PulseDevices::refresh()
{
    if (!contextReady)
        return;
    if (pendingQueries > 0) {
        refreshAgain = true;
        return;
    }
    nextIn = {};
    nextOut = {};
    nextIn.descriptions = in.descriptions;
    nextOut.descriptions = out.descriptions;
    pendingQueries = 3;
    pa_operation *ops[] = {
        pa_context_get_server_info(context, OnServerInfo, this),
        pa_context_get_sink_info_list(context, OnSinkInfo, this),
        pa_context_get_source_info_list(context, OnSourceInfo, this),
    };
    for (pa_operation *op : ops) {
        if (op)
            pa_operation_unref(op);
        else
            finishQuery();
    }
}

void PulseDevices::finishQuery()
{
    if (--pendingQueries > 0)
        return;
    commitLists();
    if (refreshAgain) {
        refreshAgain = false;
        refresh();
    }
}

void PulseDevices::commitLists()
{
    // Monitors after the real inputs: the first entries are what a student
    // means by a microphone.
    std::stable_partition(
        nextIn.devices.begin(), nextIn.devices.end(), [](const Device &d) { return !d.monitor; });
    QStringList lost;
    for (auto [now, next] : {std::pair{&in, &nextIn}, std::pair{&out, &nextOut}}) {
        const QByteArray chosen = now->chosen;
        bool lostSaid = now->lostSaid;
        if (!chosen.isEmpty() && !next->indexes.contains(chosen)) {
            if (!lostSaid)
                lost.append(next->descriptions.value(chosen, QString::fromUtf8(chosen)));
            lostSaid = true;
        } else {
            lostSaid = false;
        }
        const bool pinned = now->pinned;
        *now = std::move(*next);
        now->chosen = chosen;
        now->pinned = pinned;
        now->lostSaid = lostSaid;
    }
    applyChoice();
    QMetaObject::invokeMethod(
        owner,
        [this, ins = in.devices, outs = out.devices, fin = in.fallback, fout = out.fallback, lost] {
            publishedIn = ins;
            publishedOut = outs;
            publishedFallbackIn = fin;
            publishedFallbackOut = fout;
            ready = true;
            for (const QString &description : lost)
                Q_EMIT owner->deviceLost(description);
            Q_EMIT owner->changed();
        },
        Qt::QueuedConnection);
}

void PulseDevices::applyChoice()
{
    if (!contextReady)
        return;
    if (pa_operation *op = pa_context_get_sink_input_info_list(context, OnSinkInput, this))
        pa_operation_unref(op);
    if (pa_operation *op = pa_context_get_source_output_info_list(context, OnSourceOutput, this))
        pa_operation_unref(op);
}

void PulseDevices::moveIfOurs(
    bool input, uint32_t stream, uint32_t device, const pa_proplist *props)
{
    const char *pid = props ? pa_proplist_gets(props, PA_PROP_APPLICATION_PROCESS_ID) : nullptr;
    if (!pid || ownPid != pid)
        return;
    const Direction &d = input ? in : out;
    if (!d.pinned)
        return;
    const QByteArray name = moveTarget(d);
    if (name.isEmpty() || d.indexes.value(name, PA_INVALID_INDEX) == device)
        return;
    pa_operation *op = input
        ? pa_context_move_source_output_by_name(context, stream, name.constData(), nullptr, nullptr)
        : pa_context_move_sink_input_by_name(context, stream, name.constData(), nullptr, nullptr);
    if (op)
        pa_operation_unref(op);
}

void PulseDevices::stopMeter()
{
    StopStream(meter);
}

void PulseDevices::restartMeter()
{
    stopMeter();
    if (meterUses == 0 || !contextReady)
        return;
    constexpr pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, 25, 1};
    meter = pa_stream_new(context, "LumoStudent level", &spec, nullptr);
    if (!meter)
        return;
    pa_buffer_attr attr{};
    attr.maxlength = uint32_t(-1);
    attr.fragsize = sizeof(float);
    pa_stream_set_read_callback(meter, OnMeterRead, this);
    const QByteArray device = target(in);
    const auto flags = pa_stream_flags_t(PA_STREAM_PEAK_DETECT | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_record(
            meter, device.isEmpty() ? nullptr : device.constData(), &attr, flags)
        < 0)
        stopMeter();
}

void PulseDevices::stopLoopback()
{
    StopStream(loopIn);
    StopStream(loopOut);
}

void PulseDevices::restartLoopback()
{
    stopLoopback();
    if (!loopbackWanted || !contextReady)
        return;
    loopOut = pa_stream_new(context, "LumoStudent loopback test", &VoiceSpec, nullptr);
    loopIn = pa_stream_new(context, "LumoStudent loopback test", &VoiceSpec, nullptr);
    if (!loopOut || !loopIn) {
        stopLoopback();
        return;
    }
    const auto flags = pa_stream_flags_t(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    pa_buffer_attr play{};
    play.maxlength = uint32_t(-1);
    play.tlength = PlaybackTargetBytes;
    play.prebuf = uint32_t(-1);
    play.minreq = uint32_t(-1);
    play.fragsize = uint32_t(-1);
    pa_buffer_attr record{};
    record.maxlength = uint32_t(-1);
    record.fragsize = CaptureFragmentBytes;
    const QByteArray sink = target(out);
    const QByteArray source = target(in);
    loopBytesSinceReport = 0;
    pa_stream_set_read_callback(loopIn, OnLoopbackRead, this);
    if (pa_stream_connect_playback(
            loopOut, sink.isEmpty() ? nullptr : sink.constData(), &play, flags, nullptr, nullptr)
            < 0
        || pa_stream_connect_record(
               loopIn, source.isEmpty() ? nullptr : source.constData(), &record, flags)
            < 0)
        stopLoopback();
}

void PulseDevices::postFailure(const QString &reason)
{
    QMetaObject::invokeMethod(
        owner,
        [this, reason] {
            publishedIn.clear();
            publishedOut.clear();
            if (reportedFailure)
                return;
            reportedFailure = true;
            Q_EMIT owner->unavailable(reason);
        },
        Qt::QueuedConnection);
}

PulseDevices::PulseDevices(SoundDevices *devices)
    : owner(devices)
{
    // With no sound server running the page says so.
    if (const QString failure = open("LumoStudent", OnContextState, this); !failure.isEmpty())
        postFailure(failure);
}

PulseDevices::~PulseDevices()
{
    close([this] {
        stopMeter();
        stopLoopback();
    });
}

bool PulseDevices::isReady() const
{
    return ready;
}

QList<Device> PulseDevices::inputs() const
{
    return publishedIn;
}

QList<Device> PulseDevices::outputs() const
{
    return publishedOut;
}

QByteArray PulseDevices::defaultInput() const
{
    return publishedFallbackIn;
}

QByteArray PulseDevices::defaultOutput() const
{
    return publishedFallbackOut;
}

void PulseDevices::choose(const QByteArray &input, const QByteArray &output)
{
    if (!loop)
        return;
    pa_threaded_mainloop_lock(loop);
    const bool changedIn = in.chosen != input;
    const bool changedOut = out.chosen != output;
    in.chosen = input;
    out.chosen = output;
    in.pinned = in.pinned || !input.isEmpty();
    out.pinned = out.pinned || !output.isEmpty();
    if (changedIn)
        in.lostSaid = false;
    if (changedOut)
        out.lostSaid = false;
    // Streams already running move; the meter and the loopback are ours
    // too, so they follow by the same move. A choice of a device absent now
    // is said at once, as an unplugged one would be.
    if (changedIn || changedOut)
        refresh();
    pa_threaded_mainloop_unlock(loop);
}

QByteArray PulseDevices::chosenInput() const
{
    if (!loop)
        return {};
    pa_threaded_mainloop_lock(loop);
    const QByteArray name = in.chosen;
    pa_threaded_mainloop_unlock(loop);
    return name;
}

QByteArray PulseDevices::chosenOutput() const
{
    if (!loop)
        return {};
    pa_threaded_mainloop_lock(loop);
    const QByteArray name = out.chosen;
    pa_threaded_mainloop_unlock(loop);
    return name;
}

void PulseDevices::setMeterUse(SoundDevices::MeterUse use, bool on)
{
    if (!loop)
        return;
    pa_threaded_mainloop_lock(loop);
    const int uses = on ? meterUses | use : meterUses & ~use;
    if ((uses != 0) != (meterUses != 0)) {
        meterUses = uses;
        restartMeter();
    }
    meterUses = uses;
    pa_threaded_mainloop_unlock(loop);
}

void PulseDevices::setLoopback(bool on)
{
    if (!loop)
        return;
    pa_threaded_mainloop_lock(loop);
    if (loopbackWanted != on) {
        loopbackWanted = on;
        restartLoopback();
    }
    pa_threaded_mainloop_unlock(loop);
}

bool PulseDevices::loopbackRunning() const
{
    if (!loop)
        return false;
    pa_threaded_mainloop_lock(loop);
    const bool running = loopIn != nullptr;
    pa_threaded_mainloop_unlock(loop);
    return running;
}

extern "C" AULIX_VOLUMECONTROLPULSE_EXPORT SoundDevices::Backend *lumo_sound_server_devices(
    SoundDevices *owner)
{
    return new PulseDevices(owner);
}
