#include "voice/engine/speakchannel.h"

#include "common/errorlog.h"
#include "voice/api/vocanaapi.h"
#include "voice/core/voiceformat.h"
#include "voice/core/voicepacket.h"
#include "voice/core/wavreader.h"

#include <QAudioSource>
#include <QMediaDevices>
#include <QRandomGenerator>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Vocana {

namespace {
constexpr qint64 MaxCatchUpFrames = 10;
} // namespace

SpeakChannel::SpeakChannel(QString microphoneWav, bool noiseSuppression, LevelSink levelSink)
    : m_microphoneWav(std::move(microphoneWav))
    , m_levelSink(std::move(levelSink))
{
    if (noiseSuppression)
        m_noiseSuppressor = std::make_unique<Voice::NoiseSuppressor>();
    // One wake-up per frame, set for the moment the next frame falls due:
    // never more than a millisecond late, and a quarter of the wake-ups (and
    // of their CPU) of a timer ticking at a fraction of the frame.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SpeakChannel::pumpFile);
}

SpeakChannel::~SpeakChannel()
{
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

    if (!m_microphoneWav.isEmpty()) {
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

    const QAudioDevice device = QMediaDevices::defaultAudioInput();
    if (device.isNull())
        return AudioUnavailable;
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
    if (m_levelSink)
        m_levelSink(Voice::PeakLevel(frame, Voice::FrameSamples));
    if (lossFigure && m_sequence % 50 == 0)
        m_encoder.setExpectedLossPercent(lossFigure());
    const QByteArray payload = m_encoder.encode(frame);
    if (payload.isEmpty())
        return;
    Voice::PacketHeader header;
    header.sequence = m_sequence++;
    header.streamId = m_streamId;
    const QByteArray datagram = Voice::EncodeVoicePacket(header, payload);
    if (m_socket.writeDatagram(datagram, m_address, m_port) != datagram.size()
        && !m_sendErrorLogged) {
        // Once per start: an unreachable peer would otherwise fill the log
        // fifty times a second.
        m_sendErrorLogged = true;
        Global::WriteErrorLog(u"Vocana"_s, u"SendFrame"_s, m_socket.errorString(), __LINE__);
    }
}

} // namespace Vocana
