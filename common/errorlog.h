#pragma once

#include "common/lumoglobal_export.h"

#include <QString>

namespace Global {

// The one error log of the program and its libraries. Each entry is five
// CR LF lines: module, procedure, description, "Line: " + number, empty.
// A trace entry (no error) has an empty description and line 0.
//
// The log is bounded whatever a peer sends us:
// - An entry equal to the one just written is counted, not written. The
//   count is written as one more entry (same module and procedure, the
//   description "the entry above repeated N times", N being the copies left
//   out) when a different entry comes, at FlushErrorLog() and at exit.
// - A file that reaches ErrorLogMaxSize() is renamed to the same name + ".1"
//   (replacing the older one) and a new file is begun.
// Safe to call from any thread.
LUMOGLOBAL_EXPORT void WriteErrorLog(
    const QString &module, const QString &procedure, const QString &description = {}, int line = 0);

// Writes the count of left-out repeats, if any. Called at exit too.
LUMOGLOBAL_EXPORT void FlushErrorLog();

// Where entries go: $LUMO_ERROR_LOG when set, else LumoClass.log in the
// per-user state folder.
LUMOGLOBAL_EXPORT QString ErrorLogPath();

// 10 MB unless changed (tests use a small size).
LUMOGLOBAL_EXPORT qint64 ErrorLogMaxSize();
LUMOGLOBAL_EXPORT void SetErrorLogMaxSize(qint64 bytes);

// The entry text as written, for callers that show or compare it.
LUMOGLOBAL_EXPORT QByteArray FormatErrorLogEntry(
    const QString &module, const QString &procedure, const QString &description, int line);

} // namespace Global
