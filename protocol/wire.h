#pragma once

#include "protocol/aulix_remotesyncdll_export.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Byte-level helpers shared by the frame codec and the message builders and
// decoders. Nothing here touches a socket.
namespace Wire {

// A step that could not be completed. Numbers follow the classic run-time
// error numbers the protocol's error lines carry.
struct Failure {
    int number = 0;
    QString description;
    explicit operator bool() const { return number != 0; }
};

inline constexpr int InvalidArgument = 5;
inline constexpr int Overflow = 6;
inline constexpr int IndexOutOfRange = 9;

AULIX_REMOTESYNCDLL_EXPORT Failure makeFailure(int number);

// Reads fields of a payload; a field that runs past the end or overflows is
// recorded in `failure` and read as 0 (later failures replace earlier ones).
class AULIX_REMOTESYNCDLL_EXPORT Reader
{
public:
    Reader(QByteArrayView bytes, Failure &failure)
        : m_bytes(bytes)
        , m_failure(failure)
    { }

    // 32-bit little-endian, 0..2^31-1; a top byte of 0x80 or more overflows.
    qint32 int32(qsizetype offset);
    // 16-bit little-endian read as signed; a top byte of 0x80 or more overflows.
    qint16 int16(qsizetype offset);
    // 16-bit little-endian, 0..65535.
    quint16 uint16(qsizetype offset);
    quint8 byte(qsizetype offset);
    // `count` bytes from `offset`; a part past the end fails and is left out.
    QByteArrayView bytes(qsizetype offset, qsizetype count);

private:
    QByteArrayView m_bytes;
    Failure &m_failure;
};

AULIX_REMOTESYNCDLL_EXPORT void appendInt32(QByteArray &out, qint32 value);
AULIX_REMOTESYNCDLL_EXPORT void appendInt16(QByteArray &out, qint32 value);
AULIX_REMOTESYNCDLL_EXPORT void putInt32(char *at, qint32 value);

// Texts on the wire.
AULIX_REMOTESYNCDLL_EXPORT QByteArray wideBytes(const QString &text);
// UTF-16LE bytes as text; an odd last byte is not a code unit and is dropped.
AULIX_REMOTESYNCDLL_EXPORT QString wideText(QByteArrayView bytes);
// The ANSI code page of the peers: GBK.
AULIX_REMOTESYNCDLL_EXPORT QByteArray narrowBytes(const QString &text);
AULIX_REMOTESYNCDLL_EXPORT QString ansiText(QByteArrayView bytes);
// `bytes` cut to `width` and zero-filled up to it.
AULIX_REMOTESYNCDLL_EXPORT QByteArray fixedWidth(QByteArrayView bytes, qsizetype width);
// A fixed-width field read back: all bytes from the ANSI code page (zero
// bytes stay as NUL characters), padded with spaces to `width` characters.
AULIX_REMOTESYNCDLL_EXPORT void appendAnsiField(
    QString &out, QByteArrayView bytes, qsizetype width);
// A number in decimal padded with spaces to `width` characters.
AULIX_REMOTESYNCDLL_EXPORT void appendNumberField(QString &out, qint64 value, qsizetype width);

// The text followed by spaces up to `width` characters. A longer text is an
// invalid argument: it is returned unchanged and `failure` is set.
AULIX_REMOTESYNCDLL_EXPORT QString PadRight(
    const QString &text, qsizetype width, Failure *failure = nullptr);
// Spaces trimmed at both ends, then the UTF-16LE bytes without the zero bytes.
AULIX_REMOTESYNCDLL_EXPORT QByteArray StripZeroBytes(const QString &text);
// The UTF-16LE bytes without the zero bytes, untrimmed (the login password).
AULIX_REMOTESYNCDLL_EXPORT QByteArray nonZeroUtf16Bytes(const QString &text);

// Lower-case hexadecimal, for diagnostics.
AULIX_REMOTESYNCDLL_EXPORT QString hex(QByteArrayView bytes);

} // namespace Wire
