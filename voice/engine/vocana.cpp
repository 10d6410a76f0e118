// The engine's exported calls. Each takes the instance key and one argument
// by reference and returns a Vocana::Result. They are meant for one host
// thread; the registry is guarded anyway, since a stray call from elsewhere
// must not corrupt it.

#include "voice/api/vocanaapi.h"
#include "voice/engine/engineinstance.h"
#include "voice/engine/enginenotifier.h"
#include "voice/engine/vocana_export.h"
#include "voice/pulse/pulsestream.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>
#include <QMutex>
#include <QThread>

#include <cstring>
#include <map>
#include <memory>

namespace {

struct Registry {
    QMutex mutex;
    // Declared before the instances so it is destroyed after them: their
    // workers post to it until they are joined.
    std::unique_ptr<Vocana::EngineNotifier> notifier;
    std::map<int32_t, std::unique_ptr<Vocana::EngineInstance>> instances;
};

Registry &registry()
{
    static Registry r;
    return r;
}

// Called with the mutex held.
Vocana::EngineNotifier *notifierLocked()
{
    Registry &r = registry();
    if (!r.notifier)
        r.notifier = std::make_unique<Vocana::EngineNotifier>();
    return r.notifier.get();
}

template <typename F> int32_t withInstance(int32_t instance, F &&call)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    const auto it = r.instances.find(instance);
    if (it == r.instances.end())
        return Vocana::NotInitialised;
    return call(*it->second);
}

// Engines still running when the application object goes are stopped
// while the event machinery they use is still there.
void releaseAll()
{
    Registry &r = registry();
    decltype(r.instances) instances;
    {
        QMutexLocker lock(&r.mutex);
        instances.swap(r.instances);
    }
    instances.clear();
}

QString pathFrom(const char *utf8)
{
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

} // namespace

extern "C" {

VOCANA_EXPORT QObject *VocanaNotifier()
{
    QMutexLocker lock(&registry().mutex);
    return notifierLocked();
}

VOCANA_EXPORT int32_t InitDLL(int32_t instance, const char * /*empty*/)
{
    Registry &r = registry();
    QMutexLocker lock(&r.mutex);
    if (r.instances.count(instance))
        return Vocana::Ok;
    static const bool cleanupRegistered = [] {
        qAddPostRoutine(releaseAll);
        return true;
    }();
    Q_UNUSED(cleanupRegistered);
    // The multimedia back end keeps objects of its own on the thread that
    // first asks for a device. That must be the host's thread, not an
    // engine worker that ends at ReleaseDLL. It is needed only where no
    // sound server runs: and asking it while a server that has hung is
    // listening would hold the host's thread for good, since the back end
    // waits for that server's answer without a limit.
    if (QCoreApplication::instance()
        && QThread::currentThread() == QCoreApplication::instance()->thread()
        && !Voice::SoundServerMayBeListening())
        QMediaDevices::audioInputs();
    auto engine = std::make_unique<Vocana::EngineInstance>(notifierLocked());
    // Headless runs and tests choose sound files instead of the devices.
    engine->setWaveFiles(
        qEnvironmentVariable("LUMO_VOICE_MIC_WAV"), qEnvironmentVariable("LUMO_VOICE_PLAY_WAV"));
    engine->setNoiseSuppression(qEnvironmentVariable("LUMO_VOICE_NOISE_SUPPRESSION") != u'0');
    engine->setEchoCancellation(qEnvironmentVariable("LUMO_VOICE_ECHO_CANCELLATION") != u'0');
    engine->setGainControl(qEnvironmentVariable("LUMO_VOICE_GAIN_CONTROL") != u'0');
    r.instances.emplace(instance, std::move(engine));
    return Vocana::Ok;
}

VOCANA_EXPORT int32_t StartSpeak(int32_t instance, const VocanaAddressRecord *record)
{
    if (!record)
        return Vocana::BadArgument;
    return withInstance(instance, [&](Vocana::EngineInstance &e) { return e.startSpeak(*record); });
}

VOCANA_EXPORT int32_t StopSpeak(int32_t instance, const char * /*empty*/)
{
    return withInstance(instance, [](Vocana::EngineInstance &e) { return e.stopSpeak(); });
}

VOCANA_EXPORT int32_t StartListen(int32_t instance, const VocanaAddressRecord *record)
{
    if (!record)
        return Vocana::BadArgument;
    return withInstance(
        instance, [&](Vocana::EngineInstance &e) { return e.startListen(*record); });
}

VOCANA_EXPORT int32_t StopListen(int32_t instance, const int32_t * /*zero*/)
{
    return withInstance(instance, [](Vocana::EngineInstance &e) { return e.stopListen(); });
}

VOCANA_EXPORT int32_t ReleaseDLL(int32_t instance, const int32_t * /*zero*/)
{
    std::unique_ptr<Vocana::EngineInstance> engine;
    {
        Registry &r = registry();
        QMutexLocker lock(&r.mutex);
        const auto it = r.instances.find(instance);
        if (it == r.instances.end())
            return Vocana::NotInitialised;
        engine = std::move(it->second);
        r.instances.erase(it);
    }
    engine.reset(); // stops both channels and joins the worker
    return Vocana::Ok;
}

// Our own additions: sound files per instance (the environment variables
// apply to every instance of the process), the switches of the microphone's
// clean-up (noise suppression, echo cancellation, gain control; on by
// default), all taking effect at the next start, and the device delay.
VOCANA_EXPORT int32_t SetWaveFiles(int32_t instance, const VocanaWaveFiles *files)
{
    if (!files)
        return Vocana::BadArgument;
    return withInstance(instance, [&](Vocana::EngineInstance &e) {
        e.setWaveFiles(pathFrom(files->microphoneWav), pathFrom(files->playbackWav));
        return Vocana::Ok;
    });
}

VOCANA_EXPORT int32_t SetNoiseSuppression(int32_t instance, const int32_t *on)
{
    if (!on)
        return Vocana::BadArgument;
    return withInstance(instance, [&](Vocana::EngineInstance &e) {
        e.setNoiseSuppression(*on != 0);
        return Vocana::Ok;
    });
}

VOCANA_EXPORT int32_t SetEchoCancellation(int32_t instance, const int32_t *on)
{
    if (!on)
        return Vocana::BadArgument;
    return withInstance(instance, [&](Vocana::EngineInstance &e) {
        e.setEchoCancellation(*on != 0);
        return Vocana::Ok;
    });
}

VOCANA_EXPORT int32_t SetGainControl(int32_t instance, const int32_t *on)
{
    if (!on)
        return Vocana::BadArgument;
    return withInstance(instance, [&](Vocana::EngineInstance &e) {
        e.setGainControl(*on != 0);
        return Vocana::Ok;
    });
}

VOCANA_EXPORT int32_t GetDeviceDelay(int32_t instance, VocanaDeviceDelay *delay)
{
    if (!delay)
        return Vocana::BadArgument;
    return withInstance(instance, [&](Vocana::EngineInstance &e) {
        *delay = e.deviceDelay();
        return Vocana::Ok;
    });
}

// The microphone and the loudspeaker by their sound-server names; running
// channels switch at once, a device the server refuses gives way to the
// default one (and the log says so).
VOCANA_EXPORT int32_t SetAudioDevices(int32_t instance, const VocanaAudioDevices *devices)
{
    if (!devices)
        return Vocana::BadArgument;
    const QByteArray microphone(devices->microphone ? devices->microphone : "");
    const QByteArray loudspeaker(devices->loudspeaker ? devices->loudspeaker : "");
    return withInstance(instance,
        [&](Vocana::EngineInstance &e) { return e.setAudioDevices(microphone, loudspeaker); });
}

// hWnd and message of the record get a window message (wParam and lParam
// 0) whenever a device comes or goes or the defaults change, so the host can
// ask GetAudioDevices again; message 0 stops that.
VOCANA_EXPORT int32_t WatchAudioDevices(int32_t instance, const VocanaAddressRecord *record)
{
    if (!record)
        return Vocana::BadArgument;
    return withInstance(instance,
        [&](Vocana::EngineInstance &e) { return e.watchDevices(record->hWnd, record->message); });
}

// The sound server's devices as they are now (asked at each call, so a
// device plugged in since shows up).
VOCANA_EXPORT int32_t GetAudioDevices(int32_t instance, VocanaDeviceList *list)
{
    if (!list || list->capacity < 0 || (list->capacity > 0 && !list->text))
        return Vocana::BadArgument;
    {
        QMutexLocker lock(&registry().mutex);
        if (!registry().instances.count(instance))
            return Vocana::NotInitialised;
    }
    // Not under the registry's lock: the server may take a moment.
    QString why;
    const QList<Voice::PulseDevice> devices = Voice::ListPulseDevices(&why);
    if (devices.isEmpty() && !why.isEmpty())
        return Vocana::AudioUnavailable;
    QByteArray text;
    for (const Voice::PulseDevice &d : devices) {
        // Tabs and line ends inside a description would break the lines.
        QString description = d.description;
        description.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
        text += (d.capture ? "in\t" : "out\t") + d.name + '\t' + description.toUtf8() + '\t'
            + (d.isDefault ? "1" : "0") + '\n';
    }
    list->length = int32_t(text.size());
    if (text.size() >= list->capacity)
        return text.size() == list->capacity && text.isEmpty() ? Vocana::Ok
                                                               : Vocana::BufferTooSmall;
    std::memcpy(list->text, text.constData(), std::size_t(text.size()) + 1);
    return Vocana::Ok;
}

} // extern "C"
