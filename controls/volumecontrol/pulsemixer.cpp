#include "controls/volumecontrol/pulsemixer.h"

#include "controls/volumecontrol/pulseconnection.h"
#include "controls/volumecontrol/soundserver.h"

#include <QMetaObject>
#include <QString>

#include <pulse/pulseaudio.h>

#include <array>

using namespace Qt::StringLiterals;

namespace {

struct LineState {
    QByteArray name;
    pa_cvolume volume{};
    bool present = false;
};

} // namespace

// Everything the libpulse thread touches lives here and is guarded by the
// threaded main loop's lock; the UI thread reads its own copy (`published`).
struct PulseMixer::Shared : PulseConnection {
    PulseMixer *owner = nullptr;

    // Loop thread side, under the lock.
    std::array<LineState, 2> lines;
    int pendingQueries = 0;
    bool failed = false;
    QString failure;

    // UI thread side.
    std::array<LineState, 2> published;
    bool ready = false;
    bool reportedFailure = false;

    void refresh();
    void postPublish();
    void postFailure(const QString &reason);
    void publish();
};

namespace {

void OnSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *userdata);
void OnSourceInfo(pa_context *, const pa_source_info *info, int eol, void *userdata);

void FinishQuery(PulseMixer::Shared *s)
{
    if (--s->pendingQueries == 0)
        s->postPublish();
}

void OnServerInfo(pa_context *context, const pa_server_info *info, void *userdata)
{
    auto *s = static_cast<PulseMixer::Shared *>(userdata);
    const QByteArray sink
        = info && info->default_sink_name ? QByteArray(info->default_sink_name) : QByteArray();
    const QByteArray source
        = info && info->default_source_name ? QByteArray(info->default_source_name) : QByteArray();
    s->pendingQueries = 2;
    s->lines[PulseMixer::Speaker].present = false;
    s->lines[PulseMixer::Microphone].present = false;
    pa_operation *op = nullptr;
    if (!sink.isEmpty())
        op = pa_context_get_sink_info_by_name(context, sink.constData(), OnSinkInfo, s);
    if (op)
        pa_operation_unref(op);
    else
        FinishQuery(s);
    op = nullptr;
    if (!source.isEmpty())
        op = pa_context_get_source_info_by_name(context, source.constData(), OnSourceInfo, s);
    if (op)
        pa_operation_unref(op);
    else
        FinishQuery(s);
}

void OnSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *userdata)
{
    auto *s = static_cast<PulseMixer::Shared *>(userdata);
    if (eol != 0) {
        FinishQuery(s);
        return;
    }
    LineState &line = s->lines[PulseMixer::Speaker];
    line.name = info->name;
    line.volume = info->volume;
    line.present = true;
}

void OnSourceInfo(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *s = static_cast<PulseMixer::Shared *>(userdata);
    if (eol != 0) {
        FinishQuery(s);
        return;
    }
    LineState &line = s->lines[PulseMixer::Microphone];
    line.name = info->name;
    line.volume = info->volume;
    line.present = true;
}

void OnSubscription(pa_context *, pa_subscription_event_type_t, uint32_t, void *userdata)
{
    // Any change of a sink, a source or the server (a new default device)
    // is answered by reading both lines again: cheap, and never stale.
    static_cast<PulseMixer::Shared *>(userdata)->refresh();
}

void OnContextState(pa_context *context, void *userdata)
{
    auto *s = static_cast<PulseMixer::Shared *>(userdata);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        pa_context_set_subscribe_callback(context, OnSubscription, s);
        const auto mask = pa_subscription_mask_t(
            PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER);
        if (pa_operation *op = pa_context_subscribe(context, mask, nullptr, nullptr))
            pa_operation_unref(op);
        s->refresh();
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        s->postFailure(QString::fromUtf8(pa_strerror(pa_context_errno(context))));
        break;
    default: break;
    }
}

} // namespace

void PulseMixer::Shared::refresh()
{
    if (pa_operation *op = pa_context_get_server_info(context, OnServerInfo, this))
        pa_operation_unref(op);
}

void PulseMixer::Shared::postPublish()
{
    QMetaObject::invokeMethod(
        owner, [this] { publish(); }, Qt::QueuedConnection);
}

void PulseMixer::Shared::postFailure(const QString &reason)
{
    failed = true;
    failure = reason;
    QMetaObject::invokeMethod(
        owner,
        [this, reason] {
            published = {};
            if (reportedFailure)
                return;
            reportedFailure = true;
            Q_EMIT owner->unavailable(reason);
        },
        Qt::QueuedConnection);
}

void PulseMixer::Shared::publish()
{
    pa_threaded_mainloop_lock(loop);
    published = lines;
    pa_threaded_mainloop_unlock(loop);
    if (!ready) {
        ready = true;
        Q_EMIT owner->ready();
    }
    Q_EMIT owner->changed();
}

PulseMixer::PulseMixer(QObject *parent)
    : VolumeMixer(parent)
    , m(std::make_unique<Shared>())
{
    m->owner = this;
    if (const QString failure = m->open("LumoStudent volume", OnContextState, m.get());
        !failure.isEmpty())
        m->postFailure(failure);
}

PulseMixer::~PulseMixer()
{
    m->close();
}

bool PulseMixer::isReady() const
{
    return m->ready;
}

bool PulseMixer::hasLine(Line line) const
{
    return m->published[line].present;
}

quint32 PulseMixer::maximum(Line) const
{
    // Full scale is the nominal 100 %; the server allows more (amplification),
    // which the control never writes.
    return PA_VOLUME_NORM;
}

quint32 PulseMixer::volume(Line line) const
{
    const LineState &state = m->published[line];
    return state.present ? pa_cvolume_max(&state.volume) : 0;
}

void PulseMixer::setVolume(Line line, quint32 value)
{
    LineState &state = m->published[line];
    if (!state.present || !m->context)
        return;
    pa_cvolume volume = state.volume;
    pa_cvolume_set(&volume, volume.channels, pa_volume_t(std::min<quint32>(value, PA_VOLUME_MAX)));
    state.volume = volume;
    pa_threaded_mainloop_lock(m->loop);
    m->lines[line].volume = volume;
    pa_operation *op = line == Speaker ? pa_context_set_sink_volume_by_name(
                           m->context, state.name.constData(), &volume, nullptr, nullptr)
                                       : pa_context_set_source_volume_by_name(m->context,
                                           state.name.constData(), &volume, nullptr, nullptr);
    if (op)
        pa_operation_unref(op);
    pa_threaded_mainloop_unlock(m->loop);
}

QByteArray PulseMixer::deviceName(Line line) const
{
    return m->published[line].name;
}

extern "C" AULIX_VOLUMECONTROLPULSE_EXPORT VolumeMixer *lumo_sound_server_mixer()
{
    return new PulseMixer;
}
