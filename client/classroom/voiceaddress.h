#pragma once

#include "client/classroom/lumoclassroom_export.h"

#include <QString>

namespace Classroom {

// The voice window's rule for its address and port fields: a text without a
// "." is a decimal number; a dotted text a.b.c.d is the number with a in the
// top byte (192.168.1.2 gives the bits C0A80102, a negative 32-bit value).
// Anything else, including a dotted part outside 0..255 or other than four
// parts, gives 0, which the callers refuse as a wrong address.
LUMOCLASSROOM_EXPORT qint32 AddressToNumber(const QString &text);

} // namespace Classroom
