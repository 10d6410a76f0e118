#include "controls/coursemanage/courseware/coursepictures.h"

using namespace Qt::StringLiterals;

namespace Courseware {

QStringList PictureKeys()
{
    return {u"folder"_s, u"url"_s, u"ie"_s, u"mov"_s, u"other"_s, u"swf"_s, u"png"_s, u"mp3"_s,
        u"wmf"_s, u"gif"_s, u"jpg"_s, u"txt"_s, u"wav"_s};
}

} // namespace Courseware

QString PictureForExtension(const QString &extension)
{
    const QString ext = extension.toLower();
    if (ext == u"html"_s || ext == u"htm"_s || ext == u"url"_s)
        return u"ie"_s;
    if (ext == u"mpeg"_s || ext == u"mpg"_s || ext == u"avi"_s)
        return u"mov"_s;
    static const QStringList own
        = {u"swf"_s, u"png"_s, u"mp3"_s, u"wmf"_s, u"gif"_s, u"jpg"_s, u"txt"_s, u"wav"_s};
    if (own.contains(ext))
        return ext;
    return u"other"_s;
}

qint16 FileTypeForPicture(const QString &picture, bool *bUrlFile)
{
    const QString key = picture.toLower();
    auto played = [bUrlFile](qint16 type, bool url) {
        if (bUrlFile)
            *bUrlFile = url;
        return type;
    };
    if (key == u"ie"_s || key == u"swf"_s || key == u"png"_s || key == u"txt"_s)
        return played(OLE_html, false);
    if (key == u"url"_s)
        return played(OLE_html, true);
    if (key == u"mov"_s)
        return played(OLE_Movie, false);
    if (key == u"wav"_s || key == u"mp3"_s)
        return played(OLE_Wave, false);
    if (key == u"jpg"_s || key == u"gif"_s || key == u"wmf"_s)
        return played(OLE_Office, false);
    return 0;
}
