#include "voice/pulse/pulsewatcher.h"

#include <pulse/pulseaudio.h>

using namespace Qt::StringLiterals;

namespace Voice {

struct PulseWatcher::Private {
    Changed changed;
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    bool subscribed = false;
    bool failed = false;
    bool timedOut = false;
    QString why;
};

namespace {

void onEvent(pa_context *, pa_subscription_event_type_t type, uint32_t, void *userdata)
{
    auto *d = static_cast<PulseWatcher::Private *>(userdata);
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    // A device's volume or state changes all the time; only arrivals,
    // departures and the server's defaults change the list.
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    if (facility == PA_SUBSCRIPTION_EVENT_SERVER || kind != PA_SUBSCRIPTION_EVENT_CHANGE)
        d->changed();
}

void onSubscribed(pa_context *, int success, void *userdata)
{
    auto *d = static_cast<PulseWatcher::Private *>(userdata);
    if (success)
        d->subscribed = true;
    else
        d->failed = true;
    pa_threaded_mainloop_signal(d->loop, 0);
}

void onState(pa_context *context, void *userdata)
{
    auto *d = static_cast<PulseWatcher::Private *>(userdata);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        pa_context_set_subscribe_callback(context, onEvent, d);
        const auto mask = pa_subscription_mask_t(
            PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER);
        if (pa_operation *op = pa_context_subscribe(context, mask, onSubscribed, d))
            pa_operation_unref(op);
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        d->failed = true;
        d->why = u"sound server: "_s + QString::fromUtf8(pa_strerror(pa_context_errno(context)));
        pa_threaded_mainloop_signal(d->loop, 0);
        break;
    default: break;
    }
}

void onDeadline(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata)
{
    auto *d = static_cast<PulseWatcher::Private *>(userdata);
    d->timedOut = true;
    pa_threaded_mainloop_signal(d->loop, 0);
}

} // namespace

PulseWatcher::PulseWatcher() = default;

PulseWatcher::~PulseWatcher()
{
    stop();
}

bool PulseWatcher::start(Changed changed, QString *why, int timeoutMs)
{
    stop();
    d = std::make_unique<Private>();
    d->changed = std::move(changed);
    d->loop = pa_threaded_mainloop_new();
    if (!d->loop) {
        if (why)
            *why = u"sound server: no main loop"_s;
        d.reset();
        return false;
    }
    pa_threaded_mainloop_set_name(d->loop, "VocanaDevices");
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(d->loop);
    d->context = pa_context_new(api, "LumoStudent");
    bool started = false;
    if (d->context
        && pa_context_connect(d->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
        pa_context_set_state_callback(d->context, onState, d.get());
        if (pa_threaded_mainloop_start(d->loop) >= 0) {
            pa_threaded_mainloop_lock(d->loop);
            pa_time_event *deadline = pa_context_rttime_new(
                d->context, pa_rtclock_now() + pa_usec_t(timeoutMs) * 1000, onDeadline, d.get());
            // Ends on the subscription, a failure or the deadline.
            while (!d->subscribed && !d->failed && !d->timedOut)
                pa_threaded_mainloop_wait(d->loop);
            if (deadline)
                api->time_free(deadline);
            started = d->subscribed && !d->failed;
            if (!started && d->why.isEmpty())
                d->why = u"sound server: no answer in %1 ms"_s.arg(timeoutMs);
            pa_threaded_mainloop_unlock(d->loop);
        }
    } else if (d->context) {
        d->why = u"sound server: "_s + QString::fromUtf8(pa_strerror(pa_context_errno(d->context)));
    }
    if (!started) {
        if (why)
            *why = d->why.isEmpty() ? u"sound server: not reached"_s : d->why;
        stop();
    }
    return started;
}

void PulseWatcher::stop()
{
    if (!d)
        return;
    if (d->loop) {
        pa_threaded_mainloop_lock(d->loop);
        if (d->context) {
            pa_context_set_subscribe_callback(d->context, nullptr, nullptr);
            pa_context_set_state_callback(d->context, nullptr, nullptr);
            pa_context_disconnect(d->context);
        }
        pa_threaded_mainloop_unlock(d->loop);
        pa_threaded_mainloop_stop(d->loop);
    }
    if (d->context)
        pa_context_unref(d->context);
    if (d->loop)
        pa_threaded_mainloop_free(d->loop);
    d.reset();
}

} // namespace Voice
