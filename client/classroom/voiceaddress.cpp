#include "client/classroom/voiceaddress.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace Classroom {

namespace {

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

qint32 AddressToNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (!trimmed.contains(u'.')) {
        if (!allDigits(trimmed))
            return 0;
        bool ok = false;
        const qint64 value = trimmed.toLongLong(&ok);
        // A number the 32-bit field cannot hold is as wrong as no number.
        return ok && value <= 0x7fffffff ? qint32(value) : 0;
    }
    const QStringList parts = trimmed.split(u'.');
    if (parts.size() != 4)
        return 0;
    quint32 bits = 0;
    for (const QString &part : parts) {
        if (!allDigits(part) || part.size() > 3)
            return 0;
        const uint value = part.toUInt();
        if (value > 255)
            return 0;
        bits = (bits << 8) | value;
    }
    return qint32(bits);
}

} // namespace Classroom
