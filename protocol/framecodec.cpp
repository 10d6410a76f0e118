#include "protocol/framecodec.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace FrameCodec {

QByteArray ConvertToStream(const MsgContent &mcContent, qint32 lngLength, Wire::Failure &failure)
{
    if (lngLength < 0) {
        failure = Wire::makeFailure(Wire::Overflow);
        return {};
    }
    QByteArray out(lngLength, '\0');
    char header[FrameHeaderSize];
    header[0] = char(((mcContent.mcVersion * 8) & 248) + (mcContent.mcLanguage & 7));
    header[1] = char(mcContent.mcReserved1 & 255);
    header[2] = char(mcContent.mcReserved2 & 255);
    header[3] = char((mcContent.mcReserved2 >> 8) & 255);
    header[4] = char(mcContent.mcCommandType);
    header[5] = char(mcContent.mcCommandVerb & 255);
    Wire::putInt32(header + 6, mcContent.mcID);
    Wire::putInt32(header + 10, mcContent.mcReserved3);
    header[14] = char(mcContent.mcLength & 255);
    header[15] = char((mcContent.mcLength >> 8) & 255);

    const qint32 headerBytes = qMin<qint32>(lngLength, FrameHeaderSize);
    std::memcpy(out.data(), header, size_t(headerBytes));
    if (lngLength < FrameHeaderSize) {
        failure = Wire::makeFailure(Wire::IndexOutOfRange);
        return out;
    }
    const qint32 payloadBytes = lngLength - FrameHeaderSize;
    const qint32 available = qMin<qint32>(payloadBytes, qint32(mcContent.mcDatas.size()));
    if (available > 0)
        std::memcpy(out.data() + FrameHeaderSize, mcContent.mcDatas.constData(), size_t(available));
    if (available < payloadBytes)
        failure = Wire::makeFailure(Wire::IndexOutOfRange);
    return out;
}

MsgContent ConvertToMessage(
    QByteArrayView byteStream, qint32 lngLength, Wire::Failure &failure, QString *lengthWarning)
{
    MsgContent msg;
    Wire::Reader reader(byteStream, failure);
    const quint8 b0 = reader.byte(0);
    msg.mcLanguage = b0 & 7;
    msg.mcVersion = b0 >> 3;
    msg.mcCommandType = reader.byte(4);
    msg.mcCommandVerb = reader.byte(5);
    msg.mcID = reader.int32(6);
    msg.mcLength = reader.uint16(14);
    msg.mcReserved1 = reader.byte(1);
    msg.mcReserved2 = reader.uint16(2);
    msg.mcReserved3 = reader.int32(10);
    if (lngLength != msg.mcLength + FrameHeaderSize && lengthWarning) {
        *lengthWarning = u"[Warnning] Total Length <> length of datas "_s
            + QString::number(lngLength) + u'/' + QString::number(msg.mcLength);
    }
    if (msg.mcLength >= 1) {
        msg.mcDatas = QByteArray(msg.mcLength, '\0');
        const QByteArrayView payload = reader.bytes(FrameHeaderSize, msg.mcLength);
        if (!payload.isEmpty())
            std::memcpy(msg.mcDatas.data(), payload.data(), size_t(payload.size()));
    }
    return msg;
}

} // namespace FrameCodec

char *FrameAssembler::makeRoom(qsizetype count)
{
    const qsizetype pending = m_size - m_head;
    if (m_head > 0) {
        if (pending > 0)
            std::memmove(m_buffer.data(), m_buffer.constData() + m_head, size_t(pending));
        m_head = 0;
        m_size = pending;
    }
    if (m_buffer.size() - m_size < count)
        m_buffer.resize(qMax(m_size + count, 2 * m_buffer.size()));
    return m_buffer.data() + m_size;
}

void FrameAssembler::append(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    std::memcpy(makeRoom(bytes.size()), bytes.data(), size_t(bytes.size()));
    m_size += bytes.size();
}

char *FrameAssembler::reserveTail(qsizetype count)
{
    char *tail = makeRoom(count);
    m_reserved = count;
    return tail;
}

void FrameAssembler::commit(qsizetype written)
{
    // reserveTail() made room for the requested count; keep what was written.
    m_size += qBound(qsizetype(0), written, m_reserved);
    m_reserved = 0;
}

void FrameAssembler::clear()
{
    m_buffer.clear();
    m_head = m_size = 0;
}
