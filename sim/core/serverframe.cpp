#include "sim/core/serverframe.h"

#include "protocol/framecodec.h"

namespace ServerFrame {

namespace {

bool knownType(quint8 type)
{
    return type <= mtRefreshWhiteBoard || (type >= mtCampusLogin && type <= mtCampusLogOut);
}

} // namespace

Cut cutClientFrame(QByteArrayView buffer)
{
    if (buffer.isEmpty())
        return {};
    if (quint8(buffer[0]) != 9)
        return {Status::Refused, 0};
    if (buffer.size() < 5)
        return {};
    if (!knownType(quint8(buffer[4])))
        return {Status::Refused, 0};
    if (buffer.size() < FrameHeaderSize)
        return {};
    const qsizetype payload = quint8(buffer[14]) + 256 * quint8(buffer[15]);
    if (payload > MaxPayload)
        return {Status::Refused, 0};
    const qsizetype total = FrameHeaderSize + payload;
    if (buffer.size() < total)
        return {};
    return {Status::Frame, total};
}

Frame decode(QByteArrayView frame)
{
    Frame decoded;
    if (frame.size() < FrameHeaderSize)
        return decoded;
    decoded.type = quint8(frame[4]);
    decoded.verb = quint8(frame[5]);
    // The user number is taken as the four raw bytes: the servers never
    // trust it (the connection's login decides who speaks), they only echo.
    decoded.id = qint32(quint32(quint8(frame[6])) | quint32(quint8(frame[7])) << 8
        | quint32(quint8(frame[8])) << 16 | quint32(quint8(frame[9])) << 24);
    decoded.payload = frame.sliced(FrameHeaderSize).toByteArray();
    return decoded;
}

QByteArray encode(quint8 type, qint32 verb, qint32 id, const QByteArray &payload)
{
    MsgContent message;
    message.mcVersion = 1;
    message.mcLanguage = 1;
    message.mcCommandType = type;
    message.mcCommandVerb = verb;
    message.mcID = id;
    message.mcLength = qint32(payload.size());
    message.mcDatas = payload;
    Wire::Failure failure;
    return FrameCodec::ConvertToStream(message, message.mcLength + FrameHeaderSize, failure);
}

} // namespace ServerFrame
