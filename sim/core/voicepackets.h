#pragma once

#include <QByteArray>

// The simulator's own voice packets; the framing rules are VoiceWire's.
namespace VoicePackets {

// A packet of `payloadLength` bytes of `fill`, its sequence in bytes 0-3,
// for tests and the simulated voice.
QByteArray packet(quint16 payloadLength, char fill, quint32 sequence = 0);

} // namespace VoicePackets
