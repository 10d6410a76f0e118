#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The voice relay's datagram rules, as pure functions.
namespace VoicePackets {

inline constexpr qsizetype HeaderSize = 8;
inline constexpr qsizetype KeySize = 16;
inline constexpr qsizetype RegistrationSize = 4 + KeySize;

// "key=" followed by the 16 key bytes: exactly 20 bytes.
bool isRegistration(QByteArrayView datagram);
QByteArray registrationKey(QByteArrayView datagram);
QByteArray registration(const QByteArray &key);

// The packets of a datagram: 8-byte header with the payload length in
// bytes 4-5, then the payload. A packet that runs past the datagram or
// announces 0x8000 bytes or more ends the split; the rest is dropped, since
// nothing after a broken length can be found again.
QList<QByteArrayView> split(QByteArrayView datagram);

// A packet of `payloadLength` bytes with the given engine bytes, for tests
// and the simulated voice.
QByteArray packet(quint16 payloadLength, char fill, quint32 sequence = 0);

} // namespace VoicePackets
