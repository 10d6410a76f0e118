#pragma once

#include <QString>

#include <optional>

namespace ClassroomVoice {

// The address that an acceptance or an address reply names: the text split
// at every "]", the second piece the IPv4 address, the third the port, both
// trimmed. Only a unicast IPv4 address in dotted form and a port from 1024
// to 65535 are taken; anything else gives nothing, so a note can never
// point the microphone at a broadcast or multicast group or at a
// privileged service.
struct TalkAddress {
    QString ip;
    QString port;
};

std::optional<TalkAddress> ParseTalkAddress(const QString &message);

// Whether an address belongs to this machine (loopback included).
bool IsThisMachine(const QString &ip);

} // namespace ClassroomVoice
