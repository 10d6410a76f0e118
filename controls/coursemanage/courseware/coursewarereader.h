#pragma once

#include "controls/coursemanage/courseware/coursewareformat.h"
#include "controls/coursemanage/courseware/expansionbudget.h"
#include "controls/coursemanage/lumocourseware_export.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class QIODevice;

namespace Courseware {

struct ReadOptions {
    // Where embedded files are expanded under their record names; empty
    // leaves them packed (listing only).
    QString expandFolder;
    qint64 expandLimit = DefaultExpandLimit; // for each entry
    // For all entries together; and the free space the disk must keep
    // (negative: not watched). Entries past either are not expanded.
    qint64 totalExpandLimit = DefaultTotalExpandLimit;
    qint64 minFreeSpace = DefaultMinFreeSpace;
    // Entries whose compressed data and expanded output both fit in this
    // many bytes are expanded in one call; larger ones stream through zlib.
    qint64 inMemoryLimit = qint64(64) << 20;
    // Threads that expand entries of a plain file while it is parsed; 0
    // picks one per core (at most four), 1 expands on the calling thread.
    int expandThreads = 0;
    // Called after each record with the position in the file and its size.
    std::function<void(qint64 position, qint64 total)> progress;
    // Checked between records; a set flag ends the reading early.
    const std::atomic_bool *cancel = nullptr;
    // False keeps the problems out of the error log (they are still listed
    // in the result): for callers that report a refused file themselves.
    bool logProblems = true;
};

enum class ReadStatus {
    Ok, // the header was read; the records read so far are in `records`
    OpenFailed,
    NotCourseware, // the magic differs
    UnsupportedVersion, // a newer format; `version` says which
};

struct ReadResult {
    ReadStatus status = ReadStatus::Ok;
    int version = 0;
    QString courseName;
    QString teacherName;
    QList<CourseRecord> records; // in file order; parents before children
    // The last accepted record's number + 1 (0 with no records).
    int nextNodeNumber = 0;
    // False when a truncated or damaged record ended the reading early.
    bool complete = true;
    bool cancelled = false;
    int rejectedRecords = 0;
    qint64 expandedBytes = 0;
    // Why expansion stopped before the end (None when it did not).
    ExpansionBudget::Stop expansionStopped = ExpansionBudget::Stop::None;
    // Everything that was written to the error log, one line each.
    QStringList problems;
};

// Reads a courseware file from a random-access device positioned at its
// start. Malformed records are logged and skipped; a length that the rest of
// the file cannot hold ends the reading as a truncated file does. Nothing is
// written outside `expandFolder`, nor through a link found inside it.
LUMOCOURSEWARE_EXPORT ReadResult ReadCourseware(QIODevice &in, const ReadOptions &options = {});
LUMOCOURSEWARE_EXPORT ReadResult ReadCoursewareFile(
    const QString &path, const ReadOptions &options = {});

// Why the file on `in` (random access, at its start) is no courseware this
// reader can load whole: not courseware, a newer format, a header or record
// cut short, no root folder. Empty when sound. Only the structure is read:
// entry data is skipped, nothing is expanded or logged, so a large file
// costs a pass of seeks and no memory.
LUMOCOURSEWARE_EXPORT QString CoursewareFault(QIODevice &in);

} // namespace Courseware
