#pragma once

#include "voice/core/lumovoicecore_export.h"

#include <QIODevice>

#include <functional>
#include <vector>

namespace Voice {

// The sound card's pull side: every read is filled from whole 20 ms frames
// made on demand, so the card's clock drives the jitter buffers. Reads never
// come up short; with nothing to play the frames are silent.
class LUMOVOICECORE_EXPORT PlayoutDevice : public QIODevice
{
    Q_OBJECT
public:
    using FrameSource = std::function<void(qint16 *frame)>;

    explicit PlayoutDevice(FrameSource source, QObject *parent = nullptr);

    // Always unbuffered: QIODevice's own read-ahead would pull frames out of
    // the jitter buffers long before the card plays them, adding its 16 KiB
    // (170 ms) to the delay.
    bool open(OpenMode mode) override { return QIODevice::open(mode | QIODevice::Unbuffered); }
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

} // namespace Voice
