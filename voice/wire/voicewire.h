#pragma once

#include "voice/wire/lumovoicewire_export.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QVarLengthArray>

#include <optional>

// The voice datagrams as every party sees them: the engine, the client's
// relays and the classroom's relay. Pure functions over bytes; the views a
// split returns point into the datagram the caller still holds.
//
// One packet: an 8-byte header and its payload. Header bytes 4-5 hold the
// payload length, little-endian; the other six belong to the engine and are
// passed on untouched. A relay may bundle packets back to back in one
// datagram.
namespace VoiceWire {

inline constexpr qsizetype HeaderSize = 8;
// A length field at or above this is garbage: no voice frame comes close,
// and nothing after it in the datagram can be found again.
inline constexpr quint32 LengthLimit = 0x8000;

// Registration: "key=" and the client key, zero-filled to 20 bytes.
inline constexpr qsizetype KeySize = 16;
inline constexpr qsizetype RegistrationSize = 4 + KeySize;

// The payload length of a header (at least HeaderSize bytes).
LUMOVOICEWIRE_EXPORT quint16 payloadLength(QByteArrayView header);
// Writes the payload length into a header of at least HeaderSize bytes.
LUMOVOICEWIRE_EXPORT void setPayloadLength(char *header, quint16 length);

// Why a split left bytes of the datagram behind. When several apply, the
// one that ended the split is reported.
enum class Dropped {
    Nothing,
    // A header without payload: skipped, the split goes on (forwarded
    // alone it would be an 8-byte datagram, which every party drops).
    EmptyPacket,
    // The datagram ends inside a header or a payload; that last packet is
    // dropped rather than passed on with a made-up tail.
    CutShort,
    // A length field of LengthLimit or more: the rest of the datagram.
    LengthOverLimit,
};

// Most datagrams hold one or two packets; more spill to the heap.
using PacketViews = QVarLengthArray<QByteArrayView, 4>;

struct Split {
    PacketViews packets; // whole packets, header included, in order
    qsizetype droppedBytes = 0;
    Dropped reason = Dropped::Nothing;
};

LUMOVOICEWIRE_EXPORT Split splitDatagram(QByteArrayView datagram);

// The 20-byte registration for a client key; a key longer than KeySize is
// cut to its first KeySize bytes, a shorter one is zero-filled.
LUMOVOICEWIRE_EXPORT QByteArray registrationPacket(QByteArrayView key);

// The KeySize key bytes of a registration (zero fill included, since the
// relay cannot tell fill from key), or nothing when the datagram is not one.
LUMOVOICEWIRE_EXPORT std::optional<QByteArray> parseRegistration(QByteArrayView datagram);
LUMOVOICEWIRE_EXPORT bool isRegistration(QByteArrayView datagram);

} // namespace VoiceWire
