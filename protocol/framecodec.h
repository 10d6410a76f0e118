#pragma once

#include "protocol/aulix_remotesyncdll_export.h"
#include "protocol/msgtypes.h"
#include "protocol/wire.h"

#include <QByteArrayView>

// The 16-byte frame header and its payload, as pure functions over bytes.
namespace FrameCodec {

// Total frame length announced by a header, or 0 when the header is not
// acceptable: byte 0 must be 9 (version 1, language 1) and the type one the
// servers send (0-12, 21-28).
inline qint32 GetMessageLength(quint8 b0, quint8 b4, quint8 b14, quint8 b15)
{
    if (b0 != 9)
        return 0;
    if (b4 > 12 && (b4 < 21 || b4 > 28))
        return 0;
    return FrameHeaderSize + b14 + 256 * b15;
}

// Exactly `lngLength` bytes: the header, then lngLength - 16 payload bytes.
// Bytes that cannot be formed stay 0 and leave a failure.
AULIX_REMOTESYNCDLL_EXPORT QByteArray ConvertToStream(
    const MsgContent &mcContent, qint32 lngLength, Wire::Failure &failure);

// Decodes one frame. When `lngLength` differs from the header's length the
// header governs and `lengthWarning` receives the diagnostic line.
AULIX_REMOTESYNCDLL_EXPORT MsgContent ConvertToMessage(QByteArrayView byteStream, qint32 lngLength,
    Wire::Failure &failure, QString *lengthWarning = nullptr);

enum class CutStatus { Frame, Incomplete, Refused };

struct Cut {
    CutStatus status = CutStatus::Incomplete;
    qsizetype length = 0; // the frame's length when status is Frame
};

// Looks at the front of a receive buffer: a whole frame, not yet a whole
// frame, or a header that no frame can start with. Runs once per frame
// received, hence inline.
inline Cut cutFrame(QByteArrayView buffer)
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

// A decoded frame whose payload still lies in the caller's buffer.
struct FrameView {
    quint8 type = 0;
    qint32 verb = 0;
    qint32 id = 0;
    qint32 length = 0;
    QByteArrayView payload;
};

// Header and payload of a frame that cutFrame() accepted.
inline FrameView viewFrame(QByteArrayView frame, Wire::Failure &failure)
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

// A frame view over a payload held apart from its header (servers keep
// frames that way); the length is the payload's.
inline FrameView viewPayload(quint8 type, qint32 verb, qint32 id, QByteArrayView payload)
{
    return {type, verb, id, qint32(payload.size()), payload};
}

} // namespace FrameCodec

// The receive buffer of a connection: bytes go in as they arrive, whole
// frames come out. Consumed bytes are dropped lazily on the next append, so
// cutting a frame never moves memory and a long run of small frames costs
// linear time whatever the read size.
class AULIX_REMOTESYNCDLL_EXPORT FrameAssembler
{
public:
    void append(QByteArrayView bytes);
    // Room for `count` more bytes at the end, to read into directly; commit()
    // with the number actually written.
    char *reserveTail(qsizetype count);
    void commit(qsizetype written);

    // The frame at the front (status Frame, bytes in `frame`), or why not.
    FrameCodec::CutStatus peek(QByteArrayView *frame) const
    {
        const FrameCodec::Cut cut = FrameCodec::cutFrame(front());
        if (cut.status == FrameCodec::CutStatus::Frame && frame)
            *frame = front().first(cut.length);
        return cut.status;
    }
    // Drops the front frame of `length` bytes.
    void consume(qsizetype length)
    {
        m_head += length;
        if (m_head >= m_size)
            m_head = m_size = 0; // keeps the allocation for the next arrival
    }
    void clear();
    qsizetype pending() const { return m_size - m_head; }
    QByteArrayView front() const { return {m_buffer.constData() + m_head, pending()}; }

private:
    // Moves the unconsumed bytes to the front and makes room for `count`
    // more after them; returns where they go.
    char *makeRoom(qsizetype count);

    // m_buffer is storage only: its bytes [m_head, m_size) are the pending
    // ones, and its own size is the capacity, grown by doubling. Managing
    // the ends here keeps a read from ever reallocating or moving more than
    // the one partial frame left over from the previous read.
    QByteArray m_buffer;
    qsizetype m_head = 0;
    qsizetype m_size = 0;
    qsizetype m_reserved = 0;
};
