#pragma once

#include "controls/coursemanage/lumocourseware_export.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

namespace Courseware {

// The 22 bytes every courseware file starts with.
inline constexpr char Magic[] = "Aulix Nova Courseware.";
inline constexpr int MagicSize = 22;
// The newest format this code reads and the one it writes.
inline constexpr int FormatVersion = 1;
// Header int16 values after the magic, as written (the reader ignores all
// but the version).
inline constexpr qint16 HeaderValues[] = {26, 1, -1, 0, 0};

// Record kinds on disk; any other value ends the record list.
enum class RecordKind : qint16 { Folder = 1, Item = 2 };

// What a record stands for once read.
enum class NodeKind { Folder, WebAddress, File };

inline const QString RootKey = QStringLiteral("_0");
inline const QString UrlSuffix = QStringLiteral(".url");

// Per embedded file expansion ceiling unless the caller sets another.
inline constexpr qint64 DefaultExpandLimit = qint64(1) << 30;

// One node as read from a courseware file, in file order. Only records that
// became nodes are kept: their parent always comes earlier in the list.
struct CourseRecord {
    NodeKind kind = NodeKind::Folder;
    QString text; // the caption
    QString name; // as stored: the key, or key + "." + extension for files
    QString key;
    QString parentKey; // empty for the root
    QString extension; // files only, without the dot
    QString picture;
    QString tag;
    qint64 compressedSize = -1; // files only
    qint64 expandedSize = -1; // files only, when expanded
    bool expanded = false; // the file lies in the temporary folder under `name`
};

// The tree as the writer takes it: children in their order in the tree.
struct CourseNode {
    QString key;
    QString text;
    QString picture;
    QString tag;
    QList<CourseNode> children;
};

struct CourseDocument {
    QString teacherName;
    CourseNode root; // its text is written as the course name
};

// The part of `key` before its last "_", trimmed of blanks ("" for "_0").
LUMOCOURSEWARE_EXPORT QString ParentKeyOf(const QString &key);
// The decimal number after the last "_" of `key`, or -1 when there is none.
LUMOCOURSEWARE_EXPORT int NodeNumberOf(const QString &key);
// A key this code accepts: "_0", or a parent key + "_" + a decimal number.
LUMOCOURSEWARE_EXPORT bool IsWellFormedKey(const QString &key);
// True for a name that stays inside the folder it is joined to: not empty,
// not "." or "..", no separator, no NUL.
LUMOCOURSEWARE_EXPORT bool IsPlainFileName(const QString &name);
// The extension of a file path's last component, without the dot; empty
// when the file name has none.
LUMOCOURSEWARE_EXPORT QString ExtensionOfPath(const QString &path);
// True when the tag of an item names a web address (ends with ".url").
LUMOCOURSEWARE_EXPORT bool IsWebAddressTag(const QString &tag);

// Failures of reading and writing go to the shared error log in the format
// course authors already grep for: module "Course Manage", the procedure text
// "SaveCourseFile" CR LF description CR LF "Line " + line.
LUMOCOURSEWARE_EXPORT void LogCoursewareError(const QString &description, int line);

} // namespace Courseware

namespace Courseware {

// `name` inside `folder`, whether or not the folder ends with a separator.
LUMOCOURSEWARE_EXPORT QString JoinFolder(const QString &folder, const QString &name);

// What a node's tag stands for when it is played, edited or saved: the web
// address for ".url" tags, the tag itself for a file added from disk (a
// path), else the file of that name in the temporary folder.
LUMOCOURSEWARE_EXPORT QString ResolveTag(const QString &tag, const QString &tempFolder);

} // namespace Courseware
