#include "voice/pulse/pulsestream.h"

#include "voice/core/voiceformat.h"
#include "voice/pulse/lumovoicepulse_logging.h"

#include <pulse/pulseaudio.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Voice {

namespace {
// The device delay is logged once a stream has settled: the first reports
// still include the buffers filling up (a monitor source wakes up late and
// hands its first second over at once).
constexpr qint64 SamplesBeforeLog = 2 * SampleRate;
// The server is asked for its timing this often; between two answers the
// latency is interpolated from our own clock. libpulse's automatic updates
// ask after every write and read instead: a round trip to the server, and a
// wake-up of both, per fragment.
constexpr pa_usec_t TimingEveryUs = 500 * PA_USEC_PER_MSEC;
// The interpolated latency is read this often from the handlers; the
// canceller's delay search and the about box need no more.
constexpr qint64 LatencyEverySamples = SampleRate / 20;

uint32_t bytesFor(int ms)
{
    return uint32_t(ms * SampleRate / 1000 * 2);
}
} // namespace

// Everything here except `owner` and the handlers' captures belongs to the
// loop thread, or to the starting thread while it holds the loop's lock.
struct PulseStream::Private {
    PulseStream *owner = nullptr;
    Options options;
    CaptureHandler capture;
    PlaybackFiller playback;
    FailureHandler failure;
    StartHandler started;

    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    pa_stream *stream = nullptr;
    pa_time_event *deadline = nullptr;
    pa_time_event *timing = nullptr;

    bool ready = false; // the stream runs
    bool failed = false; // before or after ready
    bool timedOut = false;
    int timeoutMs = 0;
    bool failureReported = false;
    bool startReported = false;
    QString why;
    qint64 samples = 0; // handed over or dropped
    qint64 latencyNotedAt = -LatencyEverySamples;
    // Playback: pa_rtclock_now() of the last activity(); corked meanwhile.
    std::atomic<pa_usec_t> activeUs{0};
    std::atomic<bool> corked{false};
    bool latencyLogged = false;
    // Capture: samples that may still be handed over at once.
    double budget = 0;
    pa_usec_t lastUs = 0;
    std::vector<qint16> silence;

    void fail(const QString &reason);
    void startEnded(Outcome outcome);
    void openStream();
    void noteLatency();
    void noteLatencyNowAndThen()
    {
        if (samples - latencyNotedAt >= LatencyEverySamples) {
            latencyNotedAt = samples;
            noteLatency();
        }
    }
    void askTiming();
    void corkIfIdle(const qint16 *written, int count);
    bool tooOld(int count);
    void noteDropped(int count) { owner->m_dropped.fetch_add(count, std::memory_order_relaxed); }
};

namespace {

void onContextState(pa_context *context, void *userdata)
{
    auto *d = static_cast<PulseStream::Private *>(userdata);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        if (!d->stream)
            d->openStream();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        d->fail(u"sound server: "_s + QString::fromUtf8(pa_strerror(pa_context_errno(context))));
        break;
    default: break;
    }
}

void onStreamState(pa_stream *stream, void *userdata)
{
    auto *d = static_cast<PulseStream::Private *>(userdata);
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        d->ready = true;
        d->askTiming();
        d->startEnded(PulseStream::Outcome::Running);
        pa_threaded_mainloop_signal(d->loop, 0);
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        d->fail(u"sound stream: "_s
            + QString::fromUtf8(pa_strerror(pa_context_errno(pa_stream_get_context(stream)))));
        break;
    default: break;
    }
}

void onRead(pa_stream *stream, size_t, void *userdata)
{
    auto *d = static_cast<PulseStream::Private *>(userdata);
    for (;;) {
        // Nothing left: no data and no size. Asked this way rather than
        // through the readable size first, which costs a call per fragment.
        const void *data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
            break;
        const int count = int(bytes / 2);
        if (d->tooOld(count)) {
            d->noteDropped(count);
            d->samples += count;
            pa_stream_drop(stream);
            continue;
        }
        if (data) {
            d->capture(static_cast<const qint16 *>(data), count);
        } else {
            // A hole (an overrun on the server): the time it covers passes
            // as silence, so the stream keeps its pace.
            d->silence.assign(std::size_t(count), 0);
            d->capture(d->silence.data(), count);
        }
        d->samples += count;
        pa_stream_drop(stream);
    }
    d->noteLatencyNowAndThen();
}

void onWrite(pa_stream *stream, size_t requested, void *userdata)
{
    auto *d = static_cast<PulseStream::Private *>(userdata);
    while (requested >= 2) {
        void *data = nullptr;
        size_t bytes = requested & ~size_t(1);
        if (pa_stream_begin_write(stream, &data, &bytes) < 0 || !data || bytes < 2)
            break;
        bytes &= ~size_t(1);
        d->playback(static_cast<qint16 *>(data), int(bytes / 2));
        d->corkIfIdle(static_cast<const qint16 *>(data), int(bytes / 2));
        d->samples += qint64(bytes / 2);
        if (pa_stream_write(stream, data, bytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            break;
        requested -= bytes;
    }
    d->noteLatencyNowAndThen();
}

void onLatencyUpdate(pa_stream *, void *userdata)
{
    static_cast<PulseStream::Private *>(userdata)->noteLatency();
}

void onMoved(pa_stream *stream, void *userdata)
{
    auto *d = static_cast<PulseStream::Private *>(userdata);
    const char *device = pa_stream_get_device_name(stream);
    qCInfo(lcVoicePulse, "%s stream moved to %s",
        d->options.direction == PulseStream::Direction::Capture ? "capture" : "playback",
        device ? device : "?");
    if (d->options.moved)
        d->options.moved(QByteArray(device ? device : ""));
}

void onTiming(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata)
{
    static_cast<PulseStream::Private *>(userdata)->askTiming();
}

void onDeadline(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata)
{
    auto *d = static_cast<PulseStream::Private *>(userdata);
    if (!d->ready && !d->failed) {
        d->timedOut = true;
        d->why = u"sound server: no answer in %1 ms"_s.arg(d->timeoutMs);
        d->startEnded(PulseStream::Outcome::NoAnswer);
        pa_threaded_mainloop_signal(d->loop, 0);
    }
}

} // namespace

void PulseStream::Private::fail(const QString &reason)
{
    if (failed)
        return;
    failed = true;
    why = reason;
    if (ready && failure && !failureReported) {
        failureReported = true;
        failure(reason);
    }
    if (!ready && !timedOut)
        startEnded(Outcome::Failed);
    pa_threaded_mainloop_signal(loop, 0);
}

void PulseStream::Private::startEnded(Outcome outcome)
{
    if (startReported)
        return;
    startReported = true;
    if (deadline) {
        pa_threaded_mainloop_get_api(loop)->time_free(deadline);
        deadline = nullptr;
    }
    if (started)
        started(outcome, outcome == Outcome::Running ? QString() : why);
}

void PulseStream::Private::openStream()
{
    const pa_sample_spec spec{PA_SAMPLE_S16LE, uint32_t(SampleRate), 1};
    // No "phone" role: desktop servers answer it by pausing other players
    // (the courseware's own sound among them) and by loading their own echo
    // canceller in front of ours.
    stream = pa_stream_new(context, options.streamName.constData(), &spec, nullptr);
    if (!stream) {
        fail(u"sound stream: "_s + QString::fromUtf8(pa_strerror(pa_context_errno(context))));
        return;
    }
    pa_stream_set_state_callback(stream, onStreamState, this);
    pa_stream_set_latency_update_callback(stream, onLatencyUpdate, this);
    pa_stream_set_moved_callback(stream, onMoved, this);
    // The server sizes its own device buffers to what we ask; its timing
    // reports come as askTiming() asks for them, and the latency between
    // them follows our clock.
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING);
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(-1);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    const char *device = options.device.isEmpty() ? nullptr : options.device.constData();
    int result = 0;
    if (options.direction == Direction::Capture) {
        // With the latency adjusted, the server runs the source at half the
        // fragment size asked for, so the reads come at half of it too.
        attr.fragsize = bytesFor(options.bufferMs);
        pa_stream_set_read_callback(stream, onRead, this);
        result = pa_stream_connect_record(stream, device, &attr, flags);
    } else {
        attr.tlength = bytesFor(options.bufferMs);
        // Requests of half the target: the filler is asked often enough
        // that the buffer never runs down to nothing between two requests.
        attr.minreq = bytesFor(std::max(5, options.bufferMs / 2));
        pa_stream_set_write_callback(stream, onWrite, this);
        result = pa_stream_connect_playback(stream, device, &attr, flags, nullptr, nullptr);
    }
    if (result < 0)
        fail(u"sound stream: "_s + QString::fromUtf8(pa_strerror(pa_context_errno(context))));
}

bool PulseStream::Private::tooOld(int count)
{
    // A source hands its sound over at its own pace; more than that at
    // once is a backlog (a thread held up, a source that woke up late and
    // passes its buffer on in one go), and what is older than the limit
    // goes. Counted as a budget that refills with the clock, a little faster
    // than real time so that a source running slow against our clock never
    // runs it dry, up to the limit and one fragment.
    constexpr double RefillRate = 1.002;
    const pa_usec_t now = pa_rtclock_now();
    const double cap = double(options.maxCaptureBacklogMs) * SampleRate / 1000 + count;
    if (lastUs == 0)
        budget = cap;
    else
        budget = std::min(cap, budget + double(now - lastUs) * RefillRate * SampleRate / 1e6);
    lastUs = now;
    if (budget < count)
        return true;
    budget -= count;
    return false;
}

void PulseStream::Private::corkIfIdle(const qint16 *written, int count)
{
    if (options.corkAfterIdleMs <= 0 || corked.load(std::memory_order_relaxed))
        return;
    // Signed: activity() may have stored a time just after ours was read.
    const qint64 idleUs = qint64(options.corkAfterIdleMs) * qint64(PA_USEC_PER_MSEC);
    if (qint64(pa_rtclock_now()) - qint64(activeUs.load(std::memory_order_relaxed)) < idleUs)
        return;
    // Whatever still plays (a tail the jitter buffer held) plays out first.
    if (std::any_of(written, written + count, [](qint16 sample) { return sample != 0; }))
        return;
    if (pa_operation *op = pa_stream_cork(stream, 1, nullptr, nullptr)) {
        pa_operation_unref(op);
        corked.store(true, std::memory_order_relaxed);
    }
}

void PulseStream::activity()
{
    if (!d || !d->loop)
        return;
    d->activeUs.store(pa_rtclock_now(), std::memory_order_relaxed);
    if (!d->corked.load(std::memory_order_relaxed))
        return;
    pa_threaded_mainloop_lock(d->loop);
    if (d->stream && d->ready && d->corked.load(std::memory_order_relaxed)) {
        if (pa_operation *op = pa_stream_cork(d->stream, 0, nullptr, nullptr))
            pa_operation_unref(op);
        d->corked.store(false, std::memory_order_relaxed);
    }
    pa_threaded_mainloop_unlock(d->loop);
}

void PulseStream::Private::askTiming()
{
    // The answer comes to the latency-update handler.
    if (pa_operation *op = pa_stream_update_timing_info(stream, nullptr, nullptr))
        pa_operation_unref(op);
    const pa_usec_t next = pa_rtclock_now() + TimingEveryUs;
    if (timing)
        pa_context_rttime_restart(context, timing, next);
    else
        timing = pa_context_rttime_new(context, next, onTiming, this);
}

void PulseStream::Private::noteLatency()
{
    pa_usec_t usec = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream, &usec, &negative) < 0)
        return;
    const qint64 latency = negative ? 0 : qint64(usec);
    owner->m_latencyUs.store(latency, std::memory_order_relaxed);
    if (!latencyLogged && samples >= SamplesBeforeLog) {
        latencyLogged = true;
        qCInfo(lcVoicePulse, "%s device delay %.1f ms (%s)",
            options.direction == Direction::Capture ? "capture" : "playback",
            double(latency) / 1000,
            pa_stream_get_device_name(stream) ? pa_stream_get_device_name(stream) : "?");
    }
}

PulseStream::PulseStream()
    : d(std::make_unique<Private>())
{
    d->owner = this;
}

PulseStream::~PulseStream()
{
    stop();
}

bool PulseStream::begin(const Options &options, CaptureHandler capture, PlaybackFiller playback,
    FailureHandler failure, StartHandler started, QString *why, int timeoutMs)
{
    stop();
    d = std::make_unique<Private>();
    d->owner = this;
    d->options = options;
    d->capture = std::move(capture);
    d->playback = std::move(playback);
    d->failure = std::move(failure);
    d->started = std::move(started);
    d->timeoutMs = timeoutMs;
    d->activeUs.store(pa_rtclock_now());
    m_latencyUs.store(-1);
    m_dropped.store(0);
    const auto refuse = [&](const QString &reason) {
        if (why)
            *why = reason;
        stop();
        return false;
    };
    if ((options.direction == Direction::Capture && !d->capture)
        || (options.direction == Direction::Playback && !d->playback))
        return refuse(u"no handler for the stream"_s);

    d->loop = pa_threaded_mainloop_new();
    if (!d->loop)
        return refuse(u"sound server: no main loop"_s);
    pa_threaded_mainloop_set_name(
        d->loop, options.direction == Direction::Capture ? "VocanaCapture" : "VocanaPlayback");
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(d->loop);
    d->context = pa_context_new(api, "LumoStudent");
    if (!d->context)
        return refuse(u"sound server: no context"_s);
    pa_context_set_state_callback(d->context, onContextState, d.get());
    // No autospawn: a machine without a sound server falls back to the
    // other audio path instead of growing a daemon of its own.
    if (pa_context_connect(d->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return refuse(
            u"sound server: "_s + QString::fromUtf8(pa_strerror(pa_context_errno(d->context))));
    // Set before the loop runs, so the start ends one way or another.
    d->deadline = pa_context_rttime_new(
        d->context, pa_rtclock_now() + pa_usec_t(timeoutMs) * 1000, onDeadline, d.get());
    if (pa_threaded_mainloop_start(d->loop) < 0)
        return refuse(u"sound server: main loop did not start"_s);
    return true;
}

bool PulseStream::start(const Options &options, CaptureHandler capture, PlaybackFiller playback,
    FailureHandler failure, QString *why, int timeoutMs)
{
    if (!begin(options, std::move(capture), std::move(playback), std::move(failure), {}, why,
            timeoutMs))
        return false;
    pa_threaded_mainloop_lock(d->loop);
    // A state with three ends: the stream runs, something failed, or the
    // deadline passed.
    while (!d->ready && !d->failed && !d->timedOut)
        pa_threaded_mainloop_wait(d->loop);
    const bool started = d->ready && !d->failed;
    const QString reason = d->why;
    pa_threaded_mainloop_unlock(d->loop);
    if (!started) {
        if (why)
            *why = reason;
        stop();
    }
    return started;
}

void PulseStream::stop()
{
    if (!d || !d->loop)
        return;
    pa_threaded_mainloop_lock(d->loop);
    for (pa_time_event **event : {&d->deadline, &d->timing}) {
        if (*event) {
            pa_threaded_mainloop_get_api(d->loop)->time_free(*event);
            *event = nullptr;
        }
    }
    if (d->stream) {
        pa_stream_set_state_callback(d->stream, nullptr, nullptr);
        pa_stream_set_read_callback(d->stream, nullptr, nullptr);
        pa_stream_set_write_callback(d->stream, nullptr, nullptr);
        pa_stream_set_latency_update_callback(d->stream, nullptr, nullptr);
        pa_stream_set_moved_callback(d->stream, nullptr, nullptr);
        pa_stream_disconnect(d->stream);
        pa_stream_unref(d->stream);
        d->stream = nullptr;
    }
    if (d->context) {
        pa_context_set_state_callback(d->context, nullptr, nullptr);
        pa_context_disconnect(d->context);
        pa_context_unref(d->context);
        d->context = nullptr;
    }
    pa_threaded_mainloop_unlock(d->loop);
    pa_threaded_mainloop_stop(d->loop);
    pa_threaded_mainloop_free(d->loop);
    d->loop = nullptr;
    d->ready = false;
}

bool PulseStream::isRunning() const
{
    if (!d || !d->loop)
        return false;
    pa_threaded_mainloop_lock(d->loop);
    const bool running = d->ready && !d->failed;
    pa_threaded_mainloop_unlock(d->loop);
    return running;
}

namespace {

struct DeviceQuery {
    pa_threaded_mainloop *loop = nullptr;
    QList<PulseDevice> devices;
    QByteArray defaultSink;
    QByteArray defaultSource;
    int pending = 0; // answers still to come
    bool ready = false;
    bool failed = false;
    bool timedOut = false;
    QString why;
};

void onQueryDone(DeviceQuery *q)
{
    if (--q->pending == 0)
        pa_threaded_mainloop_signal(q->loop, 0);
}

void onQueryServer(pa_context *, const pa_server_info *info, void *userdata)
{
    auto *q = static_cast<DeviceQuery *>(userdata);
    if (info) {
        q->defaultSink = info->default_sink_name ? info->default_sink_name : "";
        q->defaultSource = info->default_source_name ? info->default_source_name : "";
    }
    onQueryDone(q);
}

void onQuerySink(pa_context *, const pa_sink_info *info, int eol, void *userdata)
{
    auto *q = static_cast<DeviceQuery *>(userdata);
    if (eol) {
        onQueryDone(q);
        return;
    }
    q->devices.append({false, QByteArray(info->name), QString::fromUtf8(info->description), false});
}

void onQuerySource(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *q = static_cast<DeviceQuery *>(userdata);
    if (eol) {
        onQueryDone(q);
        return;
    }
    // A loudspeaker's monitor is no microphone.
    if (info->monitor_of_sink == PA_INVALID_INDEX)
        q->devices.append(
            {true, QByteArray(info->name), QString::fromUtf8(info->description), false});
}

void onQueryContext(pa_context *context, void *userdata)
{
    auto *q = static_cast<DeviceQuery *>(userdata);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        q->ready = true;
        q->pending = 3;
        pa_operation *ops[] = {pa_context_get_server_info(context, onQueryServer, q),
            pa_context_get_sink_info_list(context, onQuerySink, q),
            pa_context_get_source_info_list(context, onQuerySource, q)};
        for (pa_operation *op : ops) {
            if (op)
                pa_operation_unref(op);
            else
                onQueryDone(q);
        }
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        q->failed = true;
        q->why = u"sound server: "_s + QString::fromUtf8(pa_strerror(pa_context_errno(context)));
        pa_threaded_mainloop_signal(q->loop, 0);
        break;
    default: break;
    }
}

void onQueryDeadline(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata)
{
    auto *q = static_cast<DeviceQuery *>(userdata);
    q->timedOut = true;
    pa_threaded_mainloop_signal(q->loop, 0);
}

} // namespace

QList<PulseDevice> ListPulseDevices(QString *why, int timeoutMs)
{
    DeviceQuery q;
    q.loop = pa_threaded_mainloop_new();
    if (!q.loop) {
        if (why)
            *why = u"sound server: no main loop"_s;
        return {};
    }
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(q.loop);
    pa_context *context = pa_context_new(api, "LumoStudent");
    bool answered = false;
    if (context && pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        pa_context_set_state_callback(context, onQueryContext, &q);
        if (pa_threaded_mainloop_start(q.loop) >= 0) {
            pa_threaded_mainloop_lock(q.loop);
            pa_time_event *deadline = pa_context_rttime_new(
                context, pa_rtclock_now() + pa_usec_t(timeoutMs) * 1000, onQueryDeadline, &q);
            // Ends on every answer in, a failure, or the deadline.
            while (!(q.ready && q.pending == 0) && !q.failed && !q.timedOut)
                pa_threaded_mainloop_wait(q.loop);
            if (deadline)
                api->time_free(deadline);
            answered = q.ready && q.pending == 0 && !q.failed;
            if (!answered && q.why.isEmpty())
                q.why = u"sound server: no answer in %1 ms"_s.arg(timeoutMs);
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_threaded_mainloop_unlock(q.loop);
            pa_threaded_mainloop_stop(q.loop);
        }
    } else {
        q.why = u"sound server: "_s
            + (context ? QString::fromUtf8(pa_strerror(pa_context_errno(context)))
                       : u"no context"_s);
    }
    if (context)
        pa_context_unref(context);
    pa_threaded_mainloop_free(q.loop);
    if (!answered) {
        if (why)
            *why = q.why;
        return {};
    }
    for (PulseDevice &device : q.devices)
        device.isDefault = device.name == (device.capture ? q.defaultSource : q.defaultSink);
    return q.devices;
}

namespace {

// Whether something listens on the Unix socket at `path`; a non-blocking
// connect never waits for the server to accept.
bool listening(const QByteArray &path)
{
    sockaddr_un address{};
    if (path.isEmpty() || std::size_t(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::copy(path.begin(), path.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int result = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    // EAGAIN: its queue is full, so it is there (and probably hung).
    const bool there = result == 0 || errno == EAGAIN || errno == EINPROGRESS;
    ::close(fd);
    return there;
}

// The "default-server" of a client configuration file, empty when it has
// none. Lines are "key = value"; ';' and '#' start comments.
QByteArray configuredServer(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QByteArray server;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const qsizetype equals = line.indexOf('=');
        if (line.startsWith(';') || line.startsWith('#') || equals < 0
            || line.left(equals).trimmed() != "default-server")
            continue;
        server = line.mid(equals + 1).trimmed();
    }
    return server;
}

// The server list libpulse takes when PULSE_SERVER is not set: the client
// configuration's, the user's file over the system's (PULSE_CLIENTCONFIG, if
// set, the only one). Empty: the default sockets.
QByteArray serverOfClientConfig()
{
    if (qEnvironmentVariableIsSet("PULSE_CLIENTCONFIG"))
        return configuredServer(qEnvironmentVariable("PULSE_CLIENTCONFIG"));
    QStringList files{u"/etc/pulse/client.conf"_s};
    const QDir drop(u"/etc/pulse/client.conf.d"_s);
    for (const QString &name : drop.entryList({u"*.conf"_s}, QDir::Files, QDir::Name))
        files << drop.filePath(name);
    const QString config = qEnvironmentVariableIsSet("XDG_CONFIG_HOME")
        ? qEnvironmentVariable("XDG_CONFIG_HOME")
        : QDir::homePath() + u"/.config"_s;
    files << config + u"/pulse/client.conf"_s;
    QByteArray server;
    for (const QString &file : std::as_const(files)) {
        const QByteArray found = configuredServer(file);
        if (!found.isEmpty())
            server = found;
    }
    return server;
}

} // namespace

bool SoundServerMayBeListening()
{
    QByteArray server = qgetenv("PULSE_SERVER");
    if (server.trimmed().isEmpty())
        server = serverOfClientConfig();
    if (!server.trimmed().isEmpty()) {
        for (const QByteArray &entry : server.simplified().split(' ')) {
            // "{machine-id}address": the address after the braces.
            QByteArray address = entry.mid(entry.startsWith('{') ? entry.indexOf('}') + 1 : 0);
            if (address.startsWith("unix:"))
                address = address.mid(5);
            if (!address.startsWith('/'))
                return true; // a network address: not known without waiting
            if (listening(address))
                return true;
        }
        return false;
    }
    QList<QByteArray> sockets;
    if (qEnvironmentVariableIsSet("PULSE_RUNTIME_PATH"))
        sockets << qgetenv("PULSE_RUNTIME_PATH") + "/native";
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        sockets << qgetenv("XDG_RUNTIME_DIR") + "/pulse/native";
    sockets << "/run/user/" + QByteArray::number(getuid()) + "/pulse/native"
            << "/var/run/pulse/native";
    return std::any_of(sockets.begin(), sockets.end(), listening);
}

} // namespace Voice
