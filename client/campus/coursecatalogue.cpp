#include "client/campus/coursecatalogue.h"

#include "common/apppaths.h"
#include "common/settingsstore.h"

#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {
const QString ListSection = u"List"_s;

// Start of the pair `name` in `entry`, or -1: only at the start or after a ";".
qsizetype pairStart(const QString &entry, const QString &name)
{
    const QString key = name + u'=';
    for (qsizetype at = entry.indexOf(key); at >= 0; at = entry.indexOf(key, at + 1)) {
        if (at == 0 || entry.at(at - 1) == u';')
            return at;
    }
    return -1;
}
} // namespace

CourseCatalogue::CourseCatalogue(QString appName)
    : m_appName(appName.trimmed())
{ }

QString CourseCatalogue::CoursewareUrl(
    const ListTexts::CategoryRecord &category, const QString &fileName)
{
    if (category.WebHost.isEmpty())
        return {};
    return Global::CourseListKey(category.WebHost, CategoryFolderOf(category), fileName.trimmed());
}

QString CourseCatalogue::coursewareFolder() const
{
    const QString saved = Global::GetSetting(m_appName, u"Http"_s, u"SavePath"_s);
    return saved.trimmed().isEmpty() ? Global::CourseFolder()
                                     : Global::WithTrailingSeparator(saved.trimmed());
}

int CourseCatalogue::CourseState(const QString &url, const QString &fileName) const
{
    if (fileName.isEmpty())
        return 0;
    if (IsPlainFileName(fileName) && QFileInfo(coursewareFolder() + fileName).isFile())
        return 2;
    return value(url).isEmpty() ? 0 : 1;
}

void CourseCatalogue::WriteReloadEntry(
    const QString &url, const ListTexts::CourseRecord &course, bool present)
{
    Global::SaveSetting(m_appName, ListSection, url,
        u"CourseName="_s + CourseNameOf(course) + u';'
            + (present ? u"ClassBegin=0;over=1;CourseDesc="_s
                       : u"ClassBegin=0;over=0;CourseDesc="_s)
            + course.Description.trimmed() + u';');
}

void CourseCatalogue::WriteEnterEntry(const QString &url, qint32 courseId)
{
    Global::SaveSetting(m_appName, ListSection, url,
        u"CourseName=Course"_s + QString::number(courseId) + u";ClassBegin=True;"_s);
}

bool CourseCatalogue::MarkBegun(const QString &url)
{
    const QString old = value(url);
    if (pairStart(old, u"ClassBegin"_s) < 0)
        return false;
    Global::SaveSetting(m_appName, ListSection, url, withPair(old, u"ClassBegin"_s, u"1"_s));
    return true;
}

void CourseCatalogue::MarkDownloaded(const QString &url)
{
    Global::SaveSetting(m_appName, ListSection, url, withPair(value(url), u"over"_s, u"1"_s));
}

QString CourseCatalogue::value(const QString &url) const
{
    return Global::GetSetting(m_appName, ListSection, url);
}

QList<CourseCatalogue::Entry> CourseCatalogue::entries() const
{
    QList<Entry> out;
    const auto all = Global::GetAllSettings(m_appName, ListSection);
    out.reserve(all.size());
    for (const auto &[key, stored] : all)
        out.append({key, stored});
    return out;
}

QString CourseCatalogue::pairValue(const QString &entry, const QString &name)
{
    const qsizetype at = pairStart(entry, name);
    if (at < 0)
        return {};
    const qsizetype from = at + name.size() + 1;
    const qsizetype end = entry.indexOf(u';', from);
    return entry.mid(from, end < 0 ? -1 : end - from);
}

QString CourseCatalogue::withPair(const QString &entry, const QString &name, const QString &value)
{
    const QString pair = name + u'=' + value + u';';
    const qsizetype at = pairStart(entry, name);
    if (at < 0)
        return entry + pair;
    const qsizetype end = entry.indexOf(u';', at);
    return entry.left(at) + pair + (end < 0 ? QString() : entry.mid(end + 1));
}

namespace {
bool plainAsWritten(const QString &name)
{
    if (name.isEmpty() || name == u"."_s || name == u".."_s)
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}
} // namespace

bool IsPlainFileName(const QString &name)
{
    // The name also travels inside a URL, where a web server decodes
    // "..%2f" into a step out of the course folder: both readings must be
    // plain.
    return plainAsWritten(name) && plainAsWritten(QUrl::fromPercentEncoding(name.toUtf8()));
}

QString CourseNameOf(const ListTexts::CourseRecord &course)
{
    return u"Course"_s + QString::number(course.CourseID);
}

QString CategoryFolderOf(const ListTexts::CategoryRecord &category)
{
    return u"campus"_s + QString::number(category.CategoryID);
}

QString CategoryBoxText(const ListTexts::CategoryRecord &category)
{
    return u"["_s + QString::number(category.CategoryID) + u']' + category.Name;
}
