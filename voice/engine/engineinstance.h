#pragma once

#include "voice/api/vocanaapi.h"
#include "voice/core/audioprocessor.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

namespace Voice {
class PulseWatcher;
}

namespace Vocana {

class EchoReference;
class EngineNotifier;
class ListenChannel;
class SpeakChannel;

// One engine: a worker thread that owns the speak and listen channels.
// Calls come from the host's thread and wait for the worker to carry them
// out, so each returns its real result; the worker never waits for the host
// (it only posts to the notifier), so the wait cannot deadlock.
class EngineInstance
{
public:
    // `notifier` must outlive the instance.
    explicit EngineInstance(EngineNotifier *notifier);
    ~EngineInstance();
    EngineInstance(const EngineInstance &) = delete;
    EngineInstance &operator=(const EngineInstance &) = delete;

    void setWaveFiles(const QString &microphoneWav, const QString &playbackWav);
    void setNoiseSuppression(bool on) { m_switches.noiseSuppression = on; }
    void setEchoCancellation(bool on) { m_switches.echoCancellation = on; }
    void setGainControl(bool on) { m_switches.gainControl = on; }
    // Sound-server device names, empty for the defaults; running channels
    // switch at once. A Vocana::Result.
    int setAudioDevices(const QByteArray &microphone, const QByteArray &loudspeaker);
    // Posts `message` to `hWnd` whenever the server's devices change;
    // message 0 stops. A Vocana::Result.
    int watchDevices(int hWnd, int message);
    // The sound server's device delays of the running channels, ms; -1 for
    // a channel not running on it.
    VocanaDeviceDelay deviceDelay();

    // Each starts afresh when already running.
    int startSpeak(const VocanaAddressRecord &record);
    int stopSpeak();
    int startListen(const VocanaAddressRecord &record);
    int stopListen();

private:
    template <typename F> void onWorker(F &&work);

    EngineNotifier *const m_notifier;
    QThread m_thread;
    QObject *m_context; // lives on m_thread, deleted there when it ends
    // What this instance plays is the echo its own microphone hears.
    const std::shared_ptr<EchoReference> m_echo;
    // The listening side's loss figure for the speaking side's encoder.
    const std::shared_ptr<std::atomic<int>> m_loss;
    std::unique_ptr<SpeakChannel> m_speak;
    std::unique_ptr<ListenChannel> m_listen;
    QString m_microphoneWav;
    QString m_playbackWav;
    Voice::AudioProcessor::Switches m_switches;
    QByteArray m_microphone;
    QByteArray m_loudspeaker;
    std::unique_ptr<Voice::PulseWatcher> m_watcher;
};

} // namespace Vocana
