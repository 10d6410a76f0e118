#pragma once

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

// The microphone side: 20 ms frames from the sound card (or from a sound
// file, paced by the clock as a card would be), noise suppression, a level
// report, Opus, one packet per datagram to the target. Lives on the engine's
// worker thread.
class SpeakChannel : public QObject
{
    Q_OBJECT
public:
    using LevelSink = std::function<void(int level)>;

    SpeakChannel(QString microphoneWav, bool noiseSuppression, LevelSink levelSink);
    ~SpeakChannel() override;

    // A Vocana::Result.
    int start(const QHostAddress &address, quint16 port);
    // The share of packets lost on the way in, as this engine's listening
    // side measures it (-1 unknown): the redundancy sent follows it.
    std::function<int()> lossFigure;

private:
    void readDevice();
    void pumpFile();
    void sendFrame(qint16 *frame);

    const QString m_microphoneWav;
    LevelSink m_levelSink;
    Voice::VoiceEncoder m_encoder;
    std::unique_ptr<Voice::NoiseSuppressor> m_noiseSuppressor;
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

    // From the sound card.
    std::unique_ptr<QAudioSource> m_source;
    QIODevice *m_input = nullptr;
    std::vector<qint16> m_pending;
};

} // namespace Vocana
