#pragma once

#include "voice/core/lumovoicecore_export.h"

#include <QFile>
#include <QString>

namespace Voice {

// Writes 48 kHz mono 16-bit PCM. The header's sizes are brought up to date
// every second and at close, so a file cut off by a crash still plays up to
// its last second.
class LUMOVOICECORE_EXPORT WavWriter
{
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter &) = delete;
    WavWriter &operator=(const WavWriter &) = delete;

    bool open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    bool write(const qint16 *samples, int count);
    void close();
    QString errorString() const { return m_file.errorString(); }
    qint64 samplesWritten() const { return m_samples; }

private:
    void updateHeader();

    QFile m_file;
    qint64 m_samples = 0;
    qint64 m_samplesAtLastUpdate = 0;
};

} // namespace Voice
