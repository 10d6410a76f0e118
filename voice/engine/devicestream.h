#pragma once

#include "voice/pulse/pulsestream.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

namespace Vocana {

// One channel's stream on the sound server, started without waiting for
// the server: the engine's calls return at once, whatever state the server
// is in, and the outcome is handled here on the engine's worker thread as it
// comes. The rules of both channels:
//  - a chosen device that cannot be opened, or that goes away while in use,
//    leaves the stream on the server's default device, and the log says so;
//  - a server that takes the connection but does not answer (hung, stopped)
//    is tried again every RetryMs, and logged once per stall: the fallback
//    devices go through the same server and would hang the worker on it;
//  - a server that refuses the stream on the default device, or is not
//    there at all, is handed to `unavailable` (the channel's other path),
//    unless it ran a stream of this channel before: then it is restarting,
//    and is tried again as a hung one.
class DeviceStream : public QObject
{
    Q_OBJECT
public:
    static constexpr int RetryMs = 2000;

    struct Texts {
        QString startCall; // "StartSpeak"
        QString part; // "Microphone"
        QString stoppedText; // "capture stopped: "
        QString defaultDevice; // "the default microphone"
    };

    // `options` without the device; the handlers as PulseStream takes them.
    DeviceStream(Texts texts, Voice::PulseStream::Options options,
        Voice::PulseStream::CaptureHandler capture, Voice::PulseStream::PlaybackFiller playback);
    ~DeviceStream() override;

    // The server has no stream for this channel: `why`. The stream is
    // stopped when this is called; the channel may delete it.
    std::function<void(const QString &why)> unavailable;

    // On `device` (empty: the default one), in place of any stream running.
    void start(const QByteArray &device);
    // Joins the stream's thread: no handler runs once it returns.
    void stop();
    // The server's figure for the running stream, -1 without one.
    qint64 latencyUs() const;
    bool isRunning() const;
    // Something came in to play: see PulseStream::activity().
    void activity()
    {
        if (m_stream)
            m_stream->activity();
    }
    // The same figure for the stream's own handlers, on its thread (the
    // stream has not been told that it runs there yet).
    qint64 streamLatencyUs() const { return m_stream ? m_stream->latencyUs() : -1; }

private:
    void begin(const QByteArray &device);
    void startEnded(quint64 generation, Voice::PulseStream::Outcome outcome, const QString &why);
    void failedWhileRunning(quint64 generation, const QString &failure);
    // The server is there but does not answer: once logged, tried again.
    void retryLater(const QString &why);

    const Texts m_texts;
    const Voice::PulseStream::Options m_options;
    const Voice::PulseStream::CaptureHandler m_capture;
    const Voice::PulseStream::PlaybackFiller m_playback;
    std::unique_ptr<Voice::PulseStream> m_stream;
    QByteArray m_chosen; // what start() was given
    QByteArray m_on; // what the stream in hand was started on
    // Outcomes of streams replaced since are stale: each start counts.
    quint64 m_generation = 0;
    QTimer m_retry;
    bool m_stallLogged = false;
    bool m_running = false;
    bool m_hadServer = false; // a stream of this channel ran on the server
    // The chosen device went away: once the default one runs, say so.
    bool m_announceDefault = false;
};

} // namespace Vocana
