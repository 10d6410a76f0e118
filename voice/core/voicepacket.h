#pragma once

#include "voice/core/lumovoicecore_export.h"
#include "voice/wire/voicewire.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace Voice {

// One voice packet on the wire: an 8-byte header and the codec payload.
//   0-1 sequence number, little-endian (wraps)
//   2   codec tag
//   3   flags (0; reserved)
//   4-5 payload length in bytes, little-endian (relays read only this;
//       the framing is VoiceWire's)
//   6-7 stream id, little-endian, new at every start of speaking
inline constexpr int PacketHeaderSize = int(VoiceWire::HeaderSize);

// Codec tags. Append only: peers and relays keep old values.
inline constexpr quint8 CodecOpus48kMono20ms = 1;

// Opus never needs more than 1275 bytes for one frame, far below the wire's
// length limit.
inline constexpr int MaxPayloadSize = 1275;

struct PacketHeader {
    quint16 sequence = 0;
    quint8 codec = CodecOpus48kMono20ms;
    quint8 flags = 0;
    quint16 payloadLength = 0;
    quint16 streamId = 0;
};

struct VoicePacket {
    PacketHeader header;
    QByteArray payload;
};

// Header and payload as one datagram; the length field is set from payload.
LUMOVOICECORE_EXPORT QByteArray EncodeVoicePacket(PacketHeader header, QByteArrayView payload);

struct SplitDatagram {
    QList<VoicePacket> packets;
    // Bytes not played: what the wire dropped (a cut or oversized packet
    // ends the datagram) and whole packets this engine cannot play.
    int discardedBytes = 0;
};

// A relay may bundle several packets back to back in one datagram; each
// keeps its own header. Packets with an unknown codec or an empty payload
// are skipped but do not end the datagram.
LUMOVOICECORE_EXPORT SplitDatagram SplitVoiceDatagram(QByteArrayView datagram);

} // namespace Voice
