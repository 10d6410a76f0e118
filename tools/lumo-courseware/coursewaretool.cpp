#include "tools/lumo-courseware/coursewaretool.h"

#include "controls/coursemanage/courseware/coursepictures.h"
#include "controls/coursemanage/courseware/coursewarereader.h"
#include "controls/coursemanage/courseware/coursewarewriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace Courseware;

namespace {

constexpr int ExitOk = 0;
constexpr int ExitProblems = 1;
constexpr int ExitFailed = 2;

const QString Usage
    = u"usage:\n"
      u"  lumo-courseware list FILE [--json]\n"
      u"  lumo-courseware extract FILE DIR [--limit BYTES] [--total BYTES]\n"
      u"  lumo-courseware pack OUT --name NAME --teacher TEACHER ITEM...\n"
      u"    ITEM: a file, a folder (packed with its contents) or an http address\n"_s;

// Texts from the file as a terminal may show them: control and format
// characters (escape sequences, bidirectional overrides, the tab and line
// end this listing uses as separators) become \xNN or \uNNNN, and "\" itself
// "\\", so every listing can be read back without doubt.
QString printable(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (c == u'\\') {
            out += u"\\\\"_s;
        } else if (c.unicode() < 0x100 && category == QChar::Other_Control) {
            out += u"\\x%1"_s.arg(uint(c.unicode()), 2, 16, QChar(u'0'));
        } else if (category == QChar::Other_Control || category == QChar::Other_Format
            || category == QChar::Separator_Line || category == QChar::Separator_Paragraph) {
            out += u"\\u%1"_s.arg(uint(c.unicode()), 4, 16, QChar(u'0'));
        } else {
            out += c;
        }
    }
    return out;
}

QString kindName(NodeKind kind)
{
    switch (kind) {
    case NodeKind::Folder: return u"folder"_s;
    case NodeKind::WebAddress: return u"url"_s;
    case NodeKind::File: return u"file"_s;
    }
    return {};
}

// The user-facing verdict on a file that was not read, in the words the
// client uses.
bool reportUnread(const ReadResult &result, const QString &path, QTextStream &err)
{
    switch (result.status) {
    case ReadStatus::Ok: return false;
    case ReadStatus::OpenFailed: err << "cannot open " << path << '\n'; break;
    case ReadStatus::NotCourseware:
        err << u"不是合法的Lumo Class课件文件,请重新下载"_s << '\n';
        break;
    case ReadStatus::UnsupportedVersion:
        err << u"这个程序不能读取"_s << result.version << u".0版本的Lumo Class课件文件"_s << '\n';
        break;
    }
    return true;
}

int reportProblems(const ReadResult &result, bool needExpanded, QTextStream &err)
{
    for (const QString &problem : result.problems)
        err << printable(problem) << '\n';
    const bool allExpanded = std::all_of(result.records.cbegin(), result.records.cend(),
        [](const CourseRecord &r) { return r.kind != NodeKind::File || r.expanded; });
    const bool clean = result.complete && result.rejectedRecords == 0;
    return clean && (allExpanded || !needExpanded) ? ExitOk : ExitProblems;
}

int listCourse(const QStringList &args, QTextStream &out, QTextStream &err)
{
    const bool json = args.contains(u"--json"_s);
    QStringList rest = args;
    rest.removeAll(u"--json"_s);
    if (rest.size() != 1) {
        err << Usage;
        return ExitFailed;
    }
    const ReadResult result = ReadCoursewareFile(rest.first());
    if (reportUnread(result, rest.first(), err))
        return ExitFailed;
    if (json) {
        QJsonArray nodes;
        for (const CourseRecord &r : result.records) {
            QJsonObject node{{u"key"_s, r.key}, {u"parent"_s, r.parentKey},
                {u"kind"_s, kindName(r.kind)}, {u"caption"_s, r.text}, {u"name"_s, r.name},
                {u"picture"_s, r.picture}};
            if (r.kind == NodeKind::File)
                node.insert(u"size"_s, r.compressedSize);
            nodes.append(node);
        }
        const QJsonObject course{{u"courseName"_s, result.courseName},
            {u"teacherName"_s, result.teacherName}, {u"version"_s, result.version},
            {u"nextNodeNumber"_s, result.nextNodeNumber}, {u"complete"_s, result.complete},
            {u"nodes"_s, nodes}};
        out << QString::fromUtf8(QJsonDocument(course).toJson(QJsonDocument::Indented));
    } else {
        out << "Course: " << printable(result.courseName) << '\n';
        out << "Teacher: " << printable(result.teacherName) << '\n';
        for (const CourseRecord &r : result.records) {
            out << printable(r.key) << '\t' << kindName(r.kind) << '\t' << printable(r.text)
                << '\t';
            if (r.kind == NodeKind::File)
                out << r.compressedSize;
            else
                out << '-';
            out << '\n';
        }
    }
    out.flush();
    return reportProblems(result, false, err);
}

int extractCourse(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QStringList rest = args;
    ReadOptions options;
    for (const auto &[flag, value] : {std::pair{u"--limit"_s, &options.expandLimit},
             std::pair{u"--total"_s, &options.totalExpandLimit}}) {
        const qsizetype at = rest.indexOf(flag);
        if (at < 0)
            continue;
        bool ok = false;
        *value = at + 1 < rest.size() ? rest.at(at + 1).toLongLong(&ok) : 0;
        if (!ok || *value <= 0) {
            err << Usage;
            return ExitFailed;
        }
        rest.remove(at, 2);
    }
    if (rest.size() != 2) {
        err << Usage;
        return ExitFailed;
    }
    const QString folder = QDir(rest.at(1)).absolutePath();
    if (!QDir().mkpath(folder)) {
        err << "cannot create " << folder << '\n';
        return ExitFailed;
    }
    options.expandFolder = folder;
    const ReadResult result = ReadCoursewareFile(rest.first(), options);
    if (reportUnread(result, rest.first(), err))
        return ExitFailed;
    int expanded = 0;
    for (const CourseRecord &r : result.records)
        expanded += r.expanded ? 1 : 0;
    out << expanded << " files, " << result.expandedBytes << " bytes expanded into " << folder
        << '\n';
    out.flush();
    return reportProblems(result, true, err);
}

class Packer
{
public:
    int nextNumber = 1;

    CourseNode node(
        const QString &parentKey, const QString &text, const QString &picture, const QString &tag)
    {
        return CourseNode{parentKey + u'_' + QString::number(nextNumber++), text, picture, tag, {}};
    }

    bool add(CourseNode &parent, const QString &item, QTextStream &err)
    {
        if (item.startsWith(u"http"_s, Qt::CaseInsensitive)) {
            parent.children.append(node(parent.key, item + UrlSuffix, u"url"_s, item + UrlSuffix));
            return true;
        }
        const QFileInfo info(item);
        if (info.isDir()) {
            CourseNode folder = node(parent.key, info.fileName(), u"folder"_s, info.fileName());
            const QStringList entries
                = QDir(info.absoluteFilePath())
                      .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                          QDir::Name | QDir::DirsLast);
            for (const QString &entry : entries) {
                if (!add(folder, info.absoluteFilePath() + u'/' + entry, err))
                    return false;
            }
            parent.children.append(folder);
            return true;
        }
        if (!info.isFile()) {
            err << "no such file or folder: " << item << '\n';
            return false;
        }
        parent.children.append(node(parent.key, info.fileName(), PictureForExtension(info.suffix()),
            info.absoluteFilePath()));
        return true;
    }
};

int packCourse(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QString output;
    QString name;
    QString teacher = u"Lumo Class Instructer"_s;
    QStringList items;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if ((arg == u"--name"_s || arg == u"--teacher"_s) && i + 1 < args.size()) {
            (arg == u"--name"_s ? name : teacher) = args.at(++i);
        } else if (output.isEmpty()) {
            output = arg;
        } else {
            items.append(arg);
        }
    }
    if (output.isEmpty() || name.isEmpty()) {
        err << Usage;
        return ExitFailed;
    }
    CourseDocument document;
    document.teacherName = teacher;
    document.root = CourseNode{RootKey, name, u"folder"_s, name, {}};
    Packer packer;
    for (const QString &item : items) {
        if (!packer.add(document.root, item, err))
            return ExitFailed;
    }
    const WriteResult result = WriteCoursewareFile(output, document);
    if (!result.ok) {
        err << result.error << '\n';
        return ExitFailed;
    }
    out << result.records << " records, " << result.bytes << " bytes written to " << output << '\n';
    out.flush();
    return ExitOk;
}

} // namespace

int RunCoursewareTool(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString command = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    int code = ExitFailed;
    if (command == u"list"_s)
        code = listCourse(rest, out, err);
    else if (command == u"extract"_s)
        code = extractCourse(rest, out, err);
    else if (command == u"pack"_s)
        code = packCourse(rest, out, err);
    else
        err << Usage;
    err.flush();
    return code;
}
