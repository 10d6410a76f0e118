#pragma once

#include "controls/coursemanage/courseware/coursewareformat.h"
#include "controls/coursemanage/lumocourseware_export.h"

#include <QString>

#include <atomic>
#include <functional>

class QIODevice;

namespace Courseware {

struct WriteOptions {
    // Where the files of a loaded course lie (tags that are plain names).
    QString tempFolder;
    int compressionLevel = 6;
    // Sources up to this size are compressed in one call; larger ones stream.
    qint64 inMemoryLimit = qint64(64) << 20;
    // Work done so far against the whole (source bytes plus one per node).
    std::function<void(qint64 done, qint64 total)> progress;
    const std::atomic_bool *cancel = nullptr;
};

struct WriteResult {
    bool ok = false;
    QString error; // why it failed, for the user and the log
    int records = 0;
    qint64 bytes = 0;
};

// Writes the header and every node of `document`: the root, then each group
// of siblings followed by their children's groups. A file that cannot be
// read or compressed fails the whole write; nothing is skipped silently.
// Entries larger than `inMemoryLimit` need a seekable device.
LUMOCOURSEWARE_EXPORT WriteResult WriteCourseware(
    QIODevice &out, const CourseDocument &document, const WriteOptions &options = {});

// Writes through a temporary file renamed over `path` only once complete:
// a failed save leaves the old file as it was.
LUMOCOURSEWARE_EXPORT WriteResult WriteCoursewareFile(
    const QString &path, const CourseDocument &document, const WriteOptions &options = {});

} // namespace Courseware
