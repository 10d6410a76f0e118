#include "controls/coursemanage/courseware/coursewareformat.h"

#include "common/errorlog.h"
#include "controls/coursemanage/lumocourseware_logging.h"

using namespace Qt::StringLiterals;

namespace Courseware {

QString ParentKeyOf(const QString &key)
{
    const qsizetype at = key.lastIndexOf(u'_');
    if (at < 0)
        return {};
    return key.left(at).trimmed();
}

int NodeNumberOf(const QString &key)
{
    const qsizetype at = key.lastIndexOf(u'_');
    if (at < 0)
        return -1;
    const QString digits = key.mid(at + 1);
    // Nine digits keep the number and the next one inside an int.
    if (digits.isEmpty() || digits.size() > 9)
        return -1;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
    }
    return digits.toInt();
}

bool IsWellFormedKey(const QString &key)
{
    if (key == RootKey)
        return true;
    if (!key.startsWith(RootKey + u'_'))
        return false;
    // Every component after the root is a decimal number.
    const QStringList parts = key.mid(RootKey.size() + 1).split(u'_');
    for (const QString &part : parts) {
        if (NodeNumberOf(u"_"_s + part) < 0)
            return false;
    }
    return true;
}

bool IsPlainFileName(const QString &name)
{
    if (name.isEmpty() || name == u"."_s || name == u".."_s)
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c == QChar(0))
            return false;
    }
    return true;
}

QString ExtensionOfPath(const QString &path)
{
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= slash)
        return {};
    return path.mid(dot + 1);
}

bool IsWebAddressTag(const QString &tag)
{
    return tag.endsWith(UrlSuffix);
}

void LogCoursewareError(const QString &description, int line)
{
    qCDebug(lcCourseware).noquote() << description << "(line" << line << ')';
    Global::WriteErrorLog(u"Course Manage"_s,
        u"SaveCourseFile\r\n"_s + description + u"\r\nLine "_s + QString::number(line), description,
        line);
}

} // namespace Courseware

namespace Courseware {

QString JoinFolder(const QString &folder, const QString &name)
{
    if (folder.isEmpty() || folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

QString ResolveTag(const QString &tag, const QString &tempFolder)
{
    if (IsWebAddressTag(tag))
        return tag.left(tag.size() - UrlSuffix.size());
    if (tag.contains(u'/') || tag.contains(u'\\'))
        return tag;
    return JoinFolder(tempFolder, tag);
}

} // namespace Courseware
