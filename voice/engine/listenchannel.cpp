#include "voice/engine/listenchannel.h"

#include "common/errorlog.h"
#include "voice/api/vocanaapi.h"
#include "voice/core/playoutdevice.h"
#include "voice/core/voiceformat.h"
#include "voice/engine/devicestream.h"
#include "voice/engine/echoreference.h"
#include "voice/pulse/pulsestream.h"

#include <QAudioSink>
#include <QMediaDevices>
#include <QNetworkDatagram>
#include <QNetworkInterface>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Vocana {

namespace {
// Two seconds of one stream, or a quarter second of eight.
constexpr int MaxDatagramsPerRead = 100;
// A class where nobody has spoken for this long plays nothing: the playback
// stream rests until the next datagram.
constexpr int CorkAfterIdleMs = 2000;
} // namespace

ListenChannel::ListenChannel(
    QString playbackWav, QByteArray device, std::shared_ptr<EchoReference> echo)
    : m_playbackWav(std::move(playbackWav))
    , m_deviceName(std::move(device))
    , m_echo(std::move(echo))
{
    // One wake-up per frame, set for the moment the next frame falls due:
    // never more than a millisecond late, and a quarter of the wake-ups (and
    // of their CPU) of a timer ticking at a fraction of the frame.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &ListenChannel::pumpFile);
    connect(&m_socket, &QUdpSocket::readyRead, this, &ListenChannel::readDatagrams);
}

ListenChannel::~ListenChannel()
{
    // First: the playback thread mixes from the members below.
    if (m_pulse)
        m_pulse->stop();
    if (m_echo)
        m_echo->stopped();
    if (m_sink)
        m_sink->stop();
    m_writer.close();
}

int ListenChannel::start(const QHostAddress &address, quint16 port)
{
    const bool local = address.isLoopback() || QNetworkInterface::allAddresses().contains(address);
    m_acceptFrom = local ? QHostAddress() : address;
    if (!m_socket.bind(local ? address : QHostAddress(QHostAddress::AnyIPv4), port)) {
        Global::WriteErrorLog(u"Vocana"_s, u"StartListen"_s,
            address.toString() + u":"_s + QString::number(port) + u" "_s + m_socket.errorString(),
            __LINE__);
        return SocketFailed;
    }
    m_clock.start();

    if (!m_playbackWav.isEmpty()) {
        if (!m_writer.open(m_playbackWav)) {
            Global::WriteErrorLog(u"Vocana"_s, u"StartListen"_s,
                m_playbackWav + u": "_s + m_writer.errorString(), __LINE__);
            return FileFailed;
        }
        m_framesPlayed = 0;
        m_timer.start(Voice::FrameMs);
        return Ok;
    }

    startPulse();
    return Ok;
}

void ListenChannel::startPulse()
{
    Voice::PulseStream::Options options;
    options.direction = Voice::PulseStream::Direction::Playback;
    options.bufferMs = Voice::PlaybackTargetMs;
    options.streamName = "class voice";
    options.corkAfterIdleMs = CorkAfterIdleMs;
    m_pulse
        = std::make_unique<DeviceStream>(DeviceStream::Texts{u"StartListen"_s, u"Loudspeaker"_s,
                                             u"playback stopped: "_s, u"the default loudspeaker"_s},
            options, Voice::PulseStream::CaptureHandler(),
            [this](qint16 *out, int count) { fillPlayback(out, count); });
    m_pulse->unavailable = [this](const QString &why) { noSoundServer(why); };
    m_pulse->start(m_deviceName);
}

void ListenChannel::noSoundServer(const QString &why)
{
    // Called from inside the stream object, which goes once that returns.
    m_pulse.release()->deleteLater();
    Global::WriteErrorLog(u"Vocana"_s, u"StartListen"_s,
        u"no sound server, trying the multimedia devices: "_s + why, __LINE__);
    startMultimedia();
}

int ListenChannel::useDevice(const QByteArray &device)
{
    m_deviceName = device;
    if (m_pulse)
        m_pulse->start(device);
    return Ok;
}

int ListenChannel::startMultimedia()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return AudioUnavailable;
    QAudioFormat format;
    format.setSampleRate(Voice::SampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    m_device = std::make_unique<Voice::PlayoutDevice>([this](qint16 *frame) { mixFrame(frame); });
    m_device->open(QIODevice::ReadOnly);
    m_sink = std::make_unique<QAudioSink>(device, format);
    m_sink->setBufferSize(Voice::PlaybackBufferFrames * Voice::FrameSamples * 2);
    m_sink->start(m_device.get());
    if (m_sink->error() != QAudio::NoError) {
        Global::WriteErrorLog(u"Vocana"_s, u"StartListen"_s,
            u"loudspeaker did not start: "_s + device.description(), __LINE__);
        m_sink.reset();
        return AudioUnavailable;
    }
    connect(m_sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        // Underruns are normal with a pull source that never runs dry; only
        // a stop with an error (device gone) is worth the log, once.
        if (state == QAudio::StoppedState && m_sink->error() != QAudio::NoError
            && !m_deviceErrorLogged) {
            m_deviceErrorLogged = true;
            Global::WriteErrorLog(u"Vocana"_s, u"Loudspeaker"_s,
                u"playback stopped, error "_s + QString::number(int(m_sink->error())), __LINE__);
        }
    });
    return Ok;
}

void ListenChannel::readDatagrams()
{
    // A bounded batch per call: a flood must not starve the playout timer
    // on this thread. The rest is read on the next turn of the loop.
    int budget = MaxDatagramsPerRead;
    if (m_pulse)
        m_pulse->activity();
    while (m_socket.hasPendingDatagrams()) {
        if (--budget < 0) {
            QMetaObject::invokeMethod(this, &ListenChannel::readDatagrams, Qt::QueuedConnection);
            return;
        }
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        if (!m_acceptFrom.isNull() && !datagram.senderAddress().isEqual(m_acceptFrom))
            continue;
        QMutexLocker lock(&m_mixerLock);
        m_mixer.receive(datagram.data(), m_clock.elapsed());
    }
}

void ListenChannel::pumpFile()
{
    const qint64 due = m_clock.elapsed() / Voice::FrameMs;
    qint16 frame[Voice::FrameSamples];
    while (m_framesPlayed < due) {
        mixFrame(frame);
        if (!m_writer.write(frame, Voice::FrameSamples)) {
            Global::WriteErrorLog(u"Vocana"_s, u"PlayFrame"_s, m_writer.errorString(), __LINE__);
            m_writer.close();
            m_timer.stop();
            return;
        }
        ++m_framesPlayed;
    }
    m_timer.start(
        int(std::max<qint64>(0, (m_framesPlayed + 1) * Voice::FrameMs - m_clock.elapsed())));
}

void ListenChannel::mixFrame(qint16 *out)
{
    QMutexLocker lock(&m_mixerLock);
    m_mixer.mixFrame(out, m_clock.elapsed());
    if (lossReport)
        lossReport->store(m_mixer.lossPercent(), std::memory_order_relaxed);
}

qint64 ListenChannel::deviceDelayUs() const
{
    return m_pulse ? m_pulse->latencyUs() : -1;
}

void ListenChannel::fillPlayback(qint16 *out, int count)
{
    // Frames are mixed only when the server asks for their first sample, so
    // the jitter buffers run on the loudspeaker's clock and nothing waits
    // here but the rest of one frame.
    int written = 0;
    while (written < count) {
        if (m_frameUsed == m_frame.size()) {
            mixFrame(m_frame.data());
            m_frameUsed = 0;
        }
        const int take = std::min(count - written, int(m_frame.size() - m_frameUsed));
        std::copy_n(m_frame.data() + m_frameUsed, take, out + written);
        m_frameUsed += std::size_t(take);
        written += take;
    }
    if (m_echo)
        m_echo->played(out, count, m_pulse->streamLatencyUs());
}

} // namespace Vocana
