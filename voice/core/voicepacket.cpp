#include "voice/core/voicepacket.h"

#include <cstring>

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
    VoiceWire::setPayloadLength(p, quint16(payload.size()));
    writeLe16(p + 6, header.streamId);
    if (!payload.isEmpty())
        std::memcpy(p + PacketHeaderSize, payload.data(), size_t(payload.size()));
    return out;
}

SplitDatagram SplitVoiceDatagram(QByteArrayView datagram)
{
    const VoiceWire::Split wire = VoiceWire::splitDatagram(datagram);
    SplitDatagram result;
    result.discardedBytes = int(wire.droppedBytes);
    for (const QByteArrayView packet : wire.packets) {
        const char *p = packet.data();
        PacketHeader header;
        header.sequence = readLe16(p);
        header.codec = quint8(p[2]);
        header.flags = quint8(p[3]);
        header.payloadLength = VoiceWire::payloadLength(packet);
        header.streamId = readLe16(p + 6);
        // An unknown codec or an oversized frame skips one packet, not the
        // datagram: the wire has already found where the next one starts.
        if (header.codec != CodecOpus48kMono20ms || header.payloadLength > MaxPayloadSize) {
            result.discardedBytes += int(packet.size());
            continue;
        }
        result.packets.append(VoicePacket{header, packet.sliced(PacketHeaderSize).toByteArray()});
    }
    return result;
}

} // namespace Voice
