#include "controls/whiteboardole/olecore.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace Ole {

QString PlayStateName(int state)
{
    static const char16_t *const names[] = {u"Stopped", u"Paused", u"Playing", u"Waiting",
        u"ScanForward", u"ScanReverse", u"SkipForward", u"SkipReverse", u"Closed"};
    if (state < 0 || state >= int(std::size(names)))
        return {};
    return QString::fromUtf16(names[state]);
}

std::optional<qint16> ParseShortNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<qint16>::min()
        || rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(rounded);
}

QString PropertyErrorText(int number)
{
    return u"第"_s + QString::number(number) + u"个属性输入错误"_s;
}

QString InternalErrorText()
{
    return u"函数内部错误"_s;
}

namespace {

// The canonical form of a local path, or empty when it does not exist:
// a link or ".." must not lead out of the allowed folder.
QString CanonicalLocal(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

bool IsInsideFolder(const QString &localPath, const QString &folder)
{
    const QString file = CanonicalLocal(localPath);
    QString root = CanonicalLocal(folder);
    if (file.isEmpty() || root.isEmpty())
        return false;
    if (!root.endsWith(u'/'))
        root += u'/';
    return file.startsWith(root);
}

} // namespace

bool IsAllowedWebUrl(const QUrl &url, const QString &allowedFolder)
{
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http"_s || scheme == u"https"_s)
        return !url.host().isEmpty();
    if (url.isLocalFile())
        return url.host().isEmpty() && IsInsideFolder(url.toLocalFile(), allowedFolder);
    return false;
}

QUrl AllowedWebAddress(const QString &source, const QString &allowedFolder)
{
    const QString text = source.trimmed();
    if (text.isEmpty())
        return {};
    QUrl url;
    if (QDir::isAbsolutePath(text) && !text.contains(u"://"_s))
        url = QUrl::fromLocalFile(text);
    else
        url = QUrl(text, QUrl::StrictMode);
    if (!IsAllowedWebUrl(url, allowedFolder))
        return {};
    return url;
}

QString FileNamePart(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

} // namespace Ole
