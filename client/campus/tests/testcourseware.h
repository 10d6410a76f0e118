#pragma once

#include <QByteArray>
#include <QtEndian>

// Courseware files made byte by byte for the download tests: the header,
// the root folder and one file record whose entry claims `entrySize` bytes.
// The courseware check reads the structure only, so any entry bytes do.
namespace TestCourseware {

inline QByteArray int16(qint16 value)
{
    QByteArray bytes(2, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

inline QByteArray text(const QByteArray &ascii)
{
    return int16(qint16(ascii.size())) + ascii;
}

// Everything before the entry's bytes.
inline QByteArray head(qint64 entrySize)
{
    QByteArray bytes("Aulix Nova Courseware.");
    for (const qint16 value : {26, 1, -1, 0, 0})
        bytes += int16(value);
    bytes += text("Course") + text("teacher");
    bytes += int16(1) + text("Course") + text("_0");
    bytes += int16(2) + text("big") + text("_0_1.bin");
    QByteArray size(4, '\0');
    qToLittleEndian(qint32(entrySize), size.data());
    return bytes + size;
}

// A whole file: the head, `entrySize` bytes of `fill` and the zero byte.
inline QByteArray file(qint64 entrySize, char fill = 'x')
{
    return head(entrySize) + QByteArray(entrySize, fill) + QByteArray(1, '\0');
}

} // namespace TestCourseware
