#include "sim/core/voicepackets.h"

#include "voice/wire/voicewire.h"

namespace VoicePackets {

QByteArray packet(quint16 payloadLength, char fill, quint32 sequence)
{
    QByteArray bytes(VoiceWire::HeaderSize + payloadLength, fill);
    bytes[0] = char(sequence & 0xff);
    bytes[1] = char((sequence >> 8) & 0xff);
    bytes[2] = char((sequence >> 16) & 0xff);
    bytes[3] = char((sequence >> 24) & 0xff);
    VoiceWire::setPayloadLength(bytes.data(), payloadLength);
    bytes[6] = 0;
    bytes[7] = 0;
    return bytes;
}

} // namespace VoicePackets
