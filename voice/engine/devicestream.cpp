#include "voice/engine/devicestream.h"

#include "common/errorlog.h"

using namespace Qt::StringLiterals;

namespace Vocana {

DeviceStream::DeviceStream(Texts texts, Voice::PulseStream::Options options,
    Voice::PulseStream::CaptureHandler capture, Voice::PulseStream::PlaybackFiller playback)
    : m_texts(std::move(texts))
    , m_options(std::move(options))
    , m_capture(std::move(capture))
    , m_playback(std::move(playback))
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { begin(m_on); });
}

DeviceStream::~DeviceStream()
{
    stop();
}

void DeviceStream::start(const QByteArray &device)
{
    m_chosen = device;
    m_announceDefault = false;
    m_stallLogged = false;
    begin(device);
}

void DeviceStream::stop()
{
    ++m_generation;
    m_retry.stop();
    m_running = false;
    if (m_stream)
        m_stream->stop();
}

qint64 DeviceStream::latencyUs() const
{
    return m_running && m_stream ? m_stream->latencyUs() : -1;
}

bool DeviceStream::isRunning() const
{
    return m_running;
}

void DeviceStream::begin(const QByteArray &device)
{
    stop(); // the old stream's thread is joined before its object goes
    const quint64 generation = m_generation;
    m_on = device;
    Voice::PulseStream::Options options = m_options;
    options.device = device;
    options.moved = [device, part = m_texts.part](const QByteArray &now) {
        // Moves are the server's business (the options' sound page moves
        // this program's streams itself); only a chosen device that the
        // stream was taken off is worth the log.
        if (!device.isEmpty() && now != device)
            Global::WriteErrorLog(u"Vocana"_s, part,
                QString::fromUtf8(device) + u" gone, now on "_s + QString::fromUtf8(now), __LINE__);
    };
    m_stream = std::make_unique<Voice::PulseStream>();
    // Both handlers run on the stream's thread: the answer is queued to the
    // worker, where a stale one (the stream replaced or stopped meanwhile)
    // is ignored. Deleting this object drops what is still queued.
    QString why;
    const bool going = m_stream->begin(
        options, m_capture, m_playback,
        [this, generation](const QString &failure) {
            QMetaObject::invokeMethod(
                this, [=, this] { failedWhileRunning(generation, failure); }, Qt::QueuedConnection);
        },
        [this, generation](Voice::PulseStream::Outcome outcome, const QString &reason) {
            QMetaObject::invokeMethod(
                this, [=, this] { startEnded(generation, outcome, reason); }, Qt::QueuedConnection);
        },
        &why);
    if (!going)
        startEnded(generation, Voice::PulseStream::Outcome::Failed, why);
}

void DeviceStream::startEnded(
    quint64 generation, Voice::PulseStream::Outcome outcome, const QString &why)
{
    if (generation != m_generation)
        return;
    using Outcome = Voice::PulseStream::Outcome;
    if (outcome == Outcome::Running) {
        m_running = true;
        m_hadServer = true;
        if (m_stallLogged)
            Global::WriteErrorLog(
                u"Vocana"_s, m_texts.part, u"sound server answers again"_s, __LINE__);
        m_stallLogged = false;
        if (m_announceDefault && m_on.isEmpty())
            Global::WriteErrorLog(u"Vocana"_s, m_texts.part,
                QString::fromUtf8(m_chosen) + u" gone, now on "_s + m_texts.defaultDevice,
                __LINE__);
        m_announceDefault = false;
        return;
    }
    stop();
    if (outcome == Outcome::NoAnswer) {
        retryLater(why);
        return;
    }
    if (!m_on.isEmpty()) {
        Global::WriteErrorLog(u"Vocana"_s, m_texts.startCall,
            QString::fromUtf8(m_on) + u": "_s + why + u"; "_s + m_texts.defaultDevice
                + u" instead"_s,
            __LINE__);
        begin({});
        return;
    }
    if (m_hadServer) {
        // The server ran this stream before and is restarting: wait for it
        // rather than leave it for the other path.
        retryLater(why);
        return;
    }
    m_stream.reset();
    if (unavailable)
        unavailable(why); // may delete this object: nothing after it
}

void DeviceStream::retryLater(const QString &why)
{
    if (!m_stallLogged) {
        m_stallLogged = true;
        Global::WriteErrorLog(u"Vocana"_s, m_texts.startCall,
            why + u"; trying again every %1 ms"_s.arg(RetryMs), __LINE__);
    }
    m_retry.start(RetryMs);
}

void DeviceStream::failedWhileRunning(quint64 generation, const QString &failure)
{
    if (generation != m_generation)
        return;
    Global::WriteErrorLog(u"Vocana"_s, m_texts.part, m_texts.stoppedText + failure, __LINE__);
    stop();
    if (!m_on.isEmpty()) {
        // The chosen device went away: on the default one at once.
        m_announceDefault = true;
        begin({});
        return;
    }
    // The default device or the server itself went (a server restarting):
    // the stream comes back when the server does.
    m_retry.start(RetryMs);
}

} // namespace Vocana
