#include "sim/core/voicepackets.h"

namespace VoicePackets {

bool isRegistration(QByteArrayView datagram)
{
    return datagram.size() == RegistrationSize && datagram.startsWith(QByteArrayView("key="));
}

QByteArray registrationKey(QByteArrayView datagram)
{
    return isRegistration(datagram) ? datagram.sliced(4, KeySize).toByteArray() : QByteArray();
}

QByteArray registration(const QByteArray &key)
{
    QByteArray datagram("key=");
    datagram.append(key.left(KeySize));
    datagram.append(RegistrationSize - datagram.size(), '\0');
    return datagram;
}

QList<QByteArrayView> split(QByteArrayView datagram)
{
    QList<QByteArrayView> packets;
    qsizetype offset = 0;
    while (datagram.size() - offset > HeaderSize) {
        const qsizetype length
            = quint8(datagram[offset + 4]) + 256 * qsizetype(quint8(datagram[offset + 5]));
        if (length >= 0x8000 || offset + HeaderSize + length > datagram.size())
            break;
        packets.append(datagram.sliced(offset, HeaderSize + length));
        offset += HeaderSize + length;
    }
    return packets;
}

QByteArray packet(quint16 payloadLength, char fill, quint32 sequence)
{
    QByteArray bytes(HeaderSize + payloadLength, fill);
    bytes[0] = char(sequence & 0xff);
    bytes[1] = char((sequence >> 8) & 0xff);
    bytes[2] = char((sequence >> 16) & 0xff);
    bytes[3] = char((sequence >> 24) & 0xff);
    bytes[4] = char(payloadLength & 0xff);
    bytes[5] = char(payloadLength >> 8);
    bytes[6] = 0;
    bytes[7] = 0;
    return bytes;
}

} // namespace VoicePackets
