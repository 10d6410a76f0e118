#pragma once

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <QtEndian>

#include <cmath>

// Media files the tests make for themselves.
namespace TestMedia {

// A 16-bit mono WAV of a quiet 440 Hz tone.
inline bool WriteWav(const QString &path, double seconds, int rate = 8000)
{
    const quint32 samples = quint32(seconds * rate);
    QByteArray data(qsizetype(samples) * 2, Qt::Uninitialized);
    for (quint32 i = 0; i < samples; ++i) {
        const auto value = qint16(3000 * std::sin(2 * M_PI * 440 * i / rate));
        qToLittleEndian(value, data.data() + i * 2);
    }
    QByteArray header(44, '\0');
    char *h = header.data();
    memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36 + data.size(), h + 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20); // PCM
    qToLittleEndian<quint16>(1, h + 22); // mono
    qToLittleEndian<quint32>(rate, h + 24);
    qToLittleEndian<quint32>(rate * 2, h + 28);
    qToLittleEndian<quint16>(2, h + 32);
    qToLittleEndian<quint16>(16, h + 34);
    memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(data.size(), h + 40);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(header) == header.size()
        && file.write(data) == data.size();
}

inline bool WritePicture(const QString &path, const QSize &size = QSize(64, 48))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0x20, 0x80, 0xc0));
    return image.save(path, "PNG");
}

} // namespace TestMedia
