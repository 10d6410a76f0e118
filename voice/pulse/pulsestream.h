#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

namespace Voice {

// One capture or playback stream on the sound server (PulseAudio, or
// PipeWire's pulse server), 48 kHz mono 16-bit, on a threaded main loop of
// its own. The server's callbacks drive the audio: the capture handler gets
// every fragment as it arrives, the playback filler is asked for exactly what
// the server wants to keep its buffer at the target. Both run on the loop's
// thread, never on the thread that started the stream.
class PulseStream
{
public:
    enum class Direction { Capture, Playback };

    // Capture: `samples` of microphone, a hole in the stream as silence.
    using CaptureHandler = std::function<void(const qint16 *samples, int count)>;
    // Playback: write exactly `count` samples.
    using PlaybackFiller = std::function<void(qint16 *out, int count)>;
    // The stream or the server connection failed after the start (server
    // gone, device removed). Called once, on the loop's thread.
    using FailureHandler = std::function<void(const QString &why)>;
    // How a start ended: the stream runs, the server or the device refused
    // it, or the server took the connection but gave no answer in time (a
    // server that hangs; the other audio path goes through it as well).
    enum class Outcome { Running, Failed, NoAnswer };
    // Called once, on the loop's thread, when the start has ended.
    using StartHandler = std::function<void(Outcome outcome, const QString &why)>;

    struct Options {
        Direction direction = Direction::Capture;
        // Null: the server's default device.
        QByteArray device;
        // Capture: the latency asked for; the server hands the samples over
        // in fragments of half of it. Playback: the buffer the server keeps
        // filled ahead of the speaker.
        int bufferMs = 20;
        QByteArray streamName = "voice";
        // The server moved the stream to another device (the chosen one
        // went away): its name. Called on the loop's thread.
        std::function<void(const QByteArray &device)> moved;
        // Capture: older samples than this are dropped, not handed over. A
        // source that starts late (or a thread that was held up) hands its
        // backlog over at once; passed on, that would sit in the listeners'
        // buffers as delay for many seconds.
        int maxCaptureBacklogMs = 80;
        // Playback: once nothing has come in (activity()) for this long and
        // the filler gives only silence, the stream is corked: the server
        // stops asking for it, and a quiet class costs no wake-ups. The
        // next activity() uncorks it. 0: never corked.
        int corkAfterIdleMs = 0;
    };

    PulseStream();
    ~PulseStream();
    PulseStream(const PulseStream &) = delete;
    PulseStream &operator=(const PulseStream &) = delete;

    // Sets the connection and the stream going and returns at once; the
    // outcome goes to `started`, after `timeoutMs` at the latest. False
    // (with `why`) only when nothing could be set going; `started` is not
    // called then.
    bool begin(const Options &options, CaptureHandler capture, PlaybackFiller playback,
        FailureHandler failure, StartHandler started, QString *why, int timeoutMs = 3000);
    // begin() and a wait for its outcome, for callers with no loop of their
    // own to wait in (tools, benches); true once the stream runs.
    bool start(const Options &options, CaptureHandler capture, PlaybackFiller playback,
        FailureHandler failure, QString *why, int timeoutMs = 3000);
    // Joins the loop's thread: no handler runs once it returns.
    void stop();

    bool isRunning() const;
    // Something to play has come in (see Options::corkAfterIdleMs). From the
    // thread that started the stream; cheap unless the stream is corked.
    void activity();
    // Capture: samples dropped as too old since the start.
    qint64 droppedSamples() const { return m_dropped.load(std::memory_order_relaxed); }
    // The server's own figure for this stream's device delay (capture: from
    // the microphone to our read; playback: from our write to the
    // speaker), in microseconds; -1 before the first report.
    qint64 latencyUs() const { return m_latencyUs.load(std::memory_order_relaxed); }

    struct Private;

private:
    std::unique_ptr<Private> d;
    std::atomic<qint64> m_latencyUs{-1};
    std::atomic<qint64> m_dropped{0};
};

// A sound device the server offers.
struct PulseDevice {
    bool capture = false; // a microphone; else a loudspeaker
    QByteArray name; // what Options::device takes
    QString description; // for people
    bool isDefault = false;
};

// The server's microphones (monitors of loudspeakers left out) and
// loudspeakers as they are now. Empty with `why` set when the server cannot
// be asked; the wait ends on the answer, a failure or `timeoutMs`.
QList<PulseDevice> ListPulseDevices(QString *why, int timeoutMs = 2000);

// Whether a sound server may be listening where libpulse would look for it
// (PULSE_SERVER, else the client configuration's "default-server", else the
// user's and the system's sockets), found without
// waiting: a socket that takes the connection counts, answer or not, and so
// does a server given by network address. False only when none is there.
bool SoundServerMayBeListening();

} // namespace Voice
