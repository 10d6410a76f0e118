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
// - Each source (module and procedure) may write a burst of
//   ErrorLogBurst entries, then one entry a second. What it sends beyond
//   that is counted, and at most once a second (at the source's next entry
//   after the second has passed, at any later entry, at FlushErrorLog() and
//   at exit) one entry says how many were left out: the description
//   "N more entries from this source left out in the last S s". So entries
//   that differ in every copy (a byte count, alternating kinds) cannot
//   flood the file either, and the start of every run is kept.
// - A file that reaches ErrorLogMaxSize() is renamed to the same name + ".1"
//   and a new file is begun. Only the first rotation of a process replaces
//   an older ".1": later ones begin the file anew and keep ".1", so the
//   first entries of the process (where a fault began) are never pushed
//   out, and the newest are in the current file.
// Safe to call from any thread.
LUMOGLOBAL_EXPORT void WriteErrorLog(
    const QString &module, const QString &procedure, const QString &description = {}, int line = 0);

// Writes the count of left-out repeats, if any. Called at exit too.
LUMOGLOBAL_EXPORT void FlushErrorLog();

// Where entries go: $LUMO_ERROR_LOG when set, else LumoClass.log in the
// per-user state folder.
LUMOGLOBAL_EXPORT QString ErrorLogPath();

// Entries a source may write at once before the one-a-second limit.
constexpr int ErrorLogBurst = 20;

// 10 MB unless changed (tests use a small size).
LUMOGLOBAL_EXPORT qint64 ErrorLogMaxSize();
LUMOGLOBAL_EXPORT void SetErrorLogMaxSize(qint64 bytes);

// The entry text as written, for callers that show or compare it.
LUMOGLOBAL_EXPORT QByteArray FormatErrorLogEntry(
    const QString &module, const QString &procedure, const QString &description, int line);

} // namespace Global
