#include "protocol/wire.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QSysInfo>

#include <algorithm>
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

qint32 Reader::fail(int number)
{
    m_failure = makeFailure(number);
    return 0;
}

QByteArrayView Reader::bytes(qsizetype offset, qsizetype count)
{
    if (count <= 0)
        return {};
    if (offset < 0 || offset >= m_bytes.size()) {
        fail(IndexOutOfRange);
        return {};
    }
    if (count > m_bytes.size() - offset) {
        fail(IndexOutOfRange);
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
    // Runs per field of every list record. ASCII, the usual case, is widened
    // straight into the text with its padding; anything else goes through
    // the code page.
    const qsizetype start = out.size();
    const qsizetype count = bytes.size();
    out.resize(start + qMax(count, width));
    char16_t *dst = reinterpret_cast<char16_t *>(out.data()) + start;
    const auto *src = reinterpret_cast<const uchar *>(bytes.data());
    qsizetype i = 0;
    for (; i < count && src[i] < 0x80; ++i)
        dst[i] = src[i];
    if (i < count) {
        out.resize(start);
        out.append(gbkDecoder().decode(bytes));
        if (out.size() - start < width)
            out.resize(start + width, u' ');
        return;
    }
    std::fill(dst + count, dst + qMax(count, width), u' ');
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

FieldText::FieldText(qsizetype expected)
    : m_text(qMax<qsizetype>(expected, 0), Qt::Uninitialized)
    , m_data(reinterpret_cast<char16_t *>(m_text.data()))
    , m_capacity(m_text.size())
{ }

char16_t *FieldText::grow(qsizetype count)
{
    // Only a field the code page made longer than its width gets here.
    m_text.resize(qMax(m_size + count, m_capacity * 2));
    m_data = reinterpret_cast<char16_t *>(m_text.data());
    m_capacity = m_text.size();
    return m_data + m_size;
}

void FieldText::ansiSlow(QByteArrayView bytes, qsizetype width)
{
    const QString text = gbkDecoder().decode(bytes);
    put(reinterpret_cast<const char16_t *>(text.constData()), text.size(), width);
}

QString FieldText::take()
{
    if (m_size == 0)
        return {};
    m_text.truncate(m_size);
    m_data = nullptr;
    m_size = m_capacity = 0;
    return std::move(m_text);
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
