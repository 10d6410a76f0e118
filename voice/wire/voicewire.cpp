#include "voice/wire/voicewire.h"

#include <cstring>

namespace VoiceWire {

namespace {

constexpr QByteArrayView RegistrationTag("key=");

} // namespace

quint16 payloadLength(QByteArrayView header)
{
    Q_ASSERT(header.size() >= HeaderSize);
    return quint16(quint8(header[4]) | (quint16(quint8(header[5])) << 8));
}

void setPayloadLength(char *header, quint16 length)
{
    header[4] = char(length & 0xff);
    header[5] = char(length >> 8);
}

Split splitDatagram(QByteArrayView datagram)
{
    Split split;
    const qsizetype total = datagram.size();
    qsizetype offset = 0;
    while (offset < total) {
        const qsizetype left = total - offset;
        if (left < HeaderSize) {
            split.droppedBytes += left;
            split.reason = Dropped::CutShort;
            break;
        }
        const QByteArrayView rest = datagram.sliced(offset);
        const quint16 length = payloadLength(rest);
        // The declared length is checked before anything is taken.
        if (length >= LengthLimit) {
            split.droppedBytes += left;
            split.reason = Dropped::LengthOverLimit;
            break;
        }
        const qsizetype packetSize = HeaderSize + length;
        if (packetSize > left) {
            split.droppedBytes += left;
            split.reason = Dropped::CutShort;
            break;
        }
        if (length == 0) {
            split.droppedBytes += HeaderSize;
            split.reason = Dropped::EmptyPacket;
        } else {
            split.packets.append(rest.first(packetSize));
        }
        offset += packetSize;
    }
    return split;
}

QByteArray registrationPacket(QByteArrayView key)
{
    QByteArray packet(RegistrationSize, '\0');
    std::memcpy(packet.data(), RegistrationTag.data(), size_t(RegistrationTag.size()));
    const qsizetype used = qMin(key.size(), KeySize);
    if (used > 0)
        std::memcpy(packet.data() + RegistrationTag.size(), key.data(), size_t(used));
    return packet;
}

bool isRegistration(QByteArrayView datagram)
{
    return datagram.size() == RegistrationSize && datagram.startsWith(RegistrationTag);
}

std::optional<QByteArray> parseRegistration(QByteArrayView datagram)
{
    if (!isRegistration(datagram))
        return std::nullopt;
    return datagram.sliced(RegistrationTag.size(), KeySize).toByteArray();
}

} // namespace VoiceWire
