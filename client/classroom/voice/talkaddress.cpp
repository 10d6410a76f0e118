#include "client/classroom/voice/talkaddress.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace ClassroomVoice {

namespace {

bool allDigits(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// Four decimal parts 0..255 (no short forms such as "10.1", which the
// address parser would also take), as one number.
std::optional<quint32> dottedQuad(const QString &text)
{
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QString &part : parts) {
        if (!allDigits(part) || part.size() > 3)
            return std::nullopt;
        const uint byte = part.toUInt();
        if (byte > 255)
            return std::nullopt;
        value = (value << 8) | byte;
    }
    return value;
}

bool isUnicast(quint32 address)
{
    const quint32 top = address >> 24;
    return top != 0 // "this network"
        && top < 224; // multicast, reserved and the broadcast address
}

} // namespace

std::optional<TalkAddress> ParseTalkAddress(const QString &message)
{
    const QStringList pieces = message.split(u']');
    if (pieces.size() < 3)
        return std::nullopt;
    const QString ip = pieces.at(1).trimmed();
    const QString port = pieces.at(2).trimmed();
    const std::optional<quint32> address = dottedQuad(ip);
    if (!address || !isUnicast(*address))
        return std::nullopt;
    if (!allDigits(port) || port.size() > 5)
        return std::nullopt;
    const uint number = port.toUInt();
    if (number < 1024 || number > 65535)
        return std::nullopt;
    // The numbers as written back, so "007" cannot reach the engine's own
    // number rule in another reading.
    return TalkAddress{QHostAddress(*address).toString(), QString::number(number)};
}

bool IsThisMachine(const QString &ip)
{
    const QHostAddress address(ip);
    return address.isLoopback() || QNetworkInterface::allAddresses().contains(address);
}

} // namespace ClassroomVoice
