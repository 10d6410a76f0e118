#pragma once

#include "controls/coursemanage/lumocourseware_export.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace Courseware {

// Text fields count characters, not bytes: an int16 count followed by that
// many characters in GBK, one byte for ASCII and two for a lead byte 0x81-0xFE.

// True for a byte that starts a two-byte GBK character.
inline bool IsGbkLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

// The text as GBK bytes; characters GBK lacks become "?".
LUMOCOURSEWARE_EXPORT QByteArray EncodeGbk(const QString &text);
LUMOCOURSEWARE_EXPORT QString DecodeGbk(QByteArrayView bytes);

// The number of characters a reader counts in `bytes`.
LUMOCOURSEWARE_EXPORT int CountGbkCharacters(QByteArrayView bytes);

// Appends a whole text field. False (nothing appended) when the text needs
// more characters than an int16 can count.
LUMOCOURSEWARE_EXPORT bool AppendTextField(QByteArray &out, const QString &text);

enum class TextFieldStatus { Ok, Truncated, NegativeCount };

// Reads one text field from the device's current position.
LUMOCOURSEWARE_EXPORT TextFieldStatus ReadTextField(QIODevice &in, QString &text);

} // namespace Courseware
