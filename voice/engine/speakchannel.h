#pragma once

#include "voice/core/audioprocessor.h"
#include "voice/core/noisesuppressor.h"
#include "voice/core/voiceencoder.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <functional>
#include <memory>
#include <vector>

class QAudioSource;
class QIODevice;

namespace Vocana {

class DeviceStream;
class EchoReference;

// The microphone side: 20 ms frames from the sound card (or from a sound
// file, paced by the clock as a card would be), noise suppression, a level
// report, Opus, one packet per datagram to the target. Lives on the engine's
// worker thread. On the sound server the capture stream's own thread runs
// the frames (echo cancellation, noise suppression and gain control against
// the listening side's playback first); Qt Multimedia is the way in only
// where no sound server answers.
class SpeakChannel : public QObject
{
    Q_OBJECT
public:
    using LevelSink = std::function<void(int level)>;
    // Frames per level report: the meter moves ten times a second.
    static constexpr int LevelEveryFrames = 5;

    // `device`: the sound server's name of the microphone, empty for the
    // default one.
    SpeakChannel(QString microphoneWav, QByteArray device, Voice::AudioProcessor::Switches switches,
        std::shared_ptr<EchoReference> echo, LevelSink levelSink);
    ~SpeakChannel() override;

    // A Vocana::Result. On the sound server the microphone is started
    // without waiting for the server: Ok once the socket is bound, and a
    // device that does not come is handled (and logged) as it turns out.
    int start(const QHostAddress &address, quint16 port);
    // Another microphone (empty: the default): started at once on the sound
    // server, else taken at the next start. A Vocana::Result.
    int useDevice(const QByteArray &device);
    // The capture side of the device delay in microseconds, -1 off the
    // sound server.
    qint64 deviceDelayUs() const;
    // The share of packets lost on the way in, as this engine's listening
    // side measures it (-1 unknown): the redundancy sent follows it. Asked
    // on the thread that makes the frames (the capture thread on the sound
    // server).
    std::function<int()> lossFigure;

private:
    int startMultimedia();
    void startPulse();
    void noSoundServer(const QString &why);
    void readDevice();
    void pumpFile();
    void captured(const qint16 *samples, int count);
    void sendFrame(qint16 *frame);

    const QString m_microphoneWav;
    QByteArray m_deviceName;
    const Voice::AudioProcessor::Switches m_switches;
    const std::shared_ptr<EchoReference> m_echo;
    LevelSink m_levelSink;
    int m_levelPeak = 0; // the loudest frame since the last report
    int m_levelFrames = 0;
    Voice::VoiceEncoder m_encoder;
    std::unique_ptr<Voice::NoiseSuppressor> m_noiseSuppressor;
    // Bound at the start; frames go out through its descriptor from
    // whichever thread makes them.
    QUdpSocket m_socket;
    QHostAddress m_address;
    quint16 m_port = 0;
    quint16 m_sequence = 0;
    quint16 m_streamId = 0;
    bool m_sendErrorLogged = false;
    bool m_deviceErrorLogged = false;

    // From a file.
    QList<qint16> m_file;
    qsizetype m_filePos = 0;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_framesSent = 0;

    // From the sound server.
    std::unique_ptr<DeviceStream> m_pulse;
    std::unique_ptr<Voice::AudioProcessor> m_processor;
    std::vector<qint16> m_chunk; // short of a 10 ms chunk
    std::vector<qint16> m_frame; // short of a 20 ms frame

    // From Qt Multimedia.
    std::unique_ptr<QAudioSource> m_source;
    QIODevice *m_input = nullptr;
    std::vector<qint16> m_pending;
};

} // namespace Vocana
