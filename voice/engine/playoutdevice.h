#pragma once

#include <QIODevice>

#include <functional>
#include <vector>

namespace Vocana {

// The sound card's pull side: every read is filled from whole 20 ms frames
// made on demand, so the card's clock drives the jitter buffers. Reads never
// come up short; with nothing to play the frames are silent.
class PlayoutDevice : public QIODevice
{
    Q_OBJECT
public:
    using FrameSource = std::function<void(qint16 *frame)>;

    explicit PlayoutDevice(FrameSource source, QObject *parent = nullptr);

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    FrameSource m_source;
    std::vector<qint16> m_frame;
    std::size_t m_used;
};

} // namespace Vocana
