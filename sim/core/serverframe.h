#pragma once

#include "protocol/framecodec.h"
#include "protocol/msgtypes.h"

#include <QByteArray>
#include <QByteArrayView>

// Framing as the servers see it. Clients send two types (13 and 14) that the
// client-side length rule refuses, so the servers cut frames by their own
// rule; payloads are the protocol library's.
namespace ServerFrame {

// Payloads above this are refused: no message of the protocol comes close,
// and a peer announcing more is broken or hostile.
inline constexpr qsizetype MaxPayload = 32768;

enum class Status { Frame, Incomplete, Refused };

struct Cut {
    Status status = Status::Incomplete;
    qsizetype length = 0;
};

// The front of a receive buffer: whole frame, not yet whole, or a header
// that no client frame starts with (version/language byte other than 9, a
// type outside 0-14 and 21-28, or a payload above MaxPayload).
Cut cutClientFrame(QByteArrayView buffer);

struct Frame {
    quint8 type = 0;
    quint8 verb = 0;
    qint32 id = 0;
    QByteArray payload;
};

// Decodes a frame that cutClientFrame accepted.
Frame decode(QByteArrayView frame);

// The frame as the payload decoders of the protocol library read it.
inline FrameCodec::FrameView view(const Frame &frame)
{
    return FrameCodec::viewPayload(frame.type, frame.verb, frame.id, frame.payload);
}

// A whole frame from the server: version 1, language 1, reserved fields 0.
QByteArray encode(quint8 type, qint32 verb, qint32 id, const QByteArray &payload = {});

} // namespace ServerFrame
