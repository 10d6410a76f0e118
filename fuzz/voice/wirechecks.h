#pragma once

// What must hold for any datagram the voice wire reads: shared by the fuzzer
// and the tests that replay its kept inputs.
#include "voice/wire/voicewire.h"

#include <QString>

namespace WireChecks {

// Empty when every rule holds, else the first broken one.
inline QString splitProblem(QByteArrayView datagram)
{
    const VoiceWire::Split split = VoiceWire::splitDatagram(datagram);
    qsizetype kept = 0;
    const char *previousEnd = datagram.data();
    for (const QByteArrayView packet : split.packets) {
        if (packet.data() < previousEnd || packet.data() + packet.size() > datagram.end())
            return QStringLiteral("packet outside the datagram or out of order");
        if (packet.size() < VoiceWire::HeaderSize)
            return QStringLiteral("packet shorter than its header");
        const quint16 length = VoiceWire::payloadLength(packet);
        if (length == 0 || length >= VoiceWire::LengthLimit
            || packet.size() != VoiceWire::HeaderSize + length)
            return QStringLiteral("packet size disagrees with its length field");
        kept += packet.size();
        previousEnd = packet.data() + packet.size();
    }
    if (kept + split.droppedBytes != datagram.size())
        return QStringLiteral("kept and dropped bytes do not add up to the datagram");
    if ((split.reason == VoiceWire::Dropped::Nothing) != (split.droppedBytes == 0))
        return QStringLiteral("drop reason disagrees with the dropped count");
    return {};
}

inline QString registrationProblem(QByteArrayView key)
{
    const QByteArray packet = VoiceWire::registrationPacket(key);
    const std::optional<QByteArray> parsed = VoiceWire::parseRegistration(packet);
    if (packet.size() != VoiceWire::RegistrationSize || !parsed)
        return QStringLiteral("registration not read back");
    QByteArray expected = key.first(qMin(key.size(), VoiceWire::KeySize)).toByteArray();
    expected.append(VoiceWire::KeySize - expected.size(), '\0');
    if (*parsed != expected)
        return QStringLiteral("registration key changed on the way");
    return {};
}

} // namespace WireChecks
