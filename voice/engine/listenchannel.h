#pragma once

#include "voice/core/playoutdevice.h"
#include "voice/core/streammixer.h"
#include "voice/core/voiceformat.h"
#include "voice/core/wavwriter.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutex>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <atomic>
#include <memory>
#include <vector>

class QAudioSink;

namespace Vocana {

class DeviceStream;
class EchoReference;

// The loudspeaker side: datagrams on a bound port go to the StreamMixer,
// whose 20 ms frames go to the sound card or a sound file.
// Lives on the engine's worker thread. On the sound server the playback
// stream's thread asks for the frames as the server needs them (the
// mixer is shared under a lock), and what it plays is the speaking side's
// echo reference.
class ListenChannel : public QObject
{
    Q_OBJECT
public:
    // `device`: the sound server's name of the loudspeaker, empty for the
    // default one.
    ListenChannel(QString playbackWav, QByteArray device, std::shared_ptr<EchoReference> echo);
    ~ListenChannel() override;

    // A Vocana::Result. An address of this machine is bound as given; any
    // other address is where the voice comes from: the port is bound on all
    // interfaces and only that sender's datagrams are played.
    int start(const QHostAddress &address, quint16 port);
    // Another loudspeaker (empty: the default): at once on the sound
    // server, else at the next start. A Vocana::Result.
    int useDevice(const QByteArray &device);
    // The playback side of the device delay in microseconds, -1 off the
    // sound server.
    qint64 deviceDelayUs() const;
    // The share of packets lost on the way in (-1 unknown), kept current
    // at every mixed frame for the speaking side, which reads it on its own
    // thread.
    std::shared_ptr<std::atomic<int>> lossReport;

private:
    int startMultimedia();
    void startPulse();
    void noSoundServer(const QString &why);
    void readDatagrams();
    void pumpFile();
    void mixFrame(qint16 *out);
    void fillPlayback(qint16 *out, int count);

    const QString m_playbackWav;
    QByteArray m_deviceName;
    const std::shared_ptr<EchoReference> m_echo;
    QUdpSocket m_socket;
    QHostAddress m_acceptFrom;
    QMutex m_mixerLock; // the worker receives, the playback thread mixes
    Voice::StreamMixer m_mixer;
    QElapsedTimer m_clock;

    // To a file.
    Voice::WavWriter m_writer;
    QTimer m_timer;
    qint64 m_framesPlayed = 0;

    // To the sound server.
    std::unique_ptr<DeviceStream> m_pulse;
    std::vector<qint16> m_frame = std::vector<qint16>(Voice::FrameSamples);
    std::size_t m_frameUsed = Voice::FrameSamples;

    // To Qt Multimedia.
    std::unique_ptr<Voice::PlayoutDevice> m_device;
    std::unique_ptr<QAudioSink> m_sink;
    bool m_deviceErrorLogged = false;
};

} // namespace Vocana
