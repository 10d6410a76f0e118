#include "voice/core/playoutdevice.h"

#include "voice/core/voiceformat.h"

#include <cstring>

namespace Voice {

PlayoutDevice::PlayoutDevice(FrameSource source, QObject *parent)
    : QIODevice(parent)
    , m_source(std::move(source))
    , m_frame(FrameSamples)
    , m_used(FrameSamples)
{ }

qint64 PlayoutDevice::bytesAvailable() const
{
    // Endless: tell the sink a full frame is always there.
    return QIODevice::bytesAvailable() + FrameSamples * 2;
}

qint64 PlayoutDevice::readData(char *data, qint64 maxSize)
{
    // Whole samples only; an odd byte count would shift every later sample.
    qint64 samples = maxSize / 2;
    qint64 written = 0;
    while (samples > 0) {
        if (m_used == m_frame.size()) {
            m_source(m_frame.data());
            m_used = 0;
        }
        const auto take = std::min<qint64>(samples, qint64(m_frame.size() - m_used));
        std::memcpy(data + written * 2, m_frame.data() + m_used, std::size_t(take) * 2);
        m_used += std::size_t(take);
        written += take;
        samples -= take;
    }
    return written * 2;
}

} // namespace Voice
