#include "protocol/framecodec.h"

#include <cstring>

using namespace Qt::StringLiterals;

namespace FrameCodec {

qint32 GetMessageLength(quint8 b0, quint8 b4, quint8 b14, quint8 b15)
{
    if (b0 != 9)
        return 0;
    if (b4 > 12 && (b4 < 21 || b4 > 28))
        return 0;
    return FrameHeaderSize + b14 + 256 * b15;
}

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

Cut cutFrame(QByteArrayView buffer)
{
    if (buffer.size() < FrameHeaderSize)
        return {CutStatus::Incomplete, 0};
    const auto *p = reinterpret_cast<const uchar *>(buffer.data());
    const qint32 total = GetMessageLength(p[0], p[4], p[14], p[15]);
    if (total < 1)
        return {CutStatus::Refused, 0};
    if (total > buffer.size())
        return {CutStatus::Incomplete, 0};
    return {CutStatus::Frame, total};
}

FrameView viewFrame(QByteArrayView frame, Wire::Failure &failure)
{
    FrameView view;
    const auto *p = reinterpret_cast<const uchar *>(frame.data());
    view.type = p[4];
    view.verb = p[5];
    Wire::Reader reader(frame, failure);
    view.id = reader.int32(6);
    view.length = p[14] | (p[15] << 8);
    view.payload = frame.sliced(FrameHeaderSize, view.length);
    return view;
}

} // namespace FrameCodec

void FrameAssembler::dropConsumed()
{
    if (m_head == 0)
        return;
    m_buffer.remove(0, m_head);
    m_head = 0;
}

void FrameAssembler::append(QByteArrayView bytes)
{
    dropConsumed();
    m_buffer.append(bytes);
}

char *FrameAssembler::reserveTail(qsizetype count)
{
    dropConsumed();
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + count);
    m_reserved = count;
    return m_buffer.data() + old;
}

void FrameAssembler::commit(qsizetype written)
{
    // reserveTail() grew the buffer by the requested count; keep what was written.
    m_buffer.truncate(m_buffer.size() - m_reserved + qBound(qsizetype(0), written, m_reserved));
    m_reserved = 0;
}

FrameCodec::CutStatus FrameAssembler::peek(QByteArrayView *frame) const
{
    const FrameCodec::Cut cut = FrameCodec::cutFrame(front());
    if (cut.status == FrameCodec::CutStatus::Frame && frame)
        *frame = front().first(cut.length);
    return cut.status;
}

void FrameAssembler::consume(qsizetype length)
{
    m_head += length;
    if (m_head >= m_buffer.size()) {
        // Keeps the allocation for the next arrival.
        m_buffer.resize(0);
        m_head = 0;
    }
}

void FrameAssembler::clear()
{
    m_buffer.clear();
    m_head = 0;
}
