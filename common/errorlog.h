#pragma once

#include "common/lumoglobal_export.h"

#include <QString>

namespace Global {

// The one error log of the program and its libraries. Each entry is five
// CR LF lines: module, procedure, description, "Line: " + number, empty.
// A trace entry (no error) has an empty description and line 0.
LUMOGLOBAL_EXPORT void WriteErrorLog(
    const QString &module, const QString &procedure, const QString &description = {}, int line = 0);

// Where entries go: $LUMO_ERROR_LOG when set, else LumoClass.log in the
// per-user state folder.
LUMOGLOBAL_EXPORT QString ErrorLogPath();

// The entry text as written, for callers that show or compare it.
LUMOGLOBAL_EXPORT QByteArray FormatErrorLogEntry(
    const QString &module, const QString &procedure, const QString &description, int line);

} // namespace Global
