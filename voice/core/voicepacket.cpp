#include "voice/core/voicepacket.h"

namespace Voice {

namespace {

quint16 readLe16(const char *p)
{
    return quint16(quint8(p[0]) | (quint16(quint8(p[1])) << 8));
}

void writeLe16(char *p, quint16 value)
{
    p[0] = char(value & 0xff);
    p[1] = char(value >> 8);
}

} // namespace

QByteArray EncodeVoicePacket(PacketHeader header, QByteArrayView payload)
{
    Q_ASSERT(payload.size() <= MaxPayloadSize);
    QByteArray out(PacketHeaderSize + payload.size(), Qt::Uninitialized);
    char *p = out.data();
    writeLe16(p, header.sequence);
    p[2] = char(header.codec);
    p[3] = char(header.flags);
    writeLe16(p + 4, quint16(payload.size()));
    writeLe16(p + 6, header.streamId);
    if (!payload.isEmpty())
        memcpy(p + PacketHeaderSize, payload.data(), size_t(payload.size()));
    return out;
}

SplitDatagram SplitVoiceDatagram(QByteArrayView datagram)
{
    SplitDatagram result;
    const qsizetype total = datagram.size();
    qsizetype offset = 0;
    while (offset < total) {
        const qsizetype left = total - offset;
        const char *p = datagram.data() + offset;
        if (left < PacketHeaderSize) {
            result.discardedBytes += int(left);
            break;
        }
        PacketHeader header;
        header.sequence = readLe16(p);
        header.codec = quint8(p[2]);
        header.flags = quint8(p[3]);
        header.payloadLength = readLe16(p + 4);
        header.streamId = readLe16(p + 6);
        // The declared length is checked before anything is copied.
        if (header.payloadLength >= 0x8000 || header.payloadLength > left - PacketHeaderSize) {
            result.discardedBytes += int(left);
            break;
        }
        const qsizetype packetSize = PacketHeaderSize + header.payloadLength;
        if (header.codec == CodecOpus48kMono20ms && header.payloadLength > 0
            && header.payloadLength <= MaxPayloadSize) {
            result.packets.append(VoicePacket{
                header, QByteArray(p + PacketHeaderSize, qsizetype(header.payloadLength))});
        } else {
            result.discardedBytes += int(packetSize);
        }
        offset += packetSize;
    }
    return result;
}

} // namespace Voice
