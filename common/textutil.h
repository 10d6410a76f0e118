#pragma once

#include "common/lumoglobal_export.h"

#include <QString>

namespace Global {

// 32 upper-case hexadecimal digits of a new GUID, without braces or dashes.
LUMOGLOBAL_EXPORT QString NewGuidString();

// The characters before the first NUL (the whole text when there is none).
LUMOGLOBAL_EXPORT QString TrimAtNull(const QString &text);

} // namespace Global

// The main window's name for the same rule.
inline QString CStringToVBString(const QString &text)
{
    return Global::TrimAtNull(text);
}
