#pragma once

#include "voice/core/playoutdevice.h"
#include "voice/core/streammixer.h"
#include "voice/core/wavwriter.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

class QAudioSink;

namespace Vocana {

// The loudspeaker side: datagrams on a bound port go to the StreamMixer,
// whose 20 ms frames go to the sound card or a sound file.
// Lives on the engine's worker thread.
class ListenChannel : public QObject
{
    Q_OBJECT
public:
    explicit ListenChannel(QString playbackWav);
    ~ListenChannel() override;

    // A Vocana::Result. An address of this machine is bound as given; any
    // other address is where the voice comes from: the port is bound on all
    // interfaces and only that sender's datagrams are played.
    int start(const QHostAddress &address, quint16 port);
    int lossPercent() const { return m_mixer.lossPercent(); }

private:
    void readDatagrams();
    void pumpFile();
    void mixFrame(qint16 *out);

    const QString m_playbackWav;
    QUdpSocket m_socket;
    QHostAddress m_acceptFrom;
    Voice::StreamMixer m_mixer;
    QElapsedTimer m_clock;

    // To a file.
    Voice::WavWriter m_writer;
    QTimer m_timer;
    qint64 m_framesPlayed = 0;

    // To the sound card.
    std::unique_ptr<Voice::PlayoutDevice> m_device;
    std::unique_ptr<QAudioSink> m_sink;
    bool m_deviceErrorLogged = false;
};

} // namespace Vocana
