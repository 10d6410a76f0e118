#pragma once

#include "voice/core/jitterbuffer.h"
#include "voice/core/playoutdevice.h"
#include "voice/core/voicedecoder.h"
#include "voice/core/wavwriter.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

#include <map>
#include <memory>

class QAudioSink;

namespace Vocana {

// The loudspeaker side: datagrams on a bound port, split into packets (a
// relay may bundle several), one jitter buffer and decoder per stream id,
// the streams mixed into 20 ms frames for the sound card or a sound file.
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

private:
    struct Stream {
        Voice::JitterBuffer buffer;
        Voice::VoiceDecoder decoder;
        qint64 lastArrivalMs = 0;
    };

    void readDatagrams();
    void pumpFile();
    void mixFrame(qint16 *out);

    const QString m_playbackWav;
    QUdpSocket m_socket;
    QHostAddress m_acceptFrom;
    std::map<quint16, std::unique_ptr<Stream>> m_streams;
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
