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
// The reads run per field of every received frame, so the good path is
// inline and only a failure leaves it.
class AULIX_REMOTESYNCDLL_EXPORT Reader
{
public:
    Reader(QByteArrayView bytes, Failure &failure)
        : m_bytes(bytes)
        , m_failure(failure)
    { }

    // 32-bit little-endian, 0..2^31-1; a top byte of 0x80 or more overflows.
    qint32 int32(qsizetype offset)
    {
        if (offset < 0 || offset > m_bytes.size() - 4)
            return fail(IndexOutOfRange);
        const uchar *p = at(offset);
        if (p[3] >= 0x80)
            return fail(Overflow);
        return qint32(p[0]) | (qint32(p[1]) << 8) | (qint32(p[2]) << 16) | (qint32(p[3]) << 24);
    }
    // 16-bit little-endian read as signed; a top byte of 0x80 or more overflows.
    qint16 int16(qsizetype offset)
    {
        if (offset < 0 || offset > m_bytes.size() - 2)
            return qint16(fail(IndexOutOfRange));
        const uchar *p = at(offset);
        if (p[1] >= 0x80)
            return qint16(fail(Overflow));
        return qint16(p[0] | (p[1] << 8));
    }
    // 16-bit little-endian, 0..65535.
    quint16 uint16(qsizetype offset)
    {
        if (offset < 0 || offset > m_bytes.size() - 2)
            return quint16(fail(IndexOutOfRange));
        const uchar *p = at(offset);
        return quint16(p[0] | (p[1] << 8));
    }
    quint8 byte(qsizetype offset)
    {
        if (offset < 0 || offset >= m_bytes.size())
            return quint8(fail(IndexOutOfRange));
        return *at(offset);
    }
    // `count` bytes from `offset`; a part past the end fails and is left out.
    QByteArrayView bytes(qsizetype offset, qsizetype count);

private:
    const uchar *at(qsizetype offset) const
    {
        return reinterpret_cast<const uchar *>(m_bytes.data()) + offset;
    }
    // Records the failure and gives the 0 the field reads as.
    Q_DECL_COLD_FUNCTION qint32 fail(int number);

    QByteArrayView m_bytes;
    Failure &m_failure;
};

// UTF-16LE text as it lies in a received payload. Decoding keeps the view and
// the text is converted once, where it leaves the library (an event, a log
// line): a QString per field would cost an allocation per message. A view is
// only valid while the payload it was cut from is.
class WideView
{
public:
    WideView() = default;
    // An odd last byte is not a code unit and is left out.
    explicit WideView(QByteArrayView bytes)
        : m_bytes(bytes.first(bytes.size() & ~qsizetype(1)))
    { }

    // Code units.
    qsizetype size() const { return m_bytes.size() / 2; }
    bool isEmpty() const { return m_bytes.isEmpty(); }
    QByteArrayView bytes() const { return m_bytes; }
    inline QString toString() const;

private:
    QByteArrayView m_bytes;
};

AULIX_REMOTESYNCDLL_EXPORT void appendInt32(QByteArray &out, qint32 value);
AULIX_REMOTESYNCDLL_EXPORT void appendInt16(QByteArray &out, qint32 value);
AULIX_REMOTESYNCDLL_EXPORT void putInt32(char *at, qint32 value);

// Texts on the wire.
AULIX_REMOTESYNCDLL_EXPORT QByteArray wideBytes(const QString &text);
// UTF-16LE bytes as text; an odd last byte is not a code unit and is dropped.
AULIX_REMOTESYNCDLL_EXPORT QString wideText(QByteArrayView bytes);
inline QString WideView::toString() const
{
    return wideText(m_bytes);
}
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

// A list text of fixed-width fields, the same characters as
// appendAnsiField() and appendNumberField() give, written straight into
// storage sized once for the whole list: a list of thousands of records
// makes no temporary string and no reallocation.
class AULIX_REMOTESYNCDLL_EXPORT FieldText
{
public:
    // `expected` characters in all when every field keeps its width.
    explicit FieldText(qsizetype expected);

    void number(qint64 value, qsizetype width)
    {
        // Right to left into a small buffer: no conversion call per field.
        char16_t digits[20];
        qsizetype at = 20;
        const bool negative = value < 0;
        quint64 rest = negative ? 0 - quint64(value) : quint64(value);
        do {
            digits[--at] = char16_t(u'0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        if (negative)
            digits[--at] = u'-';
        put(digits + at, 20 - at, width);
    }
    void ansi(QByteArrayView bytes, qsizetype width)
    {
        const auto *src = reinterpret_cast<const uchar *>(bytes.data());
        const qsizetype count = bytes.size();
        // One pass that the compiler vectorises tells whether the field is
        // ASCII (NULs included), the usual case: then it is widened byte for
        // byte; anything else goes through the code page.
        uchar high = 0;
        for (qsizetype i = 0; i < count; ++i)
            high |= src[i];
        if (high >= 0x80) {
            ansiSlow(bytes, width);
            return;
        }
        const qsizetype total = count > width ? count : width;
        char16_t *dst = room(total);
        for (qsizetype i = 0; i < count; ++i)
            dst[i] = src[i];
        for (qsizetype i = count; i < total; ++i)
            dst[i] = u' ';
        m_size += total;
    }
    // Room for `count` characters that the caller writes at once, all of
    // them: the list decoders' whole-record fast paths.
    char16_t *append(qsizetype count)
    {
        char16_t *dst = room(count);
        m_size += count;
        return dst;
    }
    // Gives back the last `count` characters of those append() gave.
    void giveBack(qsizetype count) { m_size -= count; }
    // The text written (a null string when nothing was).
    QString take();

private:
    char16_t *room(qsizetype count)
    {
        return count <= m_capacity - m_size ? m_data + m_size : grow(count);
    }
    void put(const char16_t *text, qsizetype count, qsizetype width)
    {
        const qsizetype total = count > width ? count : width;
        char16_t *dst = room(total);
        for (qsizetype i = 0; i < count; ++i)
            dst[i] = text[i];
        for (qsizetype i = count; i < total; ++i)
            dst[i] = u' ';
        m_size += total;
    }
    Q_DECL_COLD_FUNCTION char16_t *grow(qsizetype count);
    void ansiSlow(QByteArrayView bytes, qsizetype width);

    QString m_text;
    char16_t *m_data = nullptr;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
};

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
