#include "protocol/wire.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QSysInfo>

#include <charconv>
#include <cstring>

using namespace Qt::StringLiterals;

namespace Wire {

namespace {

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Opening a converter by name is costly; the decoders run per record.
QStringDecoder &gbkDecoder()
{
    thread_local QStringDecoder decoder("GBK", QStringDecoder::Flag::Stateless);
    return decoder;
}

QStringEncoder &gbkEncoder()
{
    thread_local QStringEncoder encoder("GBK", QStringEncoder::Flag::Stateless);
    return encoder;
}

} // namespace

Failure makeFailure(int number)
{
    switch (number) {
    case InvalidArgument: return {number, u"Invalid procedure call or argument"_s};
    case Overflow: return {number, u"Overflow"_s};
    case IndexOutOfRange: return {number, u"Subscript out of range"_s};
    default: return {number, u"Application-defined or object-defined error"_s};
    }
}

qint32 Reader::int32(qsizetype offset)
{
    if (offset < 0 || offset + 4 > m_bytes.size()) {
        m_failure = makeFailure(IndexOutOfRange);
        return 0;
    }
    const auto *p = reinterpret_cast<const uchar *>(m_bytes.data() + offset);
    if (p[3] >= 0x80) {
        m_failure = makeFailure(Overflow);
        return 0;
    }
    return qint32(p[0]) | (qint32(p[1]) << 8) | (qint32(p[2]) << 16) | (qint32(p[3]) << 24);
}

qint16 Reader::int16(qsizetype offset)
{
    if (offset < 0 || offset + 2 > m_bytes.size()) {
        m_failure = makeFailure(IndexOutOfRange);
        return 0;
    }
    const auto *p = reinterpret_cast<const uchar *>(m_bytes.data() + offset);
    if (p[1] >= 0x80) {
        m_failure = makeFailure(Overflow);
        return 0;
    }
    return qint16(p[0] | (p[1] << 8));
}

quint16 Reader::uint16(qsizetype offset)
{
    if (offset < 0 || offset + 2 > m_bytes.size()) {
        m_failure = makeFailure(IndexOutOfRange);
        return 0;
    }
    const auto *p = reinterpret_cast<const uchar *>(m_bytes.data() + offset);
    return quint16(p[0] | (p[1] << 8));
}

quint8 Reader::byte(qsizetype offset)
{
    if (offset < 0 || offset >= m_bytes.size()) {
        m_failure = makeFailure(IndexOutOfRange);
        return 0;
    }
    return quint8(m_bytes[offset]);
}

QByteArrayView Reader::bytes(qsizetype offset, qsizetype count)
{
    if (count <= 0)
        return {};
    if (offset < 0 || offset >= m_bytes.size()) {
        m_failure = makeFailure(IndexOutOfRange);
        return {};
    }
    if (offset + count > m_bytes.size()) {
        m_failure = makeFailure(IndexOutOfRange);
        count = m_bytes.size() - offset;
    }
    return m_bytes.sliced(offset, count);
}

void putInt32(char *at, qint32 value)
{
    const auto v = quint32(value);
    at[0] = char(v & 0xff);
    at[1] = char((v >> 8) & 0xff);
    at[2] = char((v >> 16) & 0xff);
    at[3] = char((v >> 24) & 0xff);
}

void appendInt32(QByteArray &out, qint32 value)
{
    char bytes[4];
    putInt32(bytes, value);
    out.append(bytes, 4);
}

void appendInt16(QByteArray &out, qint32 value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

QByteArray wideBytes(const QString &text)
{
    QByteArray out(text.size() * 2, Qt::Uninitialized);
    if (out.isEmpty())
        return out;
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        std::memcpy(out.data(), text.constData(), size_t(out.size()));
    } else {
        char *p = out.data();
        for (const QChar c : text) {
            *p++ = char(c.unicode() & 0xff);
            *p++ = char(c.unicode() >> 8);
        }
    }
    return out;
}

QString wideText(QByteArrayView bytes)
{
    const qsizetype units = bytes.size() / 2;
    QString out(units, Qt::Uninitialized);
    if (units == 0)
        return out;
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        // The wire order is the host order: one copy, whatever the alignment.
        std::memcpy(out.data(), bytes.data(), size_t(units) * 2);
    } else {
        auto *dst = reinterpret_cast<char16_t *>(out.data());
        const auto *src = reinterpret_cast<const uchar *>(bytes.data());
        for (qsizetype i = 0; i < units; ++i)
            dst[i] = char16_t(src[2 * i] | (src[2 * i + 1] << 8));
    }
    return out;
}

QByteArray narrowBytes(const QString &text)
{
    return gbkEncoder().encode(text);
}

QString ansiText(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return gbkDecoder().decode(bytes);
}

QByteArray fixedWidth(QByteArrayView bytes, qsizetype width)
{
    QByteArray out(width, '\0');
    std::memcpy(out.data(), bytes.data(), size_t(qMin(width, bytes.size())));
    return out;
}

void appendAnsiField(QString &out, QByteArrayView bytes, qsizetype width)
{
    const qsizetype start = out.size();
    if (isAscii(bytes))
        out.append(QLatin1StringView(bytes));
    else
        out.append(gbkDecoder().decode(bytes));
    if (out.size() - start < width)
        out.resize(start + width, u' ');
}

void appendNumberField(QString &out, qint64 value, qsizetype width)
{
    // Runs per field of every list record: no temporary strings.
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const qsizetype start = out.size();
    out.append(QLatin1StringView(digits, end - digits));
    if (out.size() - start < width)
        out.resize(start + width, u' ');
}

QString PadRight(const QString &text, qsizetype width, Failure *failure)
{
    if (text.size() > width) {
        if (failure)
            *failure = makeFailure(InvalidArgument);
        return text;
    }
    return text + QString(width - text.size(), u' ');
}

QByteArray nonZeroUtf16Bytes(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u & 0xff)
            out.append(char(u & 0xff));
        if (u >> 8)
            out.append(char(u >> 8));
    }
    return out;
}

QByteArray StripZeroBytes(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return nonZeroUtf16Bytes(text.sliced(begin, end - begin));
}

QString hex(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex());
}

} // namespace Wire
