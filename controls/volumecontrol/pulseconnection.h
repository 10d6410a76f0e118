#pragma once

#include <QString>

#include <pulse/pulseaudio.h>

#include <functional>

// A libpulse context on a threaded main loop of its own, for the mixer and
// the device list alike. No autospawn: a client must not start a sound
// server of its own; with none running the callers work without one.
struct PulseConnection {
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;

    // Empty when the connection is under way (`onState` tells how it goes),
    // else why it cannot be.
    QString open(const char *name, pa_context_notify_cb_t onState, void *userdata)
    {
        loop = pa_threaded_mainloop_new();
        if (!loop)
            return QStringLiteral("cannot create the PulseAudio main loop");
        pa_proplist *props = pa_proplist_new();
        pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, name);
        context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop), name, props);
        pa_proplist_free(props);
        if (!context)
            return QStringLiteral("cannot create a PulseAudio context");
        pa_context_set_state_callback(context, onState, userdata);
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return QString::fromUtf8(pa_strerror(pa_context_errno(context)));
        if (pa_threaded_mainloop_start(loop) < 0)
            return QStringLiteral("cannot start the PulseAudio main loop");
        return {};
    }

    // `beforeDisconnect` runs under the loop's lock (streams of the caller's
    // go first); no callback of the context runs after this returns.
    void close(const std::function<void()> &beforeDisconnect = {})
    {
        if (!loop)
            return;
        pa_threaded_mainloop_lock(loop);
        if (beforeDisconnect)
            beforeDisconnect();
        if (context) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_set_subscribe_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
            context = nullptr;
        }
        pa_threaded_mainloop_unlock(loop);
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
        loop = nullptr;
    }
};
