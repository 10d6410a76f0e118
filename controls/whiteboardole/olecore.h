#pragma once

#include "controls/whiteboardole/lumowhiteboardolecore_export.h"

#include <QString>
#include <QUrl>

#include <optional>

// Plain rules of the presentation control, kept free of widgets so they run
// in the sanitizer build.
namespace Ole {

// Kind of a played courseware item, as the course manager and the teacher
// send it. Wire values: append only.
enum OLE_FileType : qint16 {
    OLE_Office = 1, // picture
    OLE_html = 2,
    OLE_Wave = 3,
    OLE_Movie = 4,
    OLE_Other = 5,
};

enum UserType : qint16 {
    utNone = 0,
    utStudent = 1,
    utTeacher = 2,
};

// Numbers of the property errors, in the order of the control's interface.
enum PropertyErrorNumber : qint16 {
    peNone = 0,
    peAreaStartPosX = 1,
    peAreaStartPosY = 2,
    peAreaEndPosX = 3,
    peAreaEndPosY = 4,
    peFileSource = 5,
    peFileType = 6,
};

// Playback state numbers 0-8 and their names ("Stopped" ... "Closed");
// an unknown number gives an empty text.
LUMOWHITEBOARDOLECORE_EXPORT QString PlayStateName(int state);

// A trimmed numeric text as a 16-bit number (rounded); nothing when the text
// is not a number or does not fit.
LUMOWHITEBOARDOLECORE_EXPORT std::optional<qint16> ParseShortNumber(const QString &text);

// "第" + n + "个属性输入错误"
LUMOWHITEBOARDOLECORE_EXPORT QString PropertyErrorText(int number);
// "函数内部错误"
LUMOWHITEBOARDOLECORE_EXPORT QString InternalErrorText();

// The address a web item may be shown from: http and https anywhere, local
// files only inside `allowedFolder` (after resolving "..", links and
// "file:" prefixes). Everything else (other schemes, files elsewhere) gives
// an invalid QUrl.
LUMOWHITEBOARDOLECORE_EXPORT QUrl AllowedWebAddress(
    const QString &source, const QString &allowedFolder);

// The same rule for a navigation the page itself starts (a link, a script).
LUMOWHITEBOARDOLECORE_EXPORT bool IsAllowedWebUrl(const QUrl &url, const QString &allowedFolder);

// The part after the last "/" or "\" (the caption of a teacher's player).
LUMOWHITEBOARDOLECORE_EXPORT QString FileNamePart(const QString &path);

} // namespace Ole
