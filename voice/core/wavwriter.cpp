#include "voice/core/wavwriter.h"

#include "voice/core/voiceformat.h"

#include <QtEndian>

namespace Voice {

namespace {

constexpr int HeaderSize = 44;
// The RIFF size fields are 32-bit; stop before they would wrap.
constexpr qint64 MaxDataBytes = 0xffffffffLL - HeaderSize;

QByteArray headerFor(qint64 dataBytes)
{
    QByteArray h(HeaderSize, '\0');
    char *p = h.data();
    auto put32 = [](char *at, quint32 v) { qToLittleEndian<quint32>(v, at); };
    auto put16 = [](char *at, quint16 v) { qToLittleEndian<quint16>(v, at); };
    memcpy(p, "RIFF", 4);
    put32(p + 4, quint32(36 + dataBytes));
    memcpy(p + 8, "WAVEfmt ", 8);
    put32(p + 16, 16);
    put16(p + 20, 1);
    put16(p + 22, 1);
    put32(p + 24, SampleRate);
    put32(p + 28, SampleRate * 2);
    put16(p + 32, 2);
    put16(p + 34, 16);
    memcpy(p + 36, "data", 4);
    put32(p + 40, quint32(dataBytes));
    return h;
}

} // namespace

WavWriter::~WavWriter()
{
    close();
}

bool WavWriter::open(const QString &path)
{
    close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    m_samples = 0;
    m_samplesAtLastUpdate = 0;
    return m_file.write(headerFor(0)) == HeaderSize;
}

bool WavWriter::write(const qint16 *samples, int count)
{
    if (!m_file.isOpen() || count < 0 || (m_samples + count) * 2 > MaxDataBytes)
        return false;
    if (count == 0)
        return true;
    QByteArray bytes(count * 2, Qt::Uninitialized);
    qToLittleEndian<qint16>(samples, count, bytes.data());
    if (m_file.write(bytes) != bytes.size())
        return false;
    m_samples += count;
    if (m_samples - m_samplesAtLastUpdate >= SampleRate)
        updateHeader();
    return true;
}

void WavWriter::updateHeader()
{
    const qint64 end = m_file.pos();
    if (m_file.seek(0)) {
        m_file.write(headerFor(m_samples * 2));
        m_file.seek(end);
    }
    m_file.flush();
    m_samplesAtLastUpdate = m_samples;
}

void WavWriter::close()
{
    if (!m_file.isOpen())
        return;
    updateHeader();
    m_file.close();
}

} // namespace Voice
