#include "voice/engine/speakchannel.h"

#include "common/errorlog.h"
#include "voice/api/vocanaapi.h"
#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"
#include "voice/core/wavreader.h"
#include "voice/engine/devicestream.h"
#include "voice/engine/echoreference.h"
#include "voice/pulse/pulsestream.h"

#include <QAudioSource>
#include <QMediaDevices>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

using namespace Qt::StringLiterals;

namespace Vocana {

namespace {
constexpr qint64 MaxCatchUpFrames = 10;
} // namespace

SpeakChannel::SpeakChannel(QString microphoneWav, QByteArray device,
    Voice::AudioProcessor::Switches switches, std::shared_ptr<EchoReference> echo,
    LevelSink levelSink)
    : m_microphoneWav(std::move(microphoneWav))
    , m_deviceName(std::move(device))
    , m_switches(switches)
    , m_echo(std::move(echo))
    , m_levelSink(std::move(levelSink))
{
    // One wake-up per frame, set for the moment the next frame falls due:
    // never more than a millisecond late, and a quarter of the wake-ups (and
    // of their CPU) of a timer ticking at a fraction of the frame.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SpeakChannel::pumpFile);
}

SpeakChannel::~SpeakChannel()
{
    // First: the capture thread uses everything below.
    if (m_pulse)
        m_pulse->stop();
    if (m_source)
        m_source->stop();
}

int SpeakChannel::start(const QHostAddress &address, quint16 port)
{
    if (!m_encoder.isValid())
        return CodecFailed;
    m_address = address;
    m_port = port;
    // A new stream id tells listeners that the sequence starts afresh.
    m_streamId = quint16(QRandomGenerator::global()->bounded(1, 0x10000));
    m_sequence = quint16(QRandomGenerator::global()->bounded(0x10000));
    if (!m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0)) {
        Global::WriteErrorLog(u"Vocana"_s, u"StartSpeak"_s, m_socket.errorString(), __LINE__);
        return SocketFailed;
    }

    if (!m_microphoneWav.isEmpty()) {
        // Sound files stand for a clean microphone: only the noise
        // suppression of the Qt Multimedia path applies.
        if (m_switches.noiseSuppression)
            m_noiseSuppressor = std::make_unique<Voice::NoiseSuppressor>();
        QString error;
        m_file = Voice::LoadWavAs48kMono(m_microphoneWav, &error);
        if (!error.isEmpty()) {
            Global::WriteErrorLog(
                u"Vocana"_s, u"StartSpeak"_s, m_microphoneWav + u": "_s + error, __LINE__);
            return FileFailed;
        }
        m_filePos = 0;
        m_framesSent = 0;
        m_clock.start();
        m_timer.start(Voice::FrameMs);
        return Ok;
    }

    m_processor = std::make_unique<Voice::AudioProcessor>(m_switches);
    if (!m_processor->isValid())
        m_processor.reset();
    m_chunk.reserve(Voice::AudioProcessor::ChunkSamples * 2);
    m_frame.reserve(Voice::FrameSamples);
    startPulse();
    return Ok;
}

void SpeakChannel::startPulse()
{
    Voice::PulseStream::Options options;
    options.direction = Voice::PulseStream::Direction::Capture;
    options.bufferMs = Voice::CaptureLatencyMs;
    options.streamName = "microphone";
    m_pulse = std::make_unique<DeviceStream>(
        DeviceStream::Texts{
            u"StartSpeak"_s, u"Microphone"_s, u"capture stopped: "_s, u"the default microphone"_s},
        options, [this](const qint16 *samples, int count) { captured(samples, count); },
        Voice::PulseStream::PlaybackFiller());
    m_pulse->unavailable = [this](const QString &why) { noSoundServer(why); };
    m_pulse->start(m_deviceName);
}

void SpeakChannel::noSoundServer(const QString &why)
{
    // The stream is stopped: nothing runs on the capture thread any more.
    // Called from inside the stream object, which goes once that returns.
    m_pulse.release()->deleteLater();
    m_processor.reset();
    Global::WriteErrorLog(u"Vocana"_s, u"StartSpeak"_s,
        u"no sound server, trying the multimedia devices: "_s + why, __LINE__);
    if (m_switches.noiseSuppression)
        m_noiseSuppressor = std::make_unique<Voice::NoiseSuppressor>();
    startMultimedia();
}

int SpeakChannel::useDevice(const QByteArray &device)
{
    m_deviceName = device;
    if (m_pulse)
        m_pulse->start(device);
    return Ok;
}

int SpeakChannel::startMultimedia()
{
    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull()) {
        Global::WriteErrorLog(u"Vocana"_s, u"StartSpeak"_s, u"no microphone"_s, __LINE__);
        return AudioUnavailable;
    }
    QAudioFormat format;
    format.setSampleRate(Voice::SampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    m_source = std::make_unique<QAudioSource>(device, format);
    m_source->setBufferSize(Voice::CaptureBufferFrames * Voice::FrameSamples * 2);
    m_input = m_source->start();
    if (!m_input || m_source->error() != QAudio::NoError) {
        Global::WriteErrorLog(u"Vocana"_s, u"StartSpeak"_s,
            u"microphone did not start: "_s + device.description(), __LINE__);
        m_source.reset();
        m_input = nullptr;
        return AudioUnavailable;
    }
    connect(m_input, &QIODevice::readyRead, this, &SpeakChannel::readDevice);
    connect(m_source.get(), &QAudioSource::stateChanged, this, [this](QAudio::State state) {
        // An unplugged microphone: say so once; the host's calls still work.
        if (state == QAudio::StoppedState && m_source->error() != QAudio::NoError
            && !m_deviceErrorLogged) {
            m_deviceErrorLogged = true;
            Global::WriteErrorLog(u"Vocana"_s, u"Microphone"_s,
                u"capture stopped, error "_s + QString::number(int(m_source->error())), __LINE__);
        }
    });
    return Ok;
}

qint64 SpeakChannel::deviceDelayUs() const
{
    return m_pulse ? m_pulse->latencyUs() : -1;
}

void SpeakChannel::captured(const qint16 *samples, int count)
{
    constexpr int Chunk = Voice::AudioProcessor::ChunkSamples;
    m_chunk.insert(m_chunk.end(), samples, samples + count);
    std::size_t offset = 0;
    while (m_chunk.size() - offset >= std::size_t(Chunk)) {
        qint16 *chunk = m_chunk.data() + offset;
        offset += Chunk;
        if (m_processor) {
            if (m_echo) {
                m_echo->takeChunks(
                    Chunk, [this](const qint16 *far) { m_processor->analyzeFarEnd(far); });
            }
            // What the speaker plays now reaches the microphone after the
            // playback buffer; the chunk in hand left the microphone the
            // capture buffer ago.
            const qint64 playbackUs = m_echo ? m_echo->playbackLatencyUs() : -1;
            const qint64 captureUs = std::max<qint64>(0, m_pulse->streamLatencyUs());
            m_processor->processNearEnd(
                chunk, int((std::max<qint64>(0, playbackUs) + captureUs) / 1000));
        }
        m_frame.insert(m_frame.end(), chunk, chunk + Chunk);
        if (m_frame.size() >= std::size_t(Voice::FrameSamples)) {
            sendFrame(m_frame.data());
            m_frame.clear();
        }
    }
    m_chunk.erase(m_chunk.begin(), m_chunk.begin() + std::ptrdiff_t(offset));
}

void SpeakChannel::readDevice()
{
    const QByteArray bytes = m_input->readAll();
    const auto *samples = reinterpret_cast<const qint16 *>(bytes.constData());
    m_pending.insert(m_pending.end(), samples, samples + bytes.size() / 2);
    std::size_t offset = 0;
    while (m_pending.size() - offset >= std::size_t(Voice::FrameSamples)) {
        sendFrame(m_pending.data() + offset);
        offset += Voice::FrameSamples;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + qsizetype(offset));
}

void SpeakChannel::pumpFile()
{
    // Catch up by the clock rather than by ticks: a late tick must not
    // stretch the stream.
    const qint64 due = m_clock.elapsed() / Voice::FrameMs;
    if (due - m_framesSent > MaxCatchUpFrames) {
        // The thread was stopped for a while (a suspended machine): that
        // stretch is lost, as a sound card would lose it, rather than sent
        // as a burst that floods the listeners' buffers.
        const qint64 skipped = due - m_framesSent - 1;
        m_filePos = std::min(m_file.size(), m_filePos + skipped * Voice::FrameSamples);
        m_framesSent += skipped;
    }
    qint16 frame[Voice::FrameSamples];
    while (m_framesSent < due) {
        // Past the end of the file the microphone hears silence.
        const qsizetype take
            = std::clamp<qsizetype>(m_file.size() - m_filePos, 0, Voice::FrameSamples);
        std::fill(std::copy_n(m_file.constData() + m_filePos, take, frame),
            frame + Voice::FrameSamples, qint16(0));
        m_filePos += take;
        sendFrame(frame);
        ++m_framesSent;
    }
    m_timer.start(
        int(std::max<qint64>(0, (m_framesSent + 1) * Voice::FrameMs - m_clock.elapsed())));
}

void SpeakChannel::sendFrame(qint16 *frame)
{
    if (m_noiseSuppressor)
        m_noiseSuppressor->process(frame);
    if (m_levelSink) {
        // Each report is a queued event and a redraw of the host's window
        // (composited as a whole once it holds a web view): fifty a second
        // cost the speaking program several times the voice itself, ten move
        // the meter as well. The loudest frame of the five, so that a short
        // syllable still shows.
        m_levelPeak = std::max(m_levelPeak, Voice::PeakLevel(frame, Voice::FrameSamples));
        if (++m_levelFrames == LevelEveryFrames) {
            m_levelSink(m_levelPeak);
            m_levelPeak = 0;
            m_levelFrames = 0;
        }
    }
    if (lossFigure && m_sequence % 50 == 0)
        m_encoder.setExpectedLossPercent(lossFigure());
    const QByteArray payload = m_encoder.encode(frame);
    if (payload.isEmpty())
        return;
    Voice::PacketHeader header;
    header.sequence = m_sequence++;
    header.streamId = m_streamId;
    const QByteArray datagram = Voice::EncodeVoicePacket(header, payload);
    // Straight through the descriptor: on the sound server this runs on the
    // capture thread, which must not touch the socket object of the worker.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(m_port);
    to.sin_addr.s_addr = htonl(m_address.toIPv4Address());
    const ssize_t sent = ::sendto(int(m_socket.socketDescriptor()), datagram.constData(),
        std::size_t(datagram.size()), MSG_DONTWAIT, reinterpret_cast<const sockaddr *>(&to),
        sizeof to);
    if (sent != datagram.size() && !m_sendErrorLogged) {
        // Once per start: an unreachable peer would otherwise fill the log
        // fifty times a second.
        m_sendErrorLogged = true;
        Global::WriteErrorLog(
            u"Vocana"_s, u"SendFrame"_s, QString::fromLocal8Bit(std::strerror(errno)), __LINE__);
    }
}

} // namespace Vocana
